#pragma once

#include <QDate>
#include <QString>
#include <optional>

class AppFolder;

namespace StartupChecks {

inline const QString kDateFile = QStringLiteral("cons/date.inb");

// True when the folder lies in a temporary folder, typically an archive
// opened without unpacking: every download would be lost on closing. The
// test is the exact, case-sensitive text "Temp".
bool runsFromTemp(const QString& appFolder);

// The first file the program cannot start without, relative to the
// application folder, or nothing when all are there.
std::optional<QString> missingRequiredFile(const AppFolder& app);

// The one fixed form of a date in the date file.
QString dateText(const QDate& date);

// The daily page opens when the date file holds another day; a missing or
// empty date file opens nothing.
bool dailyPageDue(const std::optional<QString>& lastDate, const QDate& today);

} // namespace StartupChecks
