#pragma once

#include <QString>

// The launcher on the user's desktop: a freedesktop entry that starts the
// program of the application folder.
namespace DesktopShortcut {

inline const QString kFileName = QStringLiteral("Kibu播放器.desktop");
// The executable's fixed name, whatever name this process runs under.
inline const QString kExecutable = QStringLiteral("kibu-player");

// The entry's text for an application folder.
QString entryText(const QString& appFolder);

// Writes (or rewrites) the launcher into desktopFolder and marks it
// executable. False when anything fails.
bool write(const QString& desktopFolder, const QString& appFolder);

} // namespace DesktopShortcut
