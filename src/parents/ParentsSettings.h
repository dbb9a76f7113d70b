#pragma once

#include <QString>

// What a parent has turned on, kept in cons/parents.ini (Qt's INI format,
// UTF-8, written atomically).
struct ParentsSettings {
    static inline const QString kFile = QStringLiteral("cons/parents.ini");
    static constexpr int kMinPlay = 10, kMaxPlay = 120; // minutes
    static constexpr int kMinRest = 1, kMaxRest = 30;

    bool childLock = false;
    bool restReminder = false;
    int playMinutes = 30;
    int restMinutes = 5;
    bool resumeLong = false;

    enum class Read { Missing, Ok, Damaged };
    // Missing and Damaged leave every setting off.
    static Read read(const QString& path, ParentsSettings* out);
    bool write(const QString& path, QString* error = nullptr) const;

    bool operator==(const ParentsSettings& o) const {
        return childLock == o.childLock && restReminder == o.restReminder &&
               playMinutes == o.playMinutes && restMinutes == o.restMinutes &&
               resumeLong == o.resumeLong;
    }
};
