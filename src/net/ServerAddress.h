#pragma once

#include <QString>
#include <optional>

class AppFolder;

// The server folder name: the first path segment of every program URL,
// derived from the first field of cons/guihu.inb.
namespace ServerAddress {

inline const QString kFile = QStringLiteral("cons/guihu.inb");

// Characters 11-13 of the field, then characters 4-6 (counted from 1); a
// short field gives short or empty pieces.
QString folderFromField(const QString& field);

// Reads cons/guihu.inb; nothing when it is missing or holds no field, so
// that the caller keeps the name it had.
std::optional<QString> readServerFolder(const AppFolder& app);

} // namespace ServerAddress
