#include "SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kShown = "shown\n";

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent), m_name(serverName(folder)), m_lock(QDir(folder).filePath(kLockFile)) {
    // The player holds the lock as long as it runs: only a holder that has
    // gone (or whose number another program now has) makes it stale, never
    // its age.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            answer(socket);
    });
    // A player on its way out answers no more; a later start waits for its
    // lock instead.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &m_server,
                &QLocalServer::close);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& folder) {
    const QFileInfo info(folder);
    const QString path =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
#ifdef Q_OS_UNIX
    const QByteArray user = QByteArray::number(::getuid());
#else
    const QByteArray user = qgetenv("USERNAME");
#endif
    const QByteArray key = user + '\n' + path.toUtf8();
    return QStringLiteral("kibu-player-") +
           QString::fromLatin1(
               QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32));
}

SingleInstance::Role SingleInstance::claim(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_lock.tryLock(0)) {
            listen();
            return Role::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            return Role::First;
        // Held by a running player, by one still starting (it answers once
        // its window is made), or by one on its way out (its lock goes when
        // it has gone).
        if (askToRaise(int(deadline.remainingTime())))
            return Role::Raised;
        if (deadline.hasExpired())
            return Role::Unanswered;
        QThread::msleep(50);
    }
}

void SingleInstance::listen() {
    // With the lock held, a server of that name is left over from a crash.
    QLocalServer::removeServer(m_name);
    m_server.listen(m_name);
}

void SingleInstance::answer(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kRaise.size())
                socket->abort();
            return;
        }
        if (socket->readLine(kRaise.size() + 1) == kRaise) {
            emit raiseRequested();
            socket->write(kShown);
        }
        socket->disconnectFromServer();
    });
}

bool SingleInstance::askToRaise(int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(kRaise);
    socket.flush();
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine() == kShown;
}
