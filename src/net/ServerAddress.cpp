#include "ServerAddress.h"

#include "catalogue/AppFolder.h"
#include "catalogue/TextFile.h"

namespace ServerAddress {

QString folderFromField(const QString& field) {
    return field.mid(10, 3) + field.mid(3, 3);
}

std::optional<QString> readServerFolder(const AppFolder& app) {
    const auto field = TextFile::readFirstField(app.path(kFile));
    if (!field)
        return std::nullopt;
    return folderFromField(*field);
}

} // namespace ServerAddress
