// ui/: widget helpers shared by the window and the dialog (message boxes, twips placement).

#pragma once

#include <QString>

// The window's message boxes.
class Notifier {
public:
    virtual ~Notifier() = default;
    // A notice during downloads and list switching: title "提示", the
    // information icon, OK.
    virtual void notice(const QString& text) = 0;
    // Any other message: the application title, no icon, OK.
    virtual void message(const QString& text) = 0;
    // A question before something is thrown away: the application title,
    // the stop icon, Yes and No with No the default. True for Yes.
    virtual bool confirm(const QString& text) = 0;
};
