#include "support/FaultServer.h"
#include "support/FormHarness.h"

#include "net/SelfUpdate.h"
#include "net/UpdateOffer.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kInstalled = QStringLiteral("cons/update.inb");
const QString kOffered = QStringLiteral("cons/update2.inb");
const QString kUpdater = QStringLiteral("cons/kibugx.exe");

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

} // namespace

// The real launcher, or one that cannot start anything.
struct TestLauncher : UpdaterLauncher {
    bool fails = false;
    ProcessUpdaterLauncher real;
    bool start(const QString& program) override { return !fails && real.start(program); }
};

// The update check against a local server, with a stand-in updater script
// that leaves a mark when it runs.
class TestSelfUpdate : public QObject {
    Q_OBJECT

    struct Setup {
        FaultServer server;
        std::unique_ptr<QNetworkAccessManager> network = NetworkSetup::makeAccessManager();
        TempAppFolder folder;
        TestLauncher launcher;
        int exits = 0;
        SelfUpdate update;
        QString marker;
        QByteArray updater;

        explicit Setup(const QByteArray& installed)
            : update(network.get(), folder.app(), startServer(server), launcher,
                     [this] { ++exits; }) {
            update.setRequestLimit(2000);
            folder.writeBytes(kInstalled, installed);
            marker = folder.path(QStringLiteral("updater-ran"));
            updater = "#!/bin/sh\necho ran > '" + marker.toUtf8() + "'\n";
        }
        static QString startServer(FaultServer& s) {
            s.listen();
            return s.baseUrl();
        }
        // Runs the check to its end: an exit or the silent stop.
        void run() {
            QSignalSpy stopped(&update, &SelfUpdate::finished);
            update.CheckForUpdate();
            QTRY_VERIFY_WITH_TIMEOUT(exits > 0 || stopped.count() > 0, 10000);
        }
        QStringList paths() const {
            QStringList result;
            for (const auto& r : server.requests())
                result.append(r.decodedPath);
            return result;
        }
        bool updaterRan(int waitMs = 3000) const {
            // The updater runs detached; give it a moment.
            QElapsedTimer t;
            t.start();
            while (!QFile::exists(marker) && t.elapsed() < waitMs)
                QTest::qWait(20);
            return QFile::exists(marker);
        }
    };

private slots:
    void equalMarksFetchNoUpdater() {
        Setup s("1.3.0\r\n");
        s.server.serveFile(QStringLiteral("/cons/update.txt"), "1.3.0,anything\r\n");
        s.folder.writeBytes(kUpdater, "left from last time");
        s.run();
        QCOMPARE(s.paths(), QStringList{QStringLiteral("/cons/update.txt")});
        QVERIFY(!QFile::exists(s.folder.path(kOffered)));
        QVERIFY(!QFile::exists(s.folder.path(kUpdater)));
        QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
        QCOMPARE(s.exits, 0);
    }

    void aDifferentMarkWithAMatchingDigestUpdates_data() {
        QTest::addColumn<QByteArray>("installed");
        QTest::addColumn<QByteArray>("offeredMark");
        QTest::newRow("letter case only") << QByteArray("v1.3.0\r\n") << QByteArray("V1.3.0");
        QTest::newRow("older") << QByteArray("1.3.0\r\n") << QByteArray("1.2.9");
        QTest::newRow("quoted") << QByteArray("1.3.0\r\n") << QByteArray("\"1.4, beta\"");
    }
    void aDifferentMarkWithAMatchingDigestUpdates() {
        QFETCH(QByteArray, installed);
        QFETCH(QByteArray, offeredMark);
        Setup s(installed);
        const QByteArray offered =
            offeredMark + ", " + sha256(s.updater).toUpper().toLatin1() + "\r\n";
        s.server.serveFile(QStringLiteral("/cons/update.txt"), offered);
        s.server.serveFile(QStringLiteral("/cons/kibugx.exe"), s.updater);
        s.run();
        QCOMPARE(s.exits, 1);
        QVERIFY(s.updaterRan());
        QCOMPARE(s.folder.readBytes(kInstalled), offered);
        QVERIFY(!QFile::exists(s.folder.path(kOffered)));
        QVERIFY(!QFile::exists(s.folder.path(QStringLiteral("cons/kibugxtemp.exe"))));
    }

