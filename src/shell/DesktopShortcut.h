#pragma once

#include <QString>

// The launcher on the user's desktop: a freedesktop entry that starts the
// program (the application folder's executable, or an installed launcher).
namespace DesktopShortcut {

inline const QString kFileName = QStringLiteral("Kibu播放器.desktop");
// The executable's fixed name, whatever name this process runs under.
inline const QString kExecutable = QStringLiteral("kibu-player");

// The entry's text for the program at this path.
QString entryText(const QString& program);

// Writes (or rewrites) the launcher into desktopFolder and marks it
// executable. False when anything fails.
bool write(const QString& desktopFolder, const QString& program);

// "桌面": a launcher for the program (empty: the application folder's own),
// refused for a folder under a "Temp" (an archive opened in place). The
// message to show; empty when nothing is said (no desktop, a failed write).
QString create(const QString& desktopFolder, const QString& appFolder, const QString& program);

} // namespace DesktopShortcut
