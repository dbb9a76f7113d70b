// One player per application folder: a lock a player left behind.

#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestInstance : public QObject {
    Q_OBJECT

private slots:
    // The lock file as a player writes it an hour ago, but with the number
    // of `holder`: a process that has ended, one of another program, or a
    // player still running (this one, which does not answer).
    void aLeftLock_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<SingleInstance::Role>("role");
        QTest::newRow("ended") << "ended" << SingleInstance::Role::First;
        QTest::newRow("its number now another program's") << "other" << SingleInstance::Role::First;
        QTest::newRow("a running player") << "self" << SingleInstance::Role::Unanswered;
    }
    void aLeftLock() {
        QFETCH(QString, holder);
        QFETCH(SingleInstance::Role, role);
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(SingleInstance::kLockFile);
        QByteArray written;
        {
            QLockFile lock(path);
            QVERIFY(lock.tryLock());
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            written = file.readAll();
        }
        QProcess process;
        process.start("sleep", {holder == "other" ? "60" : "0"});
        QVERIFY(process.waitForStarted());
        const qint64 pid =
            holder == "self" ? QCoreApplication::applicationPid() : process.processId();
        if (holder == "ended")
            QVERIFY(process.waitForFinished());
        written.replace(0, written.indexOf('\n'), QByteArray::number(pid));
        QFile left(path);
        QVERIFY(left.open(QIODevice::WriteOnly) && left.write(written) == written.size() &&
                left.flush());
        QVERIFY(left.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
        left.close();

        SingleInstance instance(folder.path());
        QCOMPARE(instance.claim(300), role);
        qint64 lockedBy = 0;
        QVERIFY(QLockFile(path).getLockInfo(&lockedBy, nullptr, nullptr));
        QCOMPARE(lockedBy,
                 role == SingleInstance::Role::First ? QCoreApplication::applicationPid() : pid);
        process.kill();
        process.waitForFinished();
    }
};

QTEST_MAIN(TestInstance)
#include "tst_instance.moc"
