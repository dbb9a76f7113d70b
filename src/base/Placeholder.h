#pragma once

#include <QString>

// While a program downloads, its cache file stands empty under its name,
// so that nothing else takes the name; the bytes go to a part beside it.
// An empty cache file seen at any other time is such a placeholder left by
// a download that never ended, and goes.
namespace Placeholder {

// Makes the empty file at path (see FileOps::createEmpty). False, with the
// reason, when it cannot be written.
bool make(const QString& path, QString* error = nullptr);

// Whether path holds a program: a file with bytes in it. An empty one left
// behind is deleted on the way.
bool holdsProgram(const QString& path);

// Takes the placeholder away once its download has ended without a program.
void drop(const QString& path);

} // namespace Placeholder
