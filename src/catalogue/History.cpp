#include "History.h"

#include "TextFile.h"

namespace History {

bool record(const QString& path, const QString& name) {
    const TextFile::Lines current = TextFile::readLines(path);
    if (!current.ok)
        return false;
    QStringList lines{name};
    lines += current.lines;
    if (lines.size() > kMaxEntries)
        lines.resize(kMaxEntries);
    return TextFile::rewrite(path, lines);
}

} // namespace History
