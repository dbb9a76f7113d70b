#pragma once

#include <QString>

// Where the application folder is. Run from a build (or an unpacked
// archive) the executable's own folder is the application folder, as it has
// always been. Installed from the package, that folder belongs to the
// system: each user then gets an application folder of their own, made on
// the first start from the defaults installed beside the executable.
namespace Installation {

struct Choice {
    QString appDir;
    bool installed = false; // the user's own folder, made from the defaults
};

// appDirOption: --app-dir, empty when not given (it always wins). The
// executable's folder serves when it is an application folder (it holds
// cons/) that can be written.
Choice choose(const QString& appDirOption, const QString& exeDir, bool exeDirWritable,
              bool exeDirIsAppFolder, const QString& userDir);
// The same, looking at the folders themselves.
Choice choose(const QString& appDirOption, const QString& exeDir, const QString& userDir);

// The defaults installed beside the executable.
QString defaultsDir(const QString& exeDir);

// Brings appDir up to the defaults, on every start: makes the cache and
// custom-programs folders, copies every default file it does not have yet,
// and after a package upgrade replaces each shipped file the user never
// changed with its new default, keeping the ones they changed (as Debian
// keeps a changed configuration file). What was shipped is remembered in a
// file of its own (kShipped). The user's favourites, history and state files
// are only ever made when missing; the version mark always follows the
// package. False, with the reason, when the folder cannot be made.
bool provision(const QString& defaultsDir, const QString& appDir, QString* error);

// In appDir: a SHA-256 digest and a path per shipped file.
inline const QString kShipped = QStringLiteral("cons/defaults.sha256");
// In the defaults: the same for every default file every version of the
// package has shipped, newest last. A user's file that matches any of them
// was never changed, even in a folder that kept no record.
inline const QString kEverShipped = QStringLiteral("shipped.sha256");

} // namespace Installation
