#pragma once

#include <QString>

class QUrl;

// What the player page may load while a program plays: the engine's own
// files, the files in the program's folder (and below it), and the player's
// rewritten copy of the program. Programs come from the web and from folders
// parents fill, so nothing else is read: no other local file, no network
// address, no folder listing, no pipe or device. Links are followed to where they really lead,
// so a link in the program's folder that points elsewhere is refused too.
class GuestAccess {
public:
    explicit GuestAccess(const QString& engineFolder);

    // The program now playing; none: only the engine's files.
    void setProgram(const QString& programFolder, const QString& rewrittenCopy = {});
    bool allows(const QUrl& url) const;

private:
    QString m_engine;
    QString m_folder;
    QString m_copy;
};
