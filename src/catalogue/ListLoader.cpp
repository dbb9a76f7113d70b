#include "ListLoader.h"

#include "ProgramName.h"
#include "TextFile.h"

#include <QFile>
#include <QFileInfo>

namespace ListLoader {

QString markedRow(const QString& name, const QString& cacheFolder) {
    const auto path = ProgramName::swfPath(cacheFolder, name);
    bool present = false;
    if (path) {
        const QFileInfo info(*path);
        if (info.isFile()) {
            if (info.size() == 0)
                QFile::remove(*path);
            else
                present = true;
        }
    }
    return (present ? QStringLiteral("  ") : QStringLiteral("* ")) + name;
}

Result load(const QString& listFilePath, const QString& cacheFolder) {
    Result result;
    const TextFile::Lines file = TextFile::readLines(listFilePath);
    if (!file.ok) {
        result.error = file.error;
        return result;
    }
    result.rows.reserve(file.lines.size());
    for (const QString& name : file.lines)
        result.rows.append(markedRow(name, cacheFolder));
    result.ok = true;
    return result;
}

} // namespace ListLoader
