#include "NetworkSetup.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSslConfiguration>

namespace NetworkSetup {

std::unique_ptr<QNetworkAccessManager> makeAccessManager() {
    auto network = std::make_unique<QNetworkAccessManager>();
    // A server that moves its programs answers with a redirect; Qt's default
    // follows it unless it leads from https to http.
    network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    return network;
}

bool goesStraight(const QNetworkAccessManager& network, const QUrl& url) {
    const QNetworkProxy own = network.proxy();
    if (own.type() != QNetworkProxy::DefaultProxy)
        return own.type() == QNetworkProxy::NoProxy;
    // Qt answers "usesSystemConfiguration" with true by default, whether or
    // not the system names a proxy; only the answer for this address tells.
    const QList<QNetworkProxy> answer =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return answer.isEmpty() || answer.first().type() == QNetworkProxy::NoProxy;
}

void trustAlso(const QList<QSslCertificate>& authorities) {
    // Both ways in take the default configuration: a request without one
    // of its own, and every new QSslSocket. A list set there stops Qt from
    // loading the system's authorities when needed, so they are named too.
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> trusted = configuration.caCertificates();
    for (const QSslCertificate& authority : QSslConfiguration::systemCaCertificates() + authorities)
        if (!trusted.contains(authority))
            trusted.append(authority);
    configuration.setCaCertificates(trusted);
    QSslConfiguration::setDefaultConfiguration(configuration);
}

} // namespace NetworkSetup
