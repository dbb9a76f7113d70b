#pragma once

#include "AnswerHead.h"

#include <QObject>

// How the range requests of one download reach the server: Qt's client one
// request at a time, or one pipelined connection on which several wait at
// once. A transport only carries requests and answers, oldest first; what
// to ask, and what an answer means, is the download's (ChunkDownload).
class RangeTransport : public QObject {
    Q_OBJECT
public:
    using Headers = HttpHead::Headers;
    using Head = HttpHead;

    using QObject::QObject;

    // How many requests may wait for their answers at once.
    virtual int capacity() const = 0;
    // Sends a GET with exactly these request headers (besides what HTTP
    // itself needs); its answer comes after those of the requests before.
    virtual void ask(const Headers& headers) = 0;
    // Drops every request; no signal follows.
    virtual void close() = 0;

signals:
    // The oldest unanswered request's head arrived. A transport that
    // follows redirects may report another head later.
    void headArrived(const RangeTransport::Head& head);
    // Part of the oldest's body arrived; bytes so far.
    void bodyArriving(qint64 received);
    // The oldest's answer is complete.
    void answered(const RangeTransport::Head& head, const QByteArray& body);
    // The connection failed: refused, reset, unreachable, or closed in the
    // middle of an answer. Nothing more comes.
    void interrupted();
    // An answer arrived that cannot be told apart from the next one
    // (a pipelined connection only). Nothing more comes.
    void unreadable();
    // No secure connection could be made: the server's certificate was
    // refused (no authority we trust made it out, or it names another
    // server), or the server does not speak TLS at all. Nothing more
    // comes, and asking again would only meet the same refusal.
    void untrusted();
};
