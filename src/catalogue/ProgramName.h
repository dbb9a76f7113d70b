#pragma once

#include <QString>
#include <optional>

// A program name is both the text shown in the list and the stem of its file.
// Names come from list files, the server and the user, so every file name is
// built through here: a name that could leave its folder gets no path.
namespace ProgramName {

// False for a name holding a path separator, a drive colon or a NUL, and for
// "." and "..": joined with a folder, such a name would point elsewhere.
bool isSafe(const QString& name);

// folder + name + ".swf" (folder ends with its separator), or nothing for an
// unsafe name.
std::optional<QString> swfPath(const QString& folder, const QString& name);

// A main-list row is an availability mark, a space and the program name:
// "* " for a program that is not in the cache, two spaces for one that is.
// Every reader and writer of rows goes through these.
QString missingRow(const QString& name);
QString presentRow(const QString& name);
bool isMissingRow(const QString& rowText);
bool isPresentRow(const QString& rowText);

// The program name of a main-list row: the row text without its mark and
// the space after it.
QString fromRow(const QString& rowText);

} // namespace ProgramName
