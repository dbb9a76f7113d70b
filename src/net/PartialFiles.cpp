#include "PartialFiles.h"

#include "FileOps.h"

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

Resume resumePoint(const QString& cachePath, qint64 chunkSize) {
    Resume resume;
    QFile size(sizePath(cachePath));
    const QFileInfo data(dataPath(cachePath));
    if (!data.isFile() || !size.open(QIODevice::ReadOnly))
        return resume;
    bool ok = false;
    const qint64 total = size.readAll().trimmed().toLongLong(&ok);
    if (!ok || total <= 0 || data.size() > total)
        return resume;
    resume.from = data.size() / chunkSize * chunkSize;
    resume.total = total;
    return resume;
}

bool recordTotal(const QString& cachePath, qint64 total) {
    return FileOps::writeAtomically(sizePath(cachePath), QByteArray::number(total));
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
