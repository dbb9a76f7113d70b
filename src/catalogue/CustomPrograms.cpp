#include "CustomPrograms.h"

#include "ProgramName.h"

#include <QDir>
#include <QFileInfo>

namespace CustomPrograms {

namespace {

const QString kExtension = QStringLiteral(".swf");

bool isProgramFile(const QString& fileName) {
    return fileName.size() > kExtension.size() &&
           fileName.endsWith(kExtension, Qt::CaseInsensitive);
}

} // namespace

QStringList groups(const QString& customFolder) {
    return QDir(customFolder)
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
}

QStringList programs(const QString& groupFolder) {
    QStringList rows;
    const QStringList files =
        QDir(groupFolder).entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QString& file : files)
        if (isProgramFile(file))
            rows.append(file.chopped(kExtension.size()));
    return rows;
}

QString programFile(const QString& groupFolder, const QString& stem) {
    if (!ProgramName::isSafe(stem))
        return {};
    const QDir dir(groupFolder);
    const QString exact = dir.filePath(stem + kExtension);
    if (QFileInfo(exact).isFile())
        return exact;
    // The row of "Song.SWF" is "Song"; it plays the file under its real name.
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QString& file : files)
        if (isProgramFile(file) && file.chopped(kExtension.size()) == stem)
            return dir.filePath(file);
    return {};
}

} // namespace CustomPrograms
