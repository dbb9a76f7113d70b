#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>

// A program's download in progress lives beside its cache file, never under
// the program's own name: NAME.swf.part holds the bytes from the start of the
// file, NAME.swf.part.size the size of the whole file as the server gave it.
// A download that breaks off keeps both, and the next one goes on from there.
namespace PartialFiles {

QString dataPath(const QString& cachePath);
QString sizePath(const QString& cachePath);

struct Resume {
    qint64 from = 0;   // the last whole chunk boundary the part holds
    qint64 total = -1; // what the server said the file's size was
};
// Where a download of the program at cachePath may go on; from 0 when
// there is nothing to go on from.
Resume resumePoint(const QString& cachePath, qint64 chunkSize);
bool recordTotal(const QString& cachePath, qint64 total);
void remove(const QString& cachePath);

// Removes the parts of programs that no list names any more, and parts not
// touched for 30 days.
void cleanUp(const QString& cacheFolder, const QSet<QString>& listedPrograms, const QDateTime& now);

} // namespace PartialFiles
