#include "FaultServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <cctype>
#include <limits>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

// One accepted connection. It owns its socket, so anything scheduled with the
// connection as context dies with it when the client goes away first.
class FaultServer::Connection : public QObject {
public:
    Connection(QTcpSocket* socket, int id, QObject* parent)
        : QObject(parent), socket(socket), id(id) {
        socket->setParent(this);
    }

    QTcpSocket* const socket;
    const int id;
    QByteArray buffer;    // received bytes not yet parsed into a request
    bool busy = false;    // an answer is still going out; later requests wait for it
    bool closing = false; // nothing more is sent or read on this connection
};

namespace {

QByteArray defaultReason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 416:
        return "Range Not Satisfiable";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Status " + QByteArray::number(status);
    }
}

const QByteArray* findHeader(const QList<QPair<QByteArray, QByteArray>>& headers,
                             const QByteArray& name) {
    for (const auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return &header.second;
    }
    return nullptr;
}

bool asksToClose(const QList<QPair<QByteArray, QByteArray>>& headers) {
    const QByteArray* value = findHeader(headers, "Connection");
    return value && value->toLower().contains("close");
}

qint64 bodyBytesToSend(const FaultServer::Request& request, const FaultServer::Response& response) {
    if (request.method == "HEAD")
        return 0;
    if (response.truncateBodyAt >= 0)
        return qMin<qint64>(response.truncateBodyAt, response.body.size());
    return response.body.size();
}

// True when the body sent differs from the length declared for it.
bool endsShort(const FaultServer::Request& request, const FaultServer::Response& response) {
    if (request.method == "HEAD")
        return false;
    qint64 length = response.body.size();
    if (const QByteArray* declared = findHeader(response.headers, "Content-Length")) {
        bool ok = false;
        length = declared->trimmed().toLongLong(&ok);
        if (!ok)
            return true;
    }
    return length != bodyBytesToSend(request, response);
}

// A connection can only carry another answer when the client can tell where
// this one ends; a short or overlong body has to be ended by closing.
bool closesAfter(const FaultServer::Request& request, const FaultServer::Response& response) {
    return response.truncateBodyAt >= 0 || asksToClose(request.headers) ||
           asksToClose(response.headers) || endsShort(request, response);
}

bool parseHead(const QByteArray& head, FaultServer::Request* request) {
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> parts = lines.first().simplified().split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/"))
        return false;
    request->method = parts[0];
    request->path = parts[1];
    request->decodedPath = QUrl::fromPercentEncoding(request->path);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        request->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return true;
}

// Only "bytes=A-B" and "bytes=A-" are understood; anything else counts as no
// range at all, as a server that ignores Range would treat it.
bool parseRange(const QByteArray& value, qint64* first, qint64* last) {
    if (!value.startsWith("bytes="))
        return false;
    const QByteArray range = value.mid(6).trimmed();
    const qsizetype dash = range.indexOf('-');
    if (dash <= 0)
        return false;
    bool ok = false;
    *first = range.left(dash).toLongLong(&ok);
    if (!ok || *first < 0)
        return false;
    const QByteArray end = range.mid(dash + 1);
    if (end.isEmpty()) {
        *last = std::numeric_limits<qint64>::max();
        return true;
    }
    *last = end.toLongLong(&ok);
    return ok && *last >= *first;
}

} // namespace

QByteArray FaultServer::Request::header(const QByteArray& name) const {
    const QByteArray* value = findHeader(headers, name);
    return value ? *value : QByteArray();
}

FaultServer::FaultServer(QObject* parent) : QObject(parent) {}

FaultServer::~FaultServer() {
    // Connections go first, while the rest of the server they point at is intact.
    // Connection has no meta-object of its own, so qobject_cast cannot tell it apart.
    const QObjectList children = this->children();
    for (QObject* child : children)
        delete dynamic_cast<Connection*>(child);
}

bool FaultServer::listen() {
    return listenOn(new QTcpServer(this));
}

bool FaultServer::listenTls(const QSslCertificate& certificate, const QSslKey& key) {
    m_tls = true;
    auto* server = new QSslServer(this);
    connect(server, &QSslServer::startedEncryptionHandshake, this, [this] { ++m_handshakeCount; });
    const bool listening = listenOn(server);
    setCertificate(certificate, key);
    return listening;
}

void FaultServer::setCertificate(const QSslCertificate& certificate, const QSslKey& key) {
    auto* server = qobject_cast<QSslServer*>(m_server);
    if (!server)
        return;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    server->setSslConfiguration(configuration);
}

bool FaultServer::listenOn(QTcpServer* server) {
    m_server = server;
    // Over TLS a connection is pending once its handshake is done.
    connect(server, &QTcpServer::pendingConnectionAvailable, this, &FaultServer::acceptConnections);
    return server->listen(QHostAddress::LocalHost, 0);
}

quint16 FaultServer::port() const {
    return m_server ? m_server->serverPort() : 0;
}

QString FaultServer::baseUrl(const QString& host) const {
    return QStringLiteral("%1://%2:%3/")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"), host)
        .arg(port());
}

void FaultServer::enqueue(const Response& response) {
    m_queue.enqueue(response);
}

void FaultServer::setFallback(std::function<Response(const Request&)> fallback) {
    m_fallback = std::move(fallback);
}

void FaultServer::serveFile(const QString& urlPath, const QByteArray& content) {
    m_files.insert(urlPath.startsWith(QLatin1Char('/')) ? urlPath : QLatin1Char('/') + urlPath,
                   content);
}

FaultServer::Response FaultServer::partial(qint64 first, qint64 last, qint64 total,
                                           QByteArray body) {
    Response response;
    response.status = 206;
    response.headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-' +
                                                  QByteArray::number(last) + '/' +
                                                  QByteArray::number(total)});
    response.body = std::move(body);
    return response;
}

