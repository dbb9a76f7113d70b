#include "PartialFiles.h"

#include "base/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PartialFiles {

namespace {

const QString kData = QStringLiteral(".part");
const QString kSize = QStringLiteral(".part.size");
const QString kSwf = QStringLiteral(".swf");
constexpr int kKeepDays = 30;

} // namespace

QString dataPath(const QString& cachePath) {
    return cachePath + kData;
}

QString sizePath(const QString& cachePath) {
    return cachePath + kSize;
}

namespace {

const QByteArray kEtag = "etag ";
const QByteArray kLastModified = "last-modified ";

RemoteFile readSide(const QString& path) {
    RemoteFile file;
    QFile side(path);
    if (!FileOps::isPlainFile(path) || !side.open(QIODevice::ReadOnly))
        return file;
    const QList<QByteArray> lines = side.read(4096).split('\n');
    bool ok = false;
    file.total = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok)
        file.total = -1;
    for (const QByteArray& line : lines.mid(1)) {
        if (line.startsWith(kEtag))
            file.etag = line.mid(kEtag.size()).trimmed();
        else if (line.startsWith(kLastModified))
            file.lastModified = line.mid(kLastModified.size()).trimmed();
    }
    return file;
}

} // namespace

Resume resumePoint(const QString& cachePath, qint64 chunkSize) {
    Resume resume;
    const QString data = dataPath(cachePath);
    if (!FileOps::isPlainFile(data))
        return resume;
    const RemoteFile file = readSide(sizePath(cachePath));
    const qint64 have = QFileInfo(data).size();
    if (file.total <= 0 || have > file.total)
        return resume;
    resume.file = file;
    resume.complete = have == file.total;
    if (!resume.complete && file.hasValidator())
        resume.from = have / chunkSize * chunkSize;
    return resume;
}

bool record(const QString& cachePath, const RemoteFile& file) {
    // Header values end at a line's end; one that holds a line break is
    // not a validator worth keeping.
    auto line = [](const QByteArray& key, const QByteArray& value) {
        return value.isEmpty() || value.contains('\n') || value.contains('\r') ? QByteArray()
                                                                               : key + value + '\n';
    };
    const QString path = sizePath(cachePath);
    // The atomic write would follow a link in its place.
    if (!FileOps::isPlainFile(path) && !FileOps::deleteIfExists(path))
        return false;
    return FileOps::writeAtomically(path, QByteArray::number(file.total) + '\n' +
                                              line(kEtag, file.etag) +
                                              line(kLastModified, file.lastModified));
}

void remove(const QString& cachePath) {
    FileOps::deleteIfExists(dataPath(cachePath));
    FileOps::deleteIfExists(sizePath(cachePath));
}

void cleanUp(const QString& cacheFolder, const QSet<QString>& listedPrograms,
             const QDateTime& now) {
    const QFileInfoList parts =
        QDir(cacheFolder).entryInfoList({QLatin1Char('*') + kSwf + kData}, QDir::Files);
    for (const QFileInfo& part : parts) {
        const QString cachePath = part.absoluteFilePath().chopped(kData.size());
        const QString name = part.fileName().chopped(kData.size() + kSwf.size());
        if (!listedPrograms.contains(name) || part.lastModified().daysTo(now) > kKeepDays)
            remove(cachePath);
    }
    // A size without its part is of no use.
    const QFileInfoList sizes =
        QDir(cacheFolder).entryInfoList({QLatin1Char('*') + kSwf + kSize}, QDir::Files);
    for (const QFileInfo& size : sizes)
        if (!QFileInfo::exists(size.absoluteFilePath().chopped(kSize.size()) + kData))
            FileOps::deleteIfExists(size.absoluteFilePath());
}

} // namespace PartialFiles
