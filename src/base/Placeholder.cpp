#include "Placeholder.h"

#include "FileOps.h"

#include <QFileInfo>

namespace Placeholder {

bool make(const QString& path, QString* error) {
    return FileOps::createEmpty(path, error);
}

bool holdsProgram(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (info.size() > 0)
        return true;
    FileOps::deleteIfExists(path);
    return false;
}

void drop(const QString& path) {
    FileOps::deleteIfExists(path);
}

} // namespace Placeholder
