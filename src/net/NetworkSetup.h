#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QUrl>
#include <memory>

// The program's one network set-up. The window, the self-update, every test
// and every benchmark make their access through here, so that what is
// measured is what a child's click gets.
namespace NetworkSetup {

// The access manager for downloads and pages: the system's proxy answer
// per address, Qt's own redirect and TLS handling. The caller owns it
// alone: it has no parent.
std::unique_ptr<QNetworkAccessManager> makeAccessManager();

// Whether requests for url reach its server with nothing between (no
// proxy), so that several may wait at once on one connection. A proxy set
// on the manager wins; otherwise the system's answer for this address
// decides (environment, desktop settings, a PAC file).
bool goesStraight(const QNetworkAccessManager& network, const QUrl& url);

// Trusts these certificate authorities too, besides the system's, for every
// secure connection made from now on: Qt's client and the pipelined
// connections alike. The program itself never calls this; tests and
// benchmarks hand it an authority of their own, made for the run, instead
// of touching the system's store (which Qt reads as it is).
void trustAlso(const QList<QSslCertificate>& authorities);

} // namespace NetworkSetup
