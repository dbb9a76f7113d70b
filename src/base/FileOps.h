#pragma once

#include <QIODevice>
#include <QString>

class QFile;

// The file rules every room follows: ordinary files only, whole-file
// writes that are atomic, and renames that reach the disk.
namespace FileOps {

// Whether path is an ordinary file itself, not a link to one, a folder, a
// device or a pipe.
bool isPlainFile(const QString& path);

// Opens file (its name set) as an ordinary file of its folder, creating it
// when missing. A symbolic link, a device or a pipe in its place is
// removed, never followed; a folder in its place is refused. False, with
// the reason, when it cannot be opened.
bool openPlain(QFile& file, QIODevice::OpenMode mode, QString* error = nullptr);

// Creates path empty (or empties it), as an ordinary file (see openPlain).
// False, with the reason, when it cannot be written.
bool createEmpty(const QString& path, QString* error = nullptr);

// Writes the whole file beside it and renames it into place, so that the
// file is either the old one or the complete new one. False, with the
// reason, when it cannot be written.
bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Adds the execute permission for everyone who may read it.
bool makeExecutable(const QString& path);

// Deletes whatever non-folder entry path names (a link itself, not what it
// points to). False, with the reason, when one was there and could not be
// deleted.
bool deleteIfExists(const QString& path, QString* error = nullptr);

// Moves the ordinary file source over target. The move replaces the target
// in one step, so that a crash never leaves neither file. False, leaving
// both as they are, when the source is missing or not an ordinary file, or
// the move fails.
bool replaceFile(const QString& source, const QString& target);

} // namespace FileOps
