#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// Reads the classes an ABC file (ActionScript 3 bytecode) defines: names,
// bases and flags, which is what deciding on a program's document class
// needs. Everything else is only stepped over.
namespace Abc {

struct ClassInfo {
    QString name;      // qualified as SymbolClass names it: "pkg.Name", or "Name"
    QString superName; // the same form; empty when it cannot be told
    std::uint8_t flags = 0;
};

// Nothing when the bytes are not a complete, readable ABC file (up to its
// classes).
std::optional<QList<ClassInfo>> readClasses(const QByteArray& abc);

} // namespace Abc
