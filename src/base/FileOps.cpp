#include "base/FileOps.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace FileOps {

namespace {

fs::path nativePath(const QString& path) {
    return fs::path(path.toStdU16String());
}

// What the entry itself is, links not followed.
fs::file_status entryStatus(const QString& path) {
    std::error_code ec;
    return fs::symlink_status(nativePath(path), ec);
}

#ifdef Q_OS_UNIX
QString lastError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// open(2) with O_NOFOLLOW, so that a link slipped in after the check above
// is refused rather than followed, and O_NONBLOCK, so that a pipe slipped
// in cannot hang the window; the descriptor must then be a regular file.
bool openNoFollow(QFile& file, QIODevice::OpenMode mode, QString* error) {
    int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_CREAT;
    flags |= mode.testFlag(QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
    if (mode.testFlag(QIODevice::Truncate))
        flags |= O_TRUNC;
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), flags, 0666);
    if (fd < 0) {
        if (error)
            *error = lastError();
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("not an ordinary file");
        return false;
    }
    if (!file.open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
#endif

} // namespace

bool isPlainFile(const QString& path) {
    return fs::is_regular_file(entryStatus(path));
}

bool openPlain(QFile& file, QIODevice::OpenMode mode, QString* error) {
    const fs::file_status status = entryStatus(file.fileName());
    if (fs::is_directory(status)) {
        if (error)
            *error = QStringLiteral("a folder has this name");
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status) &&
        !deleteIfExists(file.fileName(), error))
        return false;
#ifdef Q_OS_UNIX
    return openNoFollow(file, mode, error);
#else
    if (file.open(mode))
        return true;
    if (error)
        *error = file.errorString();
    return false;
#endif
}

bool createEmpty(const QString& path, QString* error) {
    QFile file(path);
    return openPlain(file, QIODevice::WriteOnly | QIODevice::Truncate, error);
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool makeExecutable(const QString& path) {
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner |
                                           QFile::ExeGroup | QFile::ExeOther);
}

bool deleteIfExists(const QString& path, QString* error) {
    const fs::file_status status = entryStatus(path);
    if (!fs::exists(status) || fs::is_directory(status))
        return true;
    std::error_code ec;
    if (fs::remove(nativePath(path), ec))
        return true;
    if (error)
        *error = QString::fromStdString(ec.message());
    return !ec;
}

namespace {

// Flushes what the system holds of a file or folder to the disk; a folder
// so, its entries (a new name, a name gone) survive a power cut.
void syncToDisk(const QString& path, bool folder) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (folder ? O_DIRECTORY : O_NONBLOCK));
    if (fd < 0)
        return;
    folder ? ::fsync(fd) : ::fdatasync(fd);
    ::close(fd);
#else
    Q_UNUSED(path);
    Q_UNUSED(folder);
#endif
}

} // namespace

bool replaceFile(const QString& source, const QString& target) {
    if (!isPlainFile(source))
        return false;
    // On the disk before its new name is: a power cut must not leave a
    // short file under the final name.
    syncToDisk(source, false);
    syncToDisk(QFileInfo(source).absolutePath(), true);
    // A rename onto an existing file replaces it atomically; deleting the
    // target first would leave a gap in which neither file exists.
    std::error_code ec;
    fs::rename(nativePath(source), nativePath(target), ec);
    if (ec)
        return false;
    syncToDisk(QFileInfo(target).absolutePath(), true);
    return true;
}

} // namespace FileOps
