#include "Installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

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

bool provision(const QString& defaults, const QString& appDir, QString* error) {
    const QDir target(appDir);
    for (const QString& folder :
         {QStringLiteral("cons"), QStringLiteral("res/fla"), QStringLiteral("自定义节目")}) {
        if (!target.mkpath(folder)) {
            *error = QStringLiteral("无法建立文件夹 %1").arg(target.filePath(folder));
            return false;
        }
    }
    QDirIterator it(defaults, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString destination = target.filePath(QDir(defaults).relativeFilePath(source));
        if (QFileInfo::exists(destination))
            continue;
        if (!target.mkpath(QFileInfo(destination).path()) || !QFile::copy(source, destination)) {
            *error = QStringLiteral("无法建立 %1").arg(destination);
            return false;
        }
        // Installed files are read-only; the user's copies are theirs.
        QFile::setPermissions(destination, QFile::permissions(destination) | QFile::WriteOwner);
    }
    return true;
}

} // namespace Installation
