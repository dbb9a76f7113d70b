#pragma once

#include "InfoBrowser.h"
#include "PageLoadTracker.h"

#include <QPointer>
#include <QWebEngineView>

class SilentPage;

// The information strip on Qt WebEngine. Started later, the engine is made
// only when start() is called (after the window shows); a page asked for
// before then loads at that moment.
class WebEngineInfoBrowser : public InfoBrowser {
    Q_OBJECT
public:
    enum class Start { Now, Later };
    explicit WebEngineInfoBrowser(Start when = Start::Now, QObject* parent = nullptr);
    ~WebEngineInfoBrowser() override;
    void start();

    void navigate(const QString& url) override;
    void setSilent(bool silent) override;
    QWidget* widget() override;
    // The engine's view; null until started.
    QWebEngineView* view() const { return m_view; }

private:
    QPointer<QWidget> m_frame;
    QWebEngineView* m_view = nullptr;
    SilentPage* m_page = nullptr;
    PageLoadTracker m_loads;
    QUrl m_pending;
    QUrl m_current; // the page asked for last
    bool m_reloadedAfterCrash = false;
    bool m_silent = false;
};
