#include "HttpPipeline.h"

#include <QSslSocket>
#include <QTcpSocket>

namespace {

constexpr qsizetype kMaxHead = 16 * 1024;

} // namespace

QByteArray HttpPipeline::Answer::header(const QByteArray& name) const {
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

HttpPipeline::HttpPipeline(const QUrl& url, qint64 maxBody, QObject* parent)
    : QObject(parent), m_url(url), m_maxBody(maxBody) {
    const bool tls = url.scheme() == QLatin1String("https");
    if (tls) {
        auto* ssl = new QSslSocket(this);
        m_socket = ssl;
        connect(ssl, &QSslSocket::sslErrors, this, [this] { fail(); });
        ssl->connectToHostEncrypted(url.host(), quint16(url.port(443)));
    } else {
        m_socket = new QTcpSocket(this);
        m_socket->connectToHost(url.host(), quint16(url.port(80)));
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpPipeline::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_waiting > 0)
            fail();
    });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_waiting > 0)
            fail();
    });
}

HttpPipeline::~HttpPipeline() {
    close();
}

void HttpPipeline::get(const Headers& headers) {
    QByteArray request =
        "GET " +
        m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment) +
        " HTTP/1.1\r\nHost: " +
        m_url
            .toEncoded(QUrl::RemoveScheme | QUrl::RemovePath | QUrl::RemoveQuery |
                       QUrl::RemoveFragment | QUrl::RemoveUserInfo)
            .mid(2) +
        "\r\n";
    for (const auto& h : headers)
        request += h.first + ": " + h.second + "\r\n";
    request += "Connection: keep-alive\r\n\r\n";
    ++m_waiting;
    // Written now or, while connecting, as soon as the connection is up.
    m_socket->write(request);
}

void HttpPipeline::close() {
    m_waiting = 0;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

void HttpPipeline::fail() {
    if (m_failed)
        return;
    m_failed = true;
    // What had arrived of the current answer stays readable for the slot.
    close();
    emit broken();
}

bool HttpPipeline::parseHead(const QByteArray& head) {
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    if (status.size() < 2 || !status.at(0).startsWith("HTTP/1."))
        return false;
    bool ok = false;
    m_current.status = status.at(1).toInt(&ok);
    if (!ok)
        return false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m_current.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    // Only answers whose end is known can be told apart on one connection.
    if (!m_current.header("Transfer-Encoding").isEmpty())
        return false;
    m_current.contentLength = m_current.header("Content-Length").toLongLong(&ok);
    return ok && m_current.contentLength >= 0 && m_current.contentLength <= m_maxBody;
}

void HttpPipeline::onReadyRead() {
    m_buffer += m_socket->readAll();
    while (!m_failed && m_waiting > 0) {
        if (!m_current.headRead) {
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0) {
                if (m_buffer.size() > kMaxHead)
                    fail();
                return;
            }
            m_current.headRead = true;
            if (!parseHead(m_buffer.left(end))) {
                fail();
                return;
            }
            m_buffer.remove(0, end + 4);
        }
        const qint64 need = m_current.contentLength - m_current.body.size();
        m_current.body += m_buffer.left(need);
        m_buffer.remove(0, std::min<qint64>(need, m_buffer.size()));
        if (m_current.body.size() < m_current.contentLength)
            return;
        const Answer done = std::exchange(m_current, Answer());
        --m_waiting;
        emit answered(done);
    }
}
