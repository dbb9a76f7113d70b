#include "ParentsSettings.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("parents/");

// A value as written by us: "true"/"false", or a whole number in range.
bool readBool(const QSettings& s, const QString& key, bool* out) {
    const QString v = s.value(kGroup + key).toString();
    if (v != QLatin1String("true") && v != QLatin1String("false"))
        return false;
    *out = v == QLatin1String("true");
    return true;
}

bool readInt(const QSettings& s, const QString& key, int min, int max, int* out) {
    bool ok = false;
    const int v = s.value(kGroup + key).toString().toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

} // namespace

ParentsSettings::Read ParentsSettings::read(const QString& path, ParentsSettings* out) {
    *out = ParentsSettings();
    if (!QFileInfo(path).isFile())
        return Read::Missing;
    const QSettings s(path, QSettings::IniFormat);
    ParentsSettings read;
    const bool ok = s.status() == QSettings::NoError && readBool(s, "childLock", &read.childLock) &&
                    readBool(s, "restReminder", &read.restReminder) &&
                    readInt(s, "playMinutes", kMinPlay, kMaxPlay, &read.playMinutes) &&
                    readInt(s, "restMinutes", kMinRest, kMaxRest, &read.restMinutes) &&
                    readBool(s, "resumeLong", &read.resumeLong);
    if (!ok)
        return Read::Damaged;
    *out = read;
    return Read::Ok;
}

bool ParentsSettings::write(const QString& path, QString* error) const {
    // QSettings writes through a temporary file renamed into place.
    QSettings s(path, QSettings::IniFormat);
    s.setAtomicSyncRequired(true);
    s.clear();
    const auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    s.setValue(kGroup + "childLock", b(childLock));
    s.setValue(kGroup + "restReminder", b(restReminder));
    s.setValue(kGroup + "playMinutes", QString::number(playMinutes));
    s.setValue(kGroup + "restMinutes", QString::number(restMinutes));
    s.setValue(kGroup + "resumeLong", b(resumeLong));
    s.sync();
    if (s.status() == QSettings::NoError)
        return true;
    if (error)
        *error = QStringLiteral("无法写入 %1").arg(path);
    return false;
}