    // The offered mark is recorded before the updater starts; when it
    // cannot start, the installed mark comes back as it was.
    void anUpdaterThatCannotStartLeavesTheMark() {
        Setup s("1.3.0\r\n");
        s.launcher.fails = true;
        s.server.serveFile(QStringLiteral("/cons/update.txt"),
                           "1.4.0," + sha256(s.updater).toLatin1() + "\r\n");
        s.server.serveFile(QStringLiteral("/cons/kibugx.exe"), s.updater);
        s.run();
        QCOMPARE(s.exits, 0);
        QVERIFY(!s.updaterRan(300));
        QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
    }

    void anUnverifiedUpdaterNeverRuns_data() {
        QTest::addColumn<QByteArray>("offered");
        QTest::addColumn<int>("requests");
        QTest::newRow("wrong digest") << QByteArray("2.0," + QByteArray(64, 'a') + "\r\n") << 2;
        QTest::newRow("no digest over http") << QByteArray("2.0\r\n") << 2;
        QTest::newRow("digest too short") << QByteArray("2.0,abcdef\r\n") << 2;
        // A blank offer is a failed read, not a new version: were it compared,
        // update.inb would become empty and no later check could ever match.
        QTest::newRow("empty offer") << QByteArray() << 1;
        QTest::newRow("blank offer") << QByteArray("\r\n  \r\n\t\r\n") << 1;
    }
    void anUnverifiedUpdaterNeverRuns() {
        QFETCH(QByteArray, offered);
        QFETCH(int, requests);
        Setup s("1.3.0\r\n");
        s.server.serveFile(QStringLiteral("/cons/update.txt"), offered);
        s.server.serveFile(QStringLiteral("/cons/kibugx.exe"), s.updater);
        s.run();
        QCOMPARE(s.exits, 0);
        QVERIFY(!s.updaterRan(300));
        QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
        QVERIFY(!QFile::exists(s.folder.path(kUpdater)));
        QCOMPARE(s.server.requests().size(), requests);
    }

    void aMissingUpdaterStartsNothing() {
        Setup s("1.3.0\r\n");
        s.server.serveFile(QStringLiteral("/cons/update.txt"), "2.0\r\n");
        s.run();
        QCOMPARE(s.paths(), (QStringList{QStringLiteral("/cons/update.txt"),
                                         QStringLiteral("/cons/kibugx.exe")}));
        QCOMPARE(s.exits, 0);
        QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
        // Compared again next time.
        QCOMPARE(s.folder.readBytes(kOffered), QByteArray("2.0\r\n"));
    }

    void aFailedVersionDownloadChangesNothing() {
        Setup s("1.3.0\r\n");
        s.server.enqueue(FaultServer::status(500));
        s.run();
        QCOMPARE(s.exits, 0);
        QCOMPARE(s.paths(), QStringList{QStringLiteral("/cons/update.txt")});
        QVERIFY(!QFile::exists(s.folder.path(kOffered)));
        QVERIFY(!QFile::exists(s.folder.path(QStringLiteral("cons/updatetemp.inb"))));
        QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
    }

    void withoutAnInstalledMarkTheCheckStops() {
        Setup s("1.3.0\r\n");
        QFile::remove(s.folder.path(kInstalled));
        s.server.serveFile(QStringLiteral("/cons/update.txt"), "2.0\r\n");
        s.run();
        QCOMPARE(s.paths(), QStringList{QStringLiteral("/cons/update.txt")});
        QCOMPARE(s.exits, 0);
    }

