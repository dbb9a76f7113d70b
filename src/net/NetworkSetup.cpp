#include "NetworkSetup.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>

namespace NetworkSetup {

std::unique_ptr<QNetworkAccessManager> makeAccessManager(QObject* parent) {
    auto network = std::make_unique<QNetworkAccessManager>(parent);
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

} // namespace NetworkSetup
