#pragma once

#include "GuestAccess.h"

#include <QUrl>
#include <QWebEnginePage>

// The player page, where programs are guests. It lives in a profile of its
// own, off the record, so that nothing is stored and nothing is shared with
// the information strip's web site; every request it makes passes the
// access rules below the page (whatever the page's own policy lets through);
// it never leaves the host page, opens no window and is granted no device.
class GuestPage : public QWebEnginePage {
    Q_OBJECT
public:
    GuestPage(const QString& engineFolder, const QUrl& hostPage, QObject* parent = nullptr);
    ~GuestPage() override;

    GuestAccess& access() { return m_access; }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    GuestAccess m_access;
    QUrl m_hostPage;
};
