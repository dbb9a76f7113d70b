#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QString>

#include <functional>

class QSslCertificate;
class QSslKey;
class QTcpServer;

// A local HTTP/1.1 server for download tests. Each request is answered the way
// the test scripted it, so a client can meet wrong ranges, short bodies, stalls
// and resets on demand instead of waiting for a real server to misbehave. It
// speaks plain HTTP, or HTTPS with a certificate the test gives it.
class FaultServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray method;
        QByteArray path;     // request target as received, still percent-encoded
        QString decodedPath; // the same, percent-decoded as UTF-8
        QList<QPair<QByteArray, QByteArray>> headers; // in arrival order
        int connection = -1;    // which connection carried it, counting from 0
        quint16 clientPort = 0; // the client's end of that connection

        // First header of that name, ignoring case; empty if absent.
        QByteArray header(const QByteArray& name) const;
    };

    struct Response {
        int status = 200;
        QByteArray reason; // empty: the usual phrase for the status
        // Content-Length is added from the body unless set here, e.g. to
        // declare more than is sent, or a Transfer-Encoding is.
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        int delayMs = 0;                // wait before sending anything
        int headerOnlyThenStallMs = -1; // send the head, then wait this long before the body
        int truncateBodyAt = -1;        // send only this many body bytes, then close
        bool resetConnection = false;   // drop the connection with RST, no response at all
        QByteArray before;              // raw bytes ahead of the head (an interim answer)
    };

    explicit FaultServer(QObject* parent = nullptr);
    ~FaultServer() override;

    // Listens on 127.0.0.1 on a free port.
    bool listen();
    // The same, over TLS: the handshake shows this certificate.
    bool listenTls(const QSslCertificate& certificate, const QSslKey& key);
    // Connections over TLS made from now on show this certificate instead.
    void setCertificate(const QSslCertificate& certificate, const QSslKey& key);
    quint16 port() const;
    // "http://HOST:PORT/", or "https://HOST:PORT/" over TLS.
    QString baseUrl(const QString& host = QStringLiteral("127.0.0.1")) const;

    // Scripted answers, used one per request in arrival order.
    void enqueue(const Response& response);
    int queuedResponses() const { return int(m_queue.size()); }

    // Once the queue is empty, requests go to the fallback. The default one
    // serves the registered files; setting an empty function restores it.
    void setFallback(std::function<Response(const Request&)> fallback);
    // Registers content for GET at a decoded path such as "/res/fla/a.swf".
    // Honours "Range: bytes=A-B" and "bytes=A-" (206, or 416 past the end);
    // any other Range is ignored and the whole content is sent (200).
    // Unknown paths get 404.
    void serveFile(const QString& urlPath, const QByteArray& content);

    QList<Request> requests() const { return m_requests; }
    // Connections accepted (over TLS: those whose handshake succeeded).
    int connectionCount() const { return m_connectionCount; }
    // TLS handshakes clients began, whatever became of them.
    int handshakeCount() const { return m_handshakeCount; }
    // The most requests that were waiting for their answers at once on one
    // connection: more than 1 when a client pipelines.
    int mostWaiting() const { return m_mostWaiting; }

    // 206 with "Content-Range: bytes first-last/total".
    static Response partial(qint64 first, qint64 last, qint64 total, QByteArray body);
    // A bare status with an empty body.
    static Response status(int code);

signals:
    // Emitted before the request is answered, so a slot may still enqueue
    // the answer for it.
    void requestReceived(int index);

private:
    class Connection;

    void acceptConnections();
    void serveNext(Connection* connection);
    void respond(Connection* connection, const Request& request, const Response& response);
    void sendHead(Connection* connection, const Request& request, const Response& response);
    void sendBody(Connection* connection, const Request& request, const Response& response);
    void reset(Connection* connection);
    Response fileResponse(const Request& request) const;

    bool listenOn(QTcpServer* server);

    QTcpServer* m_server = nullptr;
    bool m_tls = false;
    QQueue<Response> m_queue;
    std::function<Response(const Request&)> m_fallback;
    QHash<QString, QByteArray> m_files;
    QList<Request> m_requests;
    int m_connectionCount = 0;
    int m_handshakeCount = 0;
    int m_mostWaiting = 0;
};
