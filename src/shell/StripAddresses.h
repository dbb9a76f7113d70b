#pragma once

#include <QString>
#include <QUrl>

// What the information strip may show: the web site's pages, under its base
// address, and the offline page that ships with the program. Its engine gets
// no security fixes, so it is kept to content we serve ourselves; another
// site's page belongs in the desktop's browser, which the system keeps
// patched.
class StripAddresses {
public:
    // Shows nothing until told where the site and the offline page are.
    StripAddresses() = default;
    // webBase ends with "/"; offlinePage is a file path.
    StripAddresses(const QString& webBase, const QString& offlinePage);

    bool shows(const QUrl& url) const;

    // Where a navigation the page asks for goes: into the strip, nowhere,
    // or (a link to another web address in the page itself, not in a frame
    // of it) to the desktop's browser.
    enum class Go { Strip, Nowhere, Browser };
    Go route(const QUrl& url, bool mainFrame, bool byLink) const;

private:
    QUrl m_site;
    QString m_offlinePage;
};
