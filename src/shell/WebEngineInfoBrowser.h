#pragma once

#include "InfoBrowser.h"
#include "PageLoadTracker.h"

#include <QPointer>
#include <QWebEngineView>

class SilentPage;

// The information strip on Qt WebEngine.
class WebEngineInfoBrowser : public InfoBrowser {
    Q_OBJECT
public:
    explicit WebEngineInfoBrowser(QObject* parent = nullptr);
    ~WebEngineInfoBrowser() override;

    void navigate(const QString& url) override;
    void setSilent(bool silent) override;
    QWidget* widget() override;

private:
    QPointer<QWebEngineView> m_view;
    SilentPage* m_page;
    PageLoadTracker m_loads;
};
