#include "GuestPage.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

namespace {

// Below the page: a request its policy lets through still has to pass.
class GuestRequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    GuestRequestGuard(const GuestAccess& access, QObject* parent)
        : QWebEngineUrlRequestInterceptor(parent), m_access(access) {}

    // Qt calls this on the window's thread, where the access rules change.
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!m_access.allows(info.requestUrl()))
            info.block(true);
    }

private:
    const GuestAccess& m_access;
};

} // namespace

// No storage name: off the record, nothing written to disk. The profile is
// the page's child, so that it goes only after the page itself.
GuestPage::GuestPage(const QString& engineFolder, const QUrl& hostPage, QObject* parent)
    : QWebEnginePage(new QWebEngineProfile, parent), m_access(engineFolder), m_hostPage(hostPage) {
    QWebEngineProfile* own = profile();
    own->setParent(this);
    own->setHttpCacheType(QWebEngineProfile::NoCache);
    own->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    own->setUrlRequestInterceptor(new GuestRequestGuard(m_access, own));

    QWebEngineSettings* s = settings();
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    // The engine fetches its WebAssembly and the programs by file URL; the
    // access rules keep those fetches to the allowed folders.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    for (auto off :
         {QWebEngineSettings::JavascriptCanOpenWindows,
          QWebEngineSettings::JavascriptCanAccessClipboard, QWebEngineSettings::JavascriptCanPaste,
          QWebEngineSettings::PluginsEnabled, QWebEngineSettings::PdfViewerEnabled,
          QWebEngineSettings::NavigateOnDropEnabled,
          QWebEngineSettings::AllowRunningInsecureContent,
          QWebEngineSettings::AllowGeolocationOnInsecureOrigins,
          QWebEngineSettings::AllowWindowActivationFromJavaScript,
          QWebEngineSettings::ScreenCaptureEnabled})
        s->setAttribute(off, false);
    // Microphone, camera, position, notifications: never.
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

GuestPage::~GuestPage() {
    profile()->setUrlRequestInterceptor(nullptr);
}

bool GuestPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    // Only the host page itself, loaded (or loaded again) by the player.
    return isMainFrame && url.isLocalFile() && !url.hasQuery() &&
           url.toLocalFile() == m_hostPage.toLocalFile();
}
