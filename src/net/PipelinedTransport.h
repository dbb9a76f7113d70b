#pragma once

#include "PipelineDepth.h"
#include "RangeTransport.h"

#include <QPointer>
#include <QUrl>
#include <deque>

class QTcpSocket;

// Range requests on one HTTP/1.1 connection (plain or TLS) on which several
// wait for their answers at once, so that a far link is kept busy instead
// of idling a round trip per request. When the server closes a connection
// that has served answers (Connection: close, its limit of requests per
// connection), the requests still unanswered go out again on a new one;
// there is never more than one.
class PipelinedTransport : public RangeTransport {
    Q_OBJECT
public:
    explicit PipelinedTransport(QUrl url, QObject* parent = nullptr);
    ~PipelinedTransport() override;

    // Requests that may wait at once: as many as a pipeline is ever deep.
    int capacity() const override { return PipelineDepth::kMax; }
    void ask(const Headers& headers) override;
    void close() override;

private:
    void connectToServer();
    void dropConnection();
    void onReadyRead();
    void onConnectionEnded();
    enum class Failure { Interrupted, Unreadable, Untrusted };
    void fail(Failure failure);

    QUrl m_url;
    QPointer<QTcpSocket> m_socket;
    std::deque<QByteArray> m_waiting; // requests sent and unanswered, oldest first
    QByteArray m_buffer;              // received and not yet read
    int m_answeredHere = 0;           // answers on the present connection
    bool m_closed = false;            // nothing more is emitted
    // The oldest unanswered request's answer so far.
    bool m_headRead = false;
    Head m_head;
    qint64 m_length = -1; // of the body; -1: its end cannot be known
    bool m_closesAfter = false;
    QByteArray m_body;
};
