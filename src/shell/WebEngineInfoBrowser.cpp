#include "WebEngineInfoBrowser.h"

#include <QChildEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <functional>
#include <utility>

// A page that, when silent, keeps every dialog of the pages it shows
// (alerts, confirmations, prompts) from reaching the user, and asks before
// each navigation, of the page or of a frame in it.
class SilentPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    bool silent = false;
    std::function<bool(const QUrl& url, bool mainFrame, bool byLink)> follow;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        return follow && follow(url, isMainFrame, type == NavigationTypeLinkClicked);
    }
    // No page gets a window of its own; newWindowRequested has dealt with
    // the address already.
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
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
    // The engine's own widget inside the view, where clicks arrive, is made
    // (and made again after a crash) with the page's renderer.
    m_view->installEventFilter(this);
    m_page = new SilentPage(m_view);
    m_page->silent = m_silent;
    m_page->follow = [this](const QUrl& url, bool mainFrame, bool byLink) {
        return follow(url, mainFrame, byLink);
    };
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
    // A link that asks for a new window, or window.open(), is a link like
    // any other: the site's page shows in the strip itself.
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest& request) {
                const QUrl url = request.requestedUrl();
                if (follow(url, true, true))
                    m_view->load(url);
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

void WebEngineInfoBrowser::showOnly(const QString& webBase, const QString& offlinePage) {
    m_addresses = StripAddresses(webBase, offlinePage);
}

bool WebEngineInfoBrowser::follow(const QUrl& url, bool mainFrame, bool byLink) {
    switch (m_addresses.route(url, mainFrame, byLink)) {
    case StripAddresses::Go::Strip:
        // A click spent on the site's next page; that page's own script
        // gets no click from it.
        if (mainFrame)
            m_clicked = false;
        return true;
    case StripAddresses::Go::Browser:
        // One address elsewhere per click at most: a page that sends itself
        // on by script, without a click, or again and again, opens nothing.
        if (std::exchange(m_clicked, false))
            emit linkElsewhere(url.toString());
        return false;
    case StripAddresses::Go::Nowhere:
        break;
    }
    return false;
}

bool WebEngineInfoBrowser::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == m_view)
            static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::TouchBegin:
        m_clicked = true;
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
            m_clicked = true;
        break;
    }
    default:
        break;
    }
    return InfoBrowser::eventFilter(watched, event);
}

QWidget* WebEngineInfoBrowser::widget() {
    return m_frame;
}
