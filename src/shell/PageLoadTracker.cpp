#include "PageLoadTracker.h"

namespace {

bool sameAddress(const QUrl& a, const QUrl& b) {
    return a.matches(b, QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
}

} // namespace

void PageLoadTracker::requested(const QUrl& url) {
    m_requested = url;
    m_latestRunning = false;
}

void PageLoadTracker::started(const QUrl& url) {
    if (sameAddress(url, m_requested))
        m_latestRunning = true;
}

bool PageLoadTracker::failed(const QUrl& url, int errorCode) {
    if (errorCode == kAborted)
        return false;
    if (!m_latestRunning && !sameAddress(url, m_requested))
        return false;
    m_latestRunning = false;
    return true;
}

void PageLoadTracker::ended() {
    m_latestRunning = false;
}
