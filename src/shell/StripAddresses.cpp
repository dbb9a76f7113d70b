#include "StripAddresses.h"

#include <QDir>

namespace {

bool isWeb(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

int portOf(const QUrl& url) {
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

// A path that steps back out of a folder (also when written "%2e%2e") is
// none of the site's own addresses, whatever it begins with.
bool climbs(const QString& decodedPath) {
    const auto segments = QStringView(decodedPath).split(u'/');
    for (const QStringView segment : segments) {
        if (segment == u"." || segment == u"..")
            return true;
    }
    return false;
}

} // namespace

StripAddresses::StripAddresses(const QString& webBase, const QString& offlinePage)
    : m_site(webBase),
      m_offlinePage(offlinePage.isEmpty() ? QString() : QDir::cleanPath(offlinePage)) {}

bool StripAddresses::shows(const QUrl& url) const {
    if (url.isLocalFile())
        return !m_offlinePage.isEmpty() && url.host().isEmpty() &&
               QDir::cleanPath(url.toLocalFile()) == m_offlinePage;
    if (!isWeb(url) || !isWeb(m_site))
        return false;
    const QString path = url.path(QUrl::FullyDecoded);
    return url.scheme() == m_site.scheme() && url.host() == m_site.host() &&
           portOf(url) == portOf(m_site) && !climbs(path) &&
           path.startsWith(m_site.path(QUrl::FullyDecoded));
}

StripAddresses::Go StripAddresses::route(const QUrl& url, bool mainFrame, bool byLink) const {
    if (shows(url))
        return Go::Strip;
    // Only the page's own links go on to the browser, and only to web
    // addresses: never a file, a script or data, nor what a frame asks for.
    return mainFrame && byLink && isWeb(url) ? Go::Browser : Go::Nowhere;
}
