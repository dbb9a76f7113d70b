#include "WebEngineInfoBrowser.h"

#include <QFileInfo>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <utility>

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

WebEngineInfoBrowser::WebEngineInfoBrowser(Start when, QObject* parent)
    : InfoBrowser(parent), m_frame(new QWidget) {
    auto* layout = new QVBoxLayout(m_frame);
    layout->setContentsMargins(0, 0, 0, 0);
    if (when == Start::Now)
        start();
}

void WebEngineInfoBrowser::start() {
    if (m_view)
        return;
    m_view = new QWebEngineView(m_frame);
    m_page = new SilentPage(m_view);
    m_page->silent = m_silent;
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_frame->layout()->addWidget(m_view);
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
    // The renderer may end (a crash, or killed); the strip shows its page
    // again, once, rather than staying blank. A page that ends it again
    // right away stays blank until the next one.
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status == QWebEnginePage::NormalTerminationStatus || m_current.isEmpty() ||
                    std::exchange(m_reloadedAfterCrash, true))
                    return;
                QTimer::singleShot(0, m_view, [this] { m_view->load(m_current); });
            });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (ok)
            m_reloadedAfterCrash = false;
    });
    if (!m_pending.isEmpty())
        m_view->load(std::exchange(m_pending, QUrl()));
}

WebEngineInfoBrowser::~WebEngineInfoBrowser() {
    if (m_frame && !m_frame->parent())
        delete m_frame;
}

void WebEngineInfoBrowser::navigate(const QString& url) {
    // Local pages are given as file paths, the web site's as addresses.
    const QUrl target = QFileInfo(url).isAbsolute() && !url.contains(QLatin1String("://"))
                            ? QUrl::fromLocalFile(url)
                            : QUrl(url);
    m_loads.requested(target);
    m_current = target;
    // Before the engine has started only the latest page is worth loading.
    if (m_view)
        m_view->load(target);
    else
        m_pending = target;
}

void WebEngineInfoBrowser::setSilent(bool silent) {
    m_silent = silent;
    if (m_page)
        m_page->silent = silent;
}

QWidget* WebEngineInfoBrowser::widget() {
    return m_frame;
}
