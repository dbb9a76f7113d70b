// app/: main() — the options, the application folder, and the start of the window.

#pragma once

#include "shell/Form1.h"

#include <QStringList>

// The command line: where the application folder is and which servers to
// use, over the built-in ones.
namespace AppOptions {

struct Defaults {
    QString appDir; // the executable's folder
    QString downloadBase;
    QString webBase;
    // The user's own application folder, for an installed program.
    QString userAppDir;
};

struct Parsed {
    enum class Action { Run, ShowText, Fail };
    Action action = Action::Fail;
    AppSettings settings;
    bool installed = false;      // the user's own folder, made from the defaults
    bool fullResolution = false; // never lower the drawing resolution
    QString text;                // --help / --version output, or the reason for refusing
};

Parsed parse(const QStringList& arguments, const Defaults& defaults);

// A base address must be an absolute http or https URL ending with "/",
// since every page and file is named relative to it.
bool isValidBaseUrl(const QString& url);

} // namespace AppOptions
