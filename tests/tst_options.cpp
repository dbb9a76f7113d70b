#include "app/AppOptions.h"
#include "app/Installation.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using Action = AppOptions::Parsed::Action;

// Writes bytes to path, making its folder; false when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    return QDir().mkpath(QFileInfo(path).path()) && out.open(QIODevice::WriteOnly) &&
           out.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<unreadable>");
}

class TestAppOptions : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath("other"));
        QVERIFY(QDir(m_dir.path()).mkpath("cons")); // a build's application folder
        QFile file(m_dir.filePath("plain-file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void runs_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("appDir"); // relative to the temporary folder
        QTest::addColumn<QString>("download");
        QTest::addColumn<QString>("web");
        const QString dl = kDownload, web = kWeb;
        QTest::newRow("defaults") << QStringList{} << "" << dl << web;
        QTest::newRow("app dir") << QStringList{"--app-dir", m_dir.filePath("other")} << "other"
                                 << dl << web;
        QTest::newRow("download base")
            << QStringList{"--download-base", "http://mirror.example.org/fla/"} << ""
            << "http://mirror.example.org/fla/" << web;
        QTest::newRow("web base with port")
            << QStringList{"--web-base", "https://h.example:8443/kibu/"} << "" << dl
            << "https://h.example:8443/kibu/";
        QTest::newRow("full resolution") << QStringList{"--full-resolution"} << "" << dl << web;
    }
    void runs() {
        QFETCH(QStringList, args);
        QFETCH(QString, appDir);
        QFETCH(QString, download);
        QFETCH(QString, web);
        const AppOptions::Parsed parsed =
            AppOptions::parse(QStringList{"kibu-player"} + args, defaults());
        QCOMPARE(parsed.action, Action::Run);
        const QString root = appDir.isEmpty() ? m_dir.path() : m_dir.filePath(appDir);
        QCOMPARE(parsed.settings.app.root(), QDir::cleanPath(QDir(root).absolutePath()));
        QCOMPARE(parsed.settings.downloadBase, download);
        QCOMPARE(parsed.settings.webBase, web);
        QCOMPARE(parsed.fullResolution, args.contains("--full-resolution"));
    }

    void refuses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("app dir missing") << QStringList{"--app-dir", m_dir.filePath("gone")} << "";
        QTest::newRow("app dir is a file")
            << QStringList{"--app-dir", m_dir.filePath("plain-file")} << "";
        QTest::newRow("app dir without value") << QStringList{"--app-dir"} << "";
        QTest::newRow("no trailing slash")
            << QStringList{"--download-base", "http://x"} << "--download-base";
        QTest::newRow("ftp") << QStringList{"--download-base", "ftp://h/"} << "--download-base";
        QTest::newRow("not a url") << QStringList{"--web-base", "not a url"} << "--web-base";
        QTest::newRow("no host") << QStringList{"--web-base", "https:///"} << "--web-base";
        QTest::newRow("relative") << QStringList{"--web-base", "/kibu/"} << "--web-base";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "";
        QTest::newRow("stray argument") << QStringList{"extra"} << "";
    }
    void refuses() {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        const AppOptions::Parsed parsed =
            AppOptions::parse(QStringList{"kibu-player"} + args, defaults());
        QCOMPARE(parsed.action, Action::Fail);
        QVERIFY(!parsed.text.isEmpty());
        if (!mentions.isEmpty())
            QVERIFY2(parsed.text.contains(mentions), qPrintable(parsed.text));
    }

    void showsText_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("--help") << "--help"
                                << QStringList{"--app-dir", "--download-base", "--web-base"};
        QTest::newRow("--version") << "--version" << QStringList{"9.8.7"};
    }
    void showsText() {
        QFETCH(QString, option);
        QFETCH(QStringList, mentions);
        const AppOptions::Parsed parsed = AppOptions::parse({"kibu-player", option}, defaults());
        QCOMPARE(parsed.action, Action::ShowText);
        for (const QString& word : mentions)
            QVERIFY2(parsed.text.contains(word), qPrintable(parsed.text));
    }

    // Installed, the executable's folder is the system's: each user gets a
    // folder of their own. --app-dir always wins.
    void whereTheApplicationFolderIs_data() {
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("appFolder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a build") << false << true << true << "exe";
        QTest::newRow("installed, read-only") << false << false << true << "user";
        QTest::newRow("installed, no lists beside it") << false << true << false << "user";
        QTest::newRow("--app-dir over a build") << true << true << true << "option";
        QTest::newRow("--app-dir when installed") << true << false << false << "option";
    }
    void whereTheApplicationFolderIs() {
        QFETCH(bool, option);
        QFETCH(bool, writable);
        QFETCH(bool, appFolder);
        QFETCH(QString, expected);
        const auto choice =
            Installation::choose(option ? "option" : "", "exe", writable, appFolder, "user");
        QCOMPARE(choice.appDir, expected);
        QCOMPARE(choice.installed, expected == "user");
    }

    // Every start brings the user's folder up to the defaults: made when
    // missing; after an upgrade, a shipped file the user never changed takes
    // the new default, a changed one stays, the user's own files are never
    // touched, and the version mark follows the package.
    void anUpgradeBringsTheDefaults_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("users");    // what the user's copy became; empty: as shipped
        QTest::addColumn<QByteArray>("expected"); // after the upgrade
        QTest::newRow("a list never changed") << "cons/b01.inb" << QByteArray() << QByteArray("v2");
        QTest::newRow("a list the user changed")
            << "cons/b02.inb" << QByteArray("mine") << QByteArray("mine");
        QTest::newRow("the favourites") << "cons/shoucang.inb" << QByteArray() << QByteArray("v1");
        QTest::newRow("the version mark")
            << "cons/update.inb" << QByteArray("1.3.9") << QByteArray("v2");
        QTest::newRow("a file deleted") << "res/showoff.htm" << QByteArray("-") << QByteArray("v2");
        QTest::newRow("from before the record: changed")
            << "cons/b03.inb" << QByteArray("mine, no record") << QByteArray("mine, no record");
    }
    void anUpgradeBringsTheDefaults() {
        QFETCH(QString, file);
        QFETCH(QByteArray, users);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString defaults = dir.filePath("defaults"), user = dir.filePath("user");
        QString error;
        QVERIFY(writeFile(defaults + '/' + file, "v1"));
        QVERIFY2(Installation::provision(defaults, user, &error), qPrintable(error));
        QVERIFY(QFileInfo(user + "/res/fla").isDir());
        QVERIFY(QFileInfo(user + QStringLiteral("/自定义节目")).isDir());
        if (users == "-") {
            QVERIFY(QFile::remove(user + '/' + file));
        } else if (!users.isEmpty()) {
            QVERIFY(writeFile(user + '/' + file, users));
        }
        if (QByteArray(QTest::currentDataTag()).contains("before the record"))
            QVERIFY(QFile::remove(user + '/' + Installation::kShipped));
        QVERIFY(writeFile(defaults + '/' + file, "v2"));
        QVERIFY2(Installation::provision(defaults, user, &error), qPrintable(error));
        QCOMPARE(readFile(user + '/' + file), expected);
    }

    // A folder made by an earlier version, which kept no record of what it
    // shipped: a file as some version shipped it takes the new default; a
    // file no version shipped is the user's.
    void aFolderFromEachEarlierVersion_data() {
        QTest::addColumn<QByteArray>("held");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("from v1, untouched") << QByteArray("v1") << QByteArray("v3");
        QTest::newRow("from v2, untouched") << QByteArray("v2") << QByteArray("v3");
        QTest::newRow("from v1, changed") << QByteArray("v1 mine") << QByteArray("v1 mine");
        QTest::newRow("from v2, changed") << QByteArray("v2 mine") << QByteArray("v2 mine");
    }
    void aFolderFromEachEarlierVersion() {
        QFETCH(QByteArray, held);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString defaults = dir.filePath("defaults"), user = dir.filePath("user");
        QByteArray history;
        for (const QByteArray version : {"v1", "v2", "v3"})
            history += QCryptographicHash::hash(version, QCryptographicHash::Sha256).toHex() +
                       "  cons/b01.inb\n";
        QVERIFY(writeFile(defaults + "/cons/b01.inb", "v3"));
        QVERIFY(writeFile(defaults + '/' + Installation::kEverShipped, history));
        QVERIFY(writeFile(user + "/cons/b01.inb", held));
        QString error;
        QVERIFY2(Installation::provision(defaults, user, &error), qPrintable(error));
        QCOMPARE(readFile(user + "/cons/b01.inb"), expected);
        QVERIFY(!QFileInfo::exists(user + '/' + Installation::kEverShipped));
    }

private:
    static constexpr const char* kDownload = "https://dl.example.com/kibu/";
    static constexpr const char* kWeb = "https://www.example.com/";

    AppOptions::Defaults defaults() const {
        return {m_dir.path(), kDownload, kWeb, m_dir.filePath("user")};
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAppOptions)
#include "tst_options.moc"
