#include "WebEngineInfoBrowser.h"

#include <QFileInfo>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

// A page that, when silent, keeps every dialog of the pages it shows
// (alerts, confirmations, prompts) from reaching the user.
class SilentPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    bool silent = false;

protected:
    void javaScriptAlert(const QUrl& origin, const QString& msg) override {
        if (!silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override {
        return silent ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& def,
                          QString* result) override {
        return silent ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (!silent)
            QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }
};

WebEngineInfoBrowser::WebEngineInfoBrowser(QObject* parent)
    : InfoBrowser(parent), m_view(new QWebEngineView), m_page(new SilentPage(m_view)) {
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    // Only a page that really failed counts: one the user has already left
    // for the next (quick clicks on the pictures) is no reason for the
    // offline page.
    connect(m_page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& load) {
                switch (load.status()) {
                case QWebEngineLoadingInfo::LoadStartedStatus:
                    m_loads.started(load.url());
                    break;
                case QWebEngineLoadingInfo::LoadFailedStatus:
                    if (m_loads.failed(load.url(), load.errorCode()))
                        emit navigateError();
                    break;
                case QWebEngineLoadingInfo::LoadSucceededStatus:
                case QWebEngineLoadingInfo::LoadStoppedStatus:
                    m_loads.ended();
                    break;
                }
            });
}

WebEngineInfoBrowser::~WebEngineInfoBrowser() {
    if (m_view && !m_view->parent())
        delete m_view;
}

void WebEngineInfoBrowser::navigate(const QString& url) {
    // Local pages are given as file paths, the web site's as addresses.
    const QUrl target = QFileInfo(url).isAbsolute() && !url.contains(QLatin1String("://"))
                            ? QUrl::fromLocalFile(url)
                            : QUrl(url);
    m_loads.requested(target);
    m_view->load(target);
}

void WebEngineInfoBrowser::setSilent(bool silent) {
    m_page->silent = silent;
}

QWidget* WebEngineInfoBrowser::widget() {
    return m_view;
}
