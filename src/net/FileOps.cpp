#include "FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

namespace FileOps {

bool createEmpty(const QString& path, QString* error) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool makeExecutable(const QString& path) {
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner |
                                           QFile::ExeGroup | QFile::ExeOther);
}

bool deleteIfExists(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.isFile())
        return true;
    QFile file(path);
    if (file.remove())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool replaceFile(const QString& source, const QString& target) {
    if (!QFileInfo(source).isFile())
        return false;
    // A rename onto an existing file replaces it atomically; deleting the
    // target first would leave a gap in which neither file exists.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(source.toStdU16String()),
                            std::filesystem::path(target.toStdU16String()), ec);
    return !ec;
}

} // namespace FileOps
