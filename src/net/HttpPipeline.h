#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QUrl>

class QTcpSocket;

// One HTTP/1.1 connection on which several GET requests for the same URL
// wait for their answers at once (pipelining), so that a slow link is kept
// busy instead of idling a round trip per request. Answers come back in the
// order asked. Anything the connection cannot carry on with (closed, reset,
// an answer it cannot read) ends it with broken().
class HttpPipeline : public QObject {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // What has arrived of the oldest unanswered request.
    struct Answer {
        bool headRead = false;
        int status = 0;
        Headers headers;
        QByteArray body;
        qint64 contentLength = -1;

        QByteArray header(const QByteArray& name) const; // case-insensitive
    };

    // url: http or https; bodies above maxBody end the connection.
    HttpPipeline(const QUrl& url, qint64 maxBody, QObject* parent = nullptr);
    ~HttpPipeline() override;

    // Sends a GET for the URL with these headers (besides Host).
    void get(const Headers& headers);
    int waiting() const { return m_waiting; }
    // The oldest unanswered request's answer so far.
    const Answer& current() const { return m_current; }
    // Drops the connection and every request on it; no signal follows.
    void close();

signals:
    // The oldest request's answer is complete.
    void answered(const HttpPipeline::Answer& answer);
    void broken();

private:
    void onReadyRead();
    bool parseHead(const QByteArray& head);
    void fail();

    QUrl m_url;
    qint64 m_maxBody;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
    Answer m_current;
    int m_waiting = 0;
    bool m_failed = false;
};
