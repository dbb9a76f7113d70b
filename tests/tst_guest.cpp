// What the player page may load while a program plays.

#include "flash/GuestAccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestGuest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString make(const QString& relative) {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qWarning() << "cannot write" << path;
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (const char* name : {"ruffle/ruffle.js", "fla/a.swf", "fla/sub/b.swf", "fla2/c.swf",
                                 "home/secret.txt", "copies/7/a.swf", "copies/7/other.swf"})
            make(QString::fromLatin1(name));
        QVERIFY(QFile::link(m_dir.filePath("home/secret.txt"), m_dir.filePath("fla/link.txt")));
        QVERIFY(QFile::link(m_dir.filePath("home"), m_dir.filePath("fla/home")));
        QVERIFY(QFile::link("/dev/zero", m_dir.filePath("fla/zero.swf")));
    }

    void allows_data() {
        QTest::addColumn<QString>("url");  // "@/" stands for the folder of the test
        QTest::addColumn<bool>("playing"); // with a program from fla/
        QTest::addColumn<bool>("allowed");
        const auto row = [](const char* name, const char* url, bool playing, bool allowed) {
            QTest::newRow(name) << QString::fromUtf8(url) << playing << allowed;
        };
        row("the engine's files", "@/ruffle/ruffle.js", false, true);
        row("the program", "@/fla/a.swf", true, true);
        row("beside it, further down", "@/fla/sub/b.swf", true, true);
        row("its folder's listing", "@/fla/", true, false);
        row("a folder whose name begins the same", "@/fla2/c.swf", true, false);
        row("up and out", "@/fla/../home/secret.txt", true, false);
        row("a link that leads out", "@/fla/link.txt", true, false);
        row("a linked folder that leads out", "@/fla/home/secret.txt", true, false);
        row("elsewhere", "@/home/secret.txt", true, false);
        row("missing", "@/fla/missing.swf", true, false);
        row("a device, by a link", "@/fla/zero.swf", true, false);
        row("a program's file, with none playing", "@/fla/a.swf", false, false);
        row("its rewritten copy", "@/copies/7/a.swf", true, true);
        row("beside the copy", "@/copies/7/other.swf", true, false);
        row("a file on another host", "file://server/share/a.swf", true, false);
        row("http", "http://127.0.0.1:8080/a.swf", true, false);
        row("https", "https://example.com/", true, false);
        row("a web socket", "ws://127.0.0.1:8080/", true, false);
        row("javascript", "javascript:alert(1)", true, false);
        row("the page's own data", "data:text/plain,hello", true, true);
        row("the page's own blobs", "blob:file:///0a1b2c", true, true);
    }
    void allows() {
        QFETCH(QString, url);
        QFETCH(bool, playing);
        QFETCH(bool, allowed);
        GuestAccess access(m_dir.filePath("ruffle"));
        if (playing)
            access.setProgram(m_dir.filePath("fla"), m_dir.filePath("copies/7/a.swf"));
        const QString root = QUrl::fromLocalFile(m_dir.path()).toString();
        QCOMPARE(access.allows(QUrl(url.replace(QLatin1String("@"), root))), allowed);
    }
};

QTEST_GUILESS_MAIN(TestGuest)
#include "tst_guest.moc"
