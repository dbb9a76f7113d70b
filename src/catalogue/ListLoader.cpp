#include "ListLoader.h"

#include "CategoryTable.h"
#include "ProgramName.h"
#include "TextFile.h"
#include "base/Placeholder.h"

namespace ListLoader {

QString markedRow(const QString& name, const QString& cacheFolder) {
    const auto path = ProgramName::swfPath(cacheFolder, name);
    return path && Placeholder::holdsProgram(*path) ? ProgramName::presentRow(name)
                                                    : ProgramName::missingRow(name);
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

QSet<QString> programsInLists(const AppFolder& app) {
    QStringList files{QStringLiteral("cons/shoucang.inb"), QStringLiteral("cons/lishi.inb")};
    for (const Category& c : CategoryTable::all())
        files.append(c.listFile());
    QSet<QString> names;
    for (const QString& file : files)
        for (const QString& name : TextFile::readLines(app.path(file)).lines)
            names.insert(name);
    return names;
}

} // namespace ListLoader
