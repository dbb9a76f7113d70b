#pragma once

#include "RemoteFile.h"

#include <QDateTime>
#include <QSet>
#include <QString>

// A program's download in progress lives beside its cache file, never under
// the program's own name: NAME.swf.part holds the bytes from the start of the
// file, NAME.swf.part.size what the server said of the whole file (its size
// on the first line, then its validators). A download that breaks off keeps
// both, and the next one goes on from there if the server still has the
// same file. Both are ordinary files of the cache folder: anything else
// under their names is never followed.
namespace PartialFiles {

QString dataPath(const QString& cachePath);
QString sizePath(const QString& cachePath);

// Where a download of the program at cachePath may go on; from 0 when
// there is nothing to go on from, or nothing to tell whether the server's
// file is still the one the part was taken from.
Resume resumePoint(const QString& cachePath, qint64 chunkSize);
bool record(const QString& cachePath, const RemoteFile& file);
void remove(const QString& cachePath);

// Removes the parts of programs that no list names any more, and parts not
// touched for 30 days.
void cleanUp(const QString& cacheFolder, const QSet<QString>& listedPrograms, const QDateTime& now);

} // namespace PartialFiles