    // Installed from a package: never an updater; a new version told once.
    void aPackagedProgramOnlyTells() {
        QStringList told;
        for (int run = 0; run < 2; ++run) {
            Setup s("1.3.0\r\n");
            if (run == 1)
                s.folder.writeBytes(QStringLiteral("cons/update-seen.inb"), "2.0");
            s.update.setPackaged([&](const QString& mark) { told.append(mark); });
            s.server.serveFile(QStringLiteral("/cons/update.txt"), "2.0\r\n");
            s.server.serveFile(QStringLiteral("/cons/kibugx.exe"), s.updater);
            s.run();
            QCOMPARE(s.paths(), QStringList{QStringLiteral("/cons/update.txt")});
            QCOMPARE(s.exits, 0);
            QCOMPARE(s.folder.readBytes(kInstalled), QByteArray("1.3.0\r\n"));
        }
        QCOMPARE(told, QStringList{QStringLiteral("2.0")});
    }

    void onlyOnceARun() {
        Setup s("1.3.0\r\n");
        s.server.serveFile(QStringLiteral("/cons/update.txt"), "1.3.0\r\n");
        s.run();
        s.update.CheckForUpdate();
        QTest::qWait(200);
        QCOMPARE(s.server.requests().size(), 1);
    }

    void theDigestField() {
        const QString d = QString(64, u'A');
        QCOMPARE(UpdateOffer::digest(QStringLiteral("1.3,") + d), d.toLower());
        QCOMPARE(UpdateOffer::digest(QStringLiteral("\r\n  \"1,3\" , \"") + d + u'"'), d.toLower());
        QCOMPARE(UpdateOffer::digest(QStringLiteral("1.3")), QString());
        QCOMPARE(UpdateOffer::digest(QStringLiteral("1.3,") + d + u'0'), QString());
        QCOMPARE(UpdateOffer::digest(QStringLiteral("1.3,x") + d), QString());
        QVERIFY(SelfUpdate::mayStart(QStringLiteral("https://dl.example/"), QString(), "x"));
        QVERIFY(!SelfUpdate::mayStart(QStringLiteral("http://dl.example/"), QString(), "x"));
        QVERIFY(SelfUpdate::mayStart(QStringLiteral("http://dl.example/"), sha256("x"), "x"));
        // A digest that does not match wins over HTTPS too.
        QVERIFY(!SelfUpdate::mayStart(QStringLiteral("https://dl.example/"), sha256("y"), "x"));
    }

    void theWindowStartsItOnTheSixHundredthTickAndEndsWithoutUnloading() {
        FaultServer server;
        QVERIFY(server.listen());
        const auto network = NetworkSetup::makeAccessManager();
        FormHarness h;
        h.folder.writeBytes(kInstalled, "1.3.0\r\n");
        ProcessUpdaterLauncher launcher;
        int exits = 0;
        SelfUpdate update(network.get(), h.folder.app(), server.baseUrl(), launcher,
                          [&] { ++exits; });
        const QByteArray updater = "#!/bin/sh\nexit 0\n";
        server.serveFile(QStringLiteral("/cons/update.txt"), "1.4.0," + sha256(updater).toLatin1());
        server.serveFile(QStringLiteral("/cons/kibugx.exe"), updater);
        Form1* f = h.load();
        // The harness counts the calls; here they reach the real check.
        int calls = 0;
        connect(&server, &FaultServer::requestReceived, &server, [&] { ++calls; });
        for (int i = 0; i < 599; ++i)
            f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 0);
        f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 1);
        update.CheckForUpdate(); // what the program's check does on that tick
        QTRY_COMPARE(exits, 1);
        for (int i = 0; i < 10; ++i)
            f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 1);
        QCOMPARE(calls, 2);
        QCOMPARE(h.ended, 0);
        QVERIFY(!QFile::exists(h.folder.path(QStringLiteral("cons/date.inb"))));
    }
};

QTEST_MAIN(TestSelfUpdate)
#include "tst_selfupdate.moc"
