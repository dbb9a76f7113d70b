#pragma once

#include "AppFolder.h"

#include <QString>
#include <QStringList>

// The user's own lists and groups: adding to the favourites, deleting one
// entry from or clearing the favourites or the history, and the programs of
// a custom group. Each action says what to tell the user; an empty text
// means nothing.
class UserLists {
public:
    static inline const QString kFavourites = QStringLiteral("cons/shoucang.inb");
    static inline const QString kHistory = QStringLiteral("cons/lishi.inb");

    explicit UserLists(AppFolder app) : m_app(std::move(app)) {}

    // "加入收藏" for the selected row of the list shown under listKey (no
    // row: an empty rowText and selected false). Appends only a program
    // that is in the cache; the message for every outcome.
    QString addFavourite(const QString& listKey, bool selected, const QString& rowText) const;
    // Rewrites the list file from the rows shown, all but the one at row.
    QString deleteEntry(const QString& file, const QStringList& rowTexts, int row) const;
    // Leaves the list file empty.
    QString clear(const QString& file) const;

    // The groups of the custom-programs folder, in listing order.
    QStringList customGroups() const;
    // The rows of a group; none for a name that would leave the folder.
    QStringList customPrograms(const QString& group) const;
    // The file a custom row plays; empty when there is none or a name would
    // leave the folder (the group's name can be typed).
    QString customProgramFile(const QString& group, const QString& row) const;
    // Shown when a chosen group holds no program.
    static QString emptyGroupHint();

private:
    QString groupFolder(const QString& group) const;

    AppFolder m_app;
};