FaultServer::Response FaultServer::status(int code) {
    Response response;
    response.status = code;
    return response;
}

void FaultServer::acceptConnections() {
    while (m_server->hasPendingConnections()) {
        auto* connection =
            new Connection(m_server->nextPendingConnection(), m_connectionCount++, this);
        connect(connection->socket, &QTcpSocket::readyRead, connection, [this, connection] {
            connection->buffer += connection->socket->readAll();
            m_mostWaiting = std::max<int>(m_mostWaiting, int(connection->buffer.count("\r\n\r\n")) +
                                                             (connection->busy ? 1 : 0));
            serveNext(connection);
        });
        connect(connection->socket, &QTcpSocket::disconnected, connection, [connection] {
            connection->closing = true;
            connection->deleteLater();
        });
    }
}

void FaultServer::serveNext(Connection* connection) {
    const QPointer<Connection> alive(connection);
    while (alive && !connection->busy && !connection->closing) {
        // Blank lines between requests are allowed and mean nothing.
        while (connection->buffer.startsWith("\r\n"))
            connection->buffer.remove(0, 2);
        // Bytes that start no request at all (a TLS handshake on this
        // plain port) are refused at once, as a web server does.
        const bool text =
            connection->buffer.isEmpty() || std::isalpha(uchar(connection->buffer[0]));
        const qsizetype end = text ? connection->buffer.indexOf("\r\n\r\n") : 0;
        if (end < 0)
            return;
        const QByteArray head = connection->buffer.left(end).replace("\r", "");
        connection->buffer.remove(0, end + 4);

        Request request;
        connection->busy = true;
        if (!parseHead(head, &request)) {
            // The stream cannot be trusted past a request we could not read.
            Response bad = status(400);
            bad.headers.append({QByteArray("Connection"), QByteArray("close")});
            respond(connection, request, bad);
            return;
        }
        request.connection = connection->id;
        request.clientPort = connection->socket->peerPort();
        m_requests.append(request);
        emit requestReceived(int(m_requests.size()) - 1);
        if (!alive)
            return;

        Response response;
        if (!m_queue.isEmpty())
            response = m_queue.dequeue();
        else if (m_fallback)
            response = m_fallback(request);
        else
            response = fileResponse(request);
        respond(connection, request, response);
    }
}

void FaultServer::respond(Connection* connection, const Request& request,
                          const Response& response) {
    if (response.delayMs <= 0) {
        sendHead(connection, request, response);
        return;
    }
    const QPointer<Connection> alive(connection);
    QTimer::singleShot(response.delayMs, connection, [this, alive, request, response] {
        if (alive)
            sendHead(alive, request, response);
    });
}

void FaultServer::sendHead(Connection* connection, const Request& request,
                           const Response& response) {
    if (connection->closing || connection->socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (response.resetConnection) {
        reset(connection);
        return;
    }

    QByteArray head =
        response.before + "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
        (response.reason.isEmpty() ? defaultReason(response.status) : response.reason) + "\r\n";
    for (const auto& header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (!findHeader(response.headers, "Content-Length") &&
        !findHeader(response.headers, "Transfer-Encoding"))
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    if (!findHeader(response.headers, "Connection"))
        head +=
            closesAfter(request, response) ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    connection->socket->write(head);

    if (response.headerOnlyThenStallMs < 0) {
        sendBody(connection, request, response);
        return;
    }
    connection->socket->flush();
    const QPointer<Connection> alive(connection);
    QTimer::singleShot(response.headerOnlyThenStallMs, connection,
                       [this, alive, request, response] {
                           if (alive)
                               sendBody(alive, request, response);
                       });
}

void FaultServer::sendBody(Connection* connection, const Request& request,
                           const Response& response) {
    if (connection->closing || connection->socket->state() != QAbstractSocket::ConnectedState)
        return;
    connection->socket->write(response.body.left(bodyBytesToSend(request, response)));
    if (closesAfter(request, response)) {
        connection->closing = true;
        // Sends what is buffered, then FIN; the disconnected signal cleans up.
        connection->socket->disconnectFromHost();
        return;
    }
    connection->busy = false;
    // A request that came in behind this answer is waiting; when this ran from
    // a timer, nothing else would pick it up.
    if (!connection->buffer.isEmpty()) {
        const QPointer<Connection> alive(connection);
        QTimer::singleShot(0, connection, [this, alive] {
            if (alive)
                serveNext(alive);
        });
    }
}

void FaultServer::reset(Connection* connection) {
    connection->closing = true;
#ifdef Q_OS_UNIX
    // Zero linger turns the close into an RST instead of an orderly FIN.
    const qintptr descriptor = connection->socket->socketDescriptor();
    if (descriptor != -1) {
        const linger immediate{1, 0};
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    }
#endif
    connection->socket->abort();
    connection->deleteLater();
}

FaultServer::Response FaultServer::fileResponse(const Request& request) const {
    const auto file = m_files.constFind(request.decodedPath);
    if (file == m_files.constEnd())
        return status(404);
    const QByteArray& content = *file;
    const qint64 size = content.size();

    qint64 first = 0;
    qint64 last = 0;
    if (!parseRange(request.header("Range"), &first, &last)) {
        Response whole;
        whole.body = content;
        return whole;
    }
    if (first >= size) {
        Response unsatisfiable = status(416);
        unsatisfiable.headers.append({"Content-Range", "bytes */" + QByteArray::number(size)});
        return unsatisfiable;
    }
    last = qMin(last, size - 1);
    return partial(first, last, size, content.mid(first, last - first + 1));
}
