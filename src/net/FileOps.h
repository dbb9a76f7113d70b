#pragma once

#include <QString>

// The two file steps every download ends with.
namespace FileOps {

// Deletes path when it is a file. False, with the reason, when a file was
// there and could not be deleted.
bool deleteIfExists(const QString& path, QString* error = nullptr);

// Moves source over target. The move replaces the target in one step, so
// that a crash never leaves neither file. False, leaving both as they are,
// when the source is missing or the move fails.
bool replaceFile(const QString& source, const QString& target);

} // namespace FileOps
