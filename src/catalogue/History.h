#pragma once

#include <QString>

// The history list file: the programs started from a category list, newest
// first, at most kMaxEntries lines. A program played twice stands twice.
namespace History {

constexpr int kMaxEntries = 20;
inline const QString kFile = QStringLiteral("cons/lishi.inb");

// Puts name on top of the history file and drops what falls beyond the cap.
// Nothing is written when the file cannot be read (it is not created
// either) or the name has no GBK form; false then.
bool record(const QString& path, const QString& name);

} // namespace History
