#include "StartupChecks.h"

#include "catalogue/AppFolder.h"
#include "catalogue/CategoryTable.h"
#include "net/ServerAddress.h"

#include <QFileInfo>

namespace StartupChecks {

bool runsFromTemp(const QString& appFolder) {
    return appFolder.contains(QLatin1String("Temp"), Qt::CaseSensitive);
}

std::optional<QString> missingRequiredFile(const AppFolder& app) {
    for (const QString& relative : {ServerAddress::kFile, CategoryTable::byNumber(1).listFile()}) {
        if (!QFileInfo(app.path(relative)).isFile())
            return relative;
    }
    return std::nullopt;
}

QString dateText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

bool dailyPageDue(const std::optional<QString>& lastDate, const QDate& today) {
    return lastDate && *lastDate != dateText(today);
}

} // namespace StartupChecks
