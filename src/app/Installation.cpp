#include "Installation.h"

#include "base/FileOps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <algorithm>

namespace Installation {

Choice choose(const QString& appDirOption, const QString& exeDir, bool exeDirWritable,
              bool exeDirIsAppFolder, const QString& userDir) {
    if (!appDirOption.isEmpty())
        return {appDirOption, false};
    if (exeDirIsAppFolder && exeDirWritable)
        return {exeDir, false};
    return {userDir, true};
}

Choice choose(const QString& appDirOption, const QString& exeDir, const QString& userDir) {
    const QFileInfo folder(exeDir);
    return choose(appDirOption, exeDir, folder.isWritable(),
                  QFileInfo(QDir(exeDir).filePath(QStringLiteral("cons"))).isDir(), userDir);
}

QString defaultsDir(const QString& exeDir) {
    return QDir(exeDir).filePath(QStringLiteral("defaults"));
}

namespace {

// Theirs from the first start on: made when missing, never replaced.
const QStringList kUsersOwn = {
    QStringLiteral("cons/shoucang.inb"), QStringLiteral("cons/lishi.inb"),
    QStringLiteral("cons/date.inb"),     QStringLiteral("cons/parents.ini"),
    QStringLiteral("cons/rest.ini"),     QStringLiteral("cons/resume.json"),
};
const QStringList kUsersFolders = {QStringLiteral("res/fla/"), QStringLiteral("自定义节目/")};
const QString kVersionMark = QStringLiteral("cons/update.inb");

bool usersOwn(const QString& relative) {
    return kUsersOwn.contains(relative) ||
           std::any_of(kUsersFolders.cbegin(), kUsersFolders.cend(),
                       [&](const QString& f) { return relative.startsWith(f); });
}

QByteArray digestOf(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray readAll(const QString& path, bool* ok) {
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}

// relative path -> digest of what was shipped; "DIGEST  PATH" per line
// (with several lines for a path, each digest).
QMultiMap<QString, QByteArray> readShipped(const QString& path) {
    QMultiMap<QString, QByteArray> shipped;
    bool ok = false;
    for (const QByteArray& line : readAll(path, &ok).split('\n')) {
        const qsizetype gap = line.indexOf("  ");
        if (gap == 64)
            shipped.insert(QString::fromUtf8(line.mid(gap + 2)), line.left(gap));
    }
    return shipped;
}

QByteArray shippedText(const QMultiMap<QString, QByteArray>& shipped) {
    QByteArray text;
    for (auto it = shipped.cbegin(); it != shipped.cend(); ++it)
        text += it.value() + "  " + it.key().toUtf8() + '\n';
    return text;
}

} // namespace

bool provision(const QString& defaults, const QString& appDir, QString* error) {
    const QDir target(appDir);
    for (const QString& folder :
         {QStringLiteral("cons"), QStringLiteral("res/fla"), QStringLiteral("自定义节目")}) {
        if (!target.mkpath(folder)) {
            *error = QStringLiteral("无法建立文件夹 %1").arg(target.filePath(folder));
            return false;
        }
    }
    const QString record = target.filePath(kShipped);
    QMultiMap<QString, QByteArray> shipped = readShipped(record);
    const QMultiMap<QString, QByteArray> before = shipped;
    const QMultiMap<QString, QByteArray> everShipped =
        readShipped(QDir(defaults).filePath(kEverShipped));
    QDirIterator it(defaults, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString relative = QDir(defaults).relativeFilePath(source);
        if (relative == kEverShipped)
            continue;
        const QString destination = target.filePath(relative);
        bool ok = false;
        const QByteArray fresh = readAll(source, &ok);
        if (!ok)
            continue;
        const QByteArray freshDigest = digestOf(fresh);
        bool have = false;
        const QByteArray mine = readAll(destination, &have);
        if (have && usersOwn(relative))
            continue;
        if (have && relative != kVersionMark) {
            const QByteArray mineDigest = digestOf(mine);
            // In step with the default, or changed by the user since it came:
            // theirs stays. As some version shipped it, it is untouched.
            const bool untouched =
                shipped.value(relative) == mineDigest || everShipped.contains(relative, mineDigest);
            if (mineDigest == freshDigest)
                shipped.replace(relative, freshDigest);
            if (mineDigest == freshDigest || !untouched)
                continue;
        }
        if (have && mine == fresh)
            continue;
        // Written beside and renamed into place; the copy is the user's to
        // change (installed files are read-only).
        if (!target.mkpath(QFileInfo(destination).path()) ||
            !FileOps::writeAtomically(destination, fresh)) {
            *error = QStringLiteral("无法建立 %1").arg(destination);
            return false;
        }
        if (!usersOwn(relative))
            shipped.replace(relative, freshDigest);
    }
    if (shipped != before)
        FileOps::writeAtomically(record, shippedText(shipped));
    return true;
}

} // namespace Installation
