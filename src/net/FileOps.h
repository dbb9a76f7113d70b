#pragma once

#include <QString>

// The file steps every download takes.
namespace FileOps {

// Creates path empty (or empties it). False, with the reason, when it
// cannot be written.
bool createEmpty(const QString& path, QString* error = nullptr);

// Writes the whole file beside it and renames it into place, so that the
// file is either the old one or the complete new one.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// Adds the execute permission for everyone who may read it.
bool makeExecutable(const QString& path);

// Deletes path when it is a file. False, with the reason, when a file was
// there and could not be deleted.
bool deleteIfExists(const QString& path, QString* error = nullptr);

// Moves source over target. The move replaces the target in one step, so
// that a crash never leaves neither file. False, leaving both as they are,
// when the source is missing or the move fails.
bool replaceFile(const QString& source, const QString& target);

} // namespace FileOps
