#pragma once

#include <QString>
#include <QStringList>

// The user's own programs: .swf files in the group folders directly below
// the custom-programs folder of the application folder.
namespace CustomPrograms {

inline const QString kFolder = QStringLiteral("自定义节目");

// The names of the direct sub-folders, in the order the listing gives them.
QStringList groups(const QString& customFolder);

// The rows of a group: its .swf file names (the extension in any letter
// case) without the extension, in listing order.
QStringList programs(const QString& groupFolder);

// The file of a row: stem + ".swf", or the file whose extension differs
// only in letter case. Empty when there is none, or when the stem could
// lead out of the folder.
QString programFile(const QString& groupFolder, const QString& stem);

} // namespace CustomPrograms
