#include "QtRangeTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

QtRangeTransport::QtRangeTransport(QNetworkAccessManager* network, QUrl url, QObject* parent)
    : RangeTransport(parent), m_network(network), m_url(std::move(url)) {}

QtRangeTransport::~QtRangeTransport() {
    close();
}

void QtRangeTransport::ask(const Headers& headers) {
    QNetworkRequest request(m_url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
            emit headArrived(head());
    });
    connect(m_reply, &QNetworkReply::readyRead, this,
            [this] { emit bodyArriving(m_reply->bytesAvailable()); });
    connect(m_reply, &QNetworkReply::finished, this, &QtRangeTransport::onFinished);
}

void QtRangeTransport::close() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

RangeTransport::Head QtRangeTransport::head() const {
    Head head;
    head.status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    for (const auto& pair : m_reply->rawHeaderPairs())
        head.headers.append(pair);
    return head;
}

void QtRangeTransport::onFinished() {
    QNetworkReply* reply = m_reply;
    const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    // Below ContentAccessDenied the connection, the proxy or TLS failed;
    // above are answers the status code speaks for.
    const QNetworkReply::NetworkError error = reply->error();
    const bool broke =
        error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    const Head h = hasStatus ? head() : Head();
    const QByteArray body = reply->readAll();
    close();
    // Qt's verdict on a certificate it refuses, and on a server that
    // answers the handshake with anything but TLS.
    if (error == QNetworkReply::SslHandshakeFailedError)
        emit untrusted();
    else if (!hasStatus || broke)
        emit interrupted();
    else
        emit answered(h, body);
}
