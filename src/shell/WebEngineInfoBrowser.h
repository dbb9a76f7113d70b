#pragma once

#include "InfoBrowser.h"
#include "PageLoadTracker.h"
#include "StripAddresses.h"

#include <QPointer>
#include <QWebEngineView>

class SilentPage;

// The information strip on Qt WebEngine. Started later, the engine is made
// only when start() is called (after the window shows); a page asked for
// before then loads at that moment. It follows links and opens windows only
// within the addresses it shows (a window's page then shows in the strip);
// a click on a link elsewhere is reported, once per click.
class WebEngineInfoBrowser : public InfoBrowser {
    Q_OBJECT
public:
    enum class Start { Now, Later };
    explicit WebEngineInfoBrowser(Start when = Start::Now, QObject* parent = nullptr);
    ~WebEngineInfoBrowser() override;
    void start();

    void navigate(const QString& url) override;
    void setSilent(bool silent) override;
    void showOnly(const QString& webBase, const QString& offlinePage) override;
    QWidget* widget() override;
    // The engine's view; null until started.
    QWebEngineView* view() const { return m_view; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool follow(const QUrl& url, bool mainFrame, bool byLink);

    QPointer<QWidget> m_frame;
    QWebEngineView* m_view = nullptr;
    SilentPage* m_page = nullptr;
    PageLoadTracker m_loads;
    QUrl m_pending;
    QUrl m_current; // the page asked for last
    bool m_reloadedAfterCrash = false;
    bool m_silent = false;
    StripAddresses m_addresses;
    bool m_clicked = false; // a click in the strip not yet spent on a page
};
