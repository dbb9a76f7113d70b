#include "PipelinedTransport.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace {

constexpr qsizetype kMaxHead = 16 * 1024;

} // namespace

PipelinedTransport::PipelinedTransport(QUrl url, QObject* parent)
    : RangeTransport(parent), m_url(std::move(url)) {}

PipelinedTransport::~PipelinedTransport() {
    close();
}

void PipelinedTransport::ask(const Headers& headers) {
    QByteArray request =
        "GET " +
        m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment) +
        " HTTP/1.1\r\nHost: " +
        m_url
            .toEncoded(QUrl::RemoveScheme | QUrl::RemovePath | QUrl::RemoveQuery |
                       QUrl::RemoveFragment | QUrl::RemoveUserInfo)
            .mid(2) +
        "\r\n";
    for (const auto& [name, value] : headers)
        request += name + ": " + value + "\r\n";
    request += "\r\n";
    m_waiting.push_back(request);
    if (m_socket)
        m_socket->write(request);
    else
        connectToServer();
}

void PipelinedTransport::close() {
    m_closed = true;
    m_waiting.clear();
    dropConnection();
}

void PipelinedTransport::connectToServer() {
    m_buffer.clear();
    m_headRead = false;
    m_body.clear();
    m_answeredHere = 0;
    QSslSocket* ssl = nullptr;
    if (m_url.scheme() == QLatin1String("https")) {
        ssl = new QSslSocket(this);
        m_socket = ssl;
        // A certificate Qt refuses ends the download, as with Qt's client,
        // but as a refusal: no new connection would be trusted either.
        connect(ssl, &QSslSocket::sslErrors, this, [this] { fail(Failure::Untrusted); });
    } else {
        m_socket = new QTcpSocket(this);
    }
    QTcpSocket* socket = m_socket;
    // Requests must not wait for the acknowledgement of the ones before
    // (Nagle). Set before the connection exists, the option is lost while
    // a host name is looked up: it is set once connected.
    connect(socket, &QTcpSocket::connected, socket,
            [socket] { socket->setSocketOption(QAbstractSocket::LowDelayOption, 1); });
    connect(socket, &QTcpSocket::readyRead, this, &PipelinedTransport::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &PipelinedTransport::onConnectionEnded);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // What answered the handshake was no TLS (a plain HTTP server on
        // the port), or the handshake broke down.
        if (error == QAbstractSocket::SslHandshakeFailedError)
            fail(Failure::Untrusted);
        else
            onConnectionEnded();
    });
    if (ssl)
        ssl->connectToHostEncrypted(m_url.host(), quint16(m_url.port(443)));
    else
        socket->connectToHost(m_url.host(), quint16(m_url.port(80)));
    // Written as soon as the connection is up.
    for (const QByteArray& request : m_waiting)
        m_socket->write(request);
}

void PipelinedTransport::dropConnection() {
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void PipelinedTransport::fail(Failure failure) {
    if (m_closed)
        return;
    close();
    switch (failure) {
    case Failure::Interrupted:
        emit interrupted();
        break;
    case Failure::Unreadable:
        emit unreadable();
        break;
    case Failure::Untrusted:
        emit untrusted();
        break;
    }
}

void PipelinedTransport::onReadyRead() {
    if (m_closed || !m_socket)
        return;
    m_buffer += m_socket->readAll();
    while (!m_closed && !m_buffer.isEmpty()) {
        if (m_waiting.empty()) {
            // Bytes nobody asked for.
            fail(Failure::Unreadable);
            return;
        }
        if (!m_headRead) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_buffer.size() > kMaxHead)
                    fail(Failure::Unreadable);
                return;
            }
            const auto answer = AnswerHead::read(m_buffer.left(end));
            m_buffer.remove(0, end + 4);
            if (!answer) {
                fail(Failure::Unreadable);
                return;
            }
            m_head = answer->head;
            m_length = answer->length;
            m_closesAfter = answer->closesAfter;
            // An interim answer (100 Continue, 103 Early Hints) comes before
            // the real one; a switch of protocols is nothing we asked for.
            if (m_head.status < 200 && m_head.status != 101)
                continue;
            m_headRead = true;
            emit headArrived(m_head);
            if (m_closed)
                return;
            if (m_length < 0) {
                fail(Failure::Unreadable);
                return;
            }
        }
        const qint64 take = std::min<qint64>(m_length - m_body.size(), m_buffer.size());
        if (take > 0) {
            m_body += m_buffer.left(take);
            m_buffer.remove(0, take);
            emit bodyArriving(m_body.size());
            if (m_closed)
                return;
        }
        if (m_body.size() < m_length)
            return;
        const Head head = std::exchange(m_head, Head());
        const QByteArray body = std::exchange(m_body, QByteArray());
        const bool closes = m_closesAfter;
        m_headRead = false;
        m_waiting.pop_front();
        ++m_answeredHere;
        emit answered(head, body);
        if (m_closed)
            return;
        if (closes) {
            // What follows on this connection is not for us; the rest go
            // out again on a new one.
            dropConnection();
            if (!m_waiting.empty())
                connectToServer();
            return;
        }
    }
}

void PipelinedTransport::onConnectionEnded() {
    const QTcpSocket* ended = m_socket;
    if (m_closed || !ended)
        return;
    // What arrived before the end is read first; it may end this
    // connection itself (Connection: close) and open the next.
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
    if (m_closed || m_socket != ended)
        return;
    const bool answeredHere = m_answeredHere > 0;
    dropConnection();
    if (m_waiting.empty())
        return; // closed while idle; the next request opens a new one
    // Closed after serving some answers (its keep-alive limit; a server
    // that closes without reading the requests behind may even cut the
    // last answer short with a reset): go on on a new connection from the
    // first answer that did not arrive whole. Refused, or ended before any
    // answer: the link failed.
    if (answeredHere)
        connectToServer();
    else
        fail(Failure::Interrupted);
}
