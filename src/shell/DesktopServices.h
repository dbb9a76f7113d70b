#pragma once

#include <QString>

// Hands an address to the user's default browser.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void open(const QString& url) = 0;
};

class DesktopUrlOpener : public UrlOpener {
public:
    void open(const QString& url) override;
};
