#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

// One player per application folder: the part files, resume.json and
// rest.ini in it have one writer. The first start holds a lock file in the
// folder and listens for later starts; a later start asks it to come to the
// front, and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    static inline const QString kLockFile = QStringLiteral("kibu-player.lock");

    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role {
        First,     // the lock is ours (a crashed player's is taken over)
        Raised,    // the player running on the folder has come to the front
        Unanswered // a running player holds the folder and does not answer
    };
    // Decides within waitMs or so. A folder the lock cannot be made in (a
    // read-only one) is run unguarded, as First.
    Role claim(int waitMs = 1500);

    // The same for every start of one user on one folder, whatever path
    // leads to it.
    static QString serverName(const QString& folder);

signals:
    // A later start asks for the window.
    void raiseRequested();

private:
    void listen();
    void answer(QLocalSocket* socket);
    bool askToRaise(int waitMs);

    QString m_name;
    QLockFile m_lock;
    QLocalServer m_server;
};
