#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The information strip along the bottom of the window.
class InfoBrowser : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~InfoBrowser() override = default;

    // Starts loading a web address or a local file path; returns at once.
    virtual void navigate(const QString& url) = 0;
    // When silent, pages cannot open dialogs (script errors, alerts).
    virtual void setSilent(bool silent) = 0;
    // The strip shows pages under webBase (ending with "/") and the offline
    // page (a file path), and nothing else.
    virtual void showOnly(const QString& webBase, const QString& offlinePage) = 0;
    virtual QWidget* widget() = 0;

signals:
    void navigateError();
    // A click on a link to another web address, which the strip does not
    // show.
    void linkElsewhere(const QString& url);
};
