#pragma once

#include "AppFolder.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Turns a list file into main-list rows: mark + space + program name, where
// the mark is "*" for a program that is not in the cache and a space for one
// that plays offline.
namespace ListLoader {

struct Result {
    bool ok = false;
    QStringList rows;
    QString error; // when !ok: why the file could not be read
};

// The row for one program name. A zero-length cache file (left by an
// interrupted download) is deleted and the program counts as missing.
QString markedRow(const QString& name, const QString& cacheFolder);

// Reads the whole list file, then marks every row. A file that cannot be
// read gives no rows at all, never part of them.
Result load(const QString& listFilePath, const QString& cacheFolder);

// Every program name of the sixteen list files (those that can be read).
QSet<QString> programsInLists(const AppFolder& app);

} // namespace ListLoader
