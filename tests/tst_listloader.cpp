#include "catalogue/ListLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The list and the cache files are laid down as raw bytes: the loader is
// under test, not the writer.
void writeRaw(const QString& path, const QByteArray& bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class TestListLoader : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath("app/res/fla"));
    }

    void rows_data() {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QStringList>("cached");    // in the cache with some bytes
        QTest::addColumn<QStringList>("zeroBytes"); // in the cache, length 0
        QTest::addColumn<QStringList>("rows");
        const QByteArray starGbk("\xD0\xA1\xD0\xC7\xD0\xC7");
        const QString star = QStringLiteral("小星星");
        QTest::newRow("missing") << QByteArray("abc\r\n") << QStringList{} << QStringList{}
                                 << QStringList{"* abc"};
        QTest::newRow("present") << QByteArray("abc\r\n") << QStringList{"abc"} << QStringList{}
                                 << QStringList{"  abc"};
        QTest::newRow("zero length counts as missing, twice")
            << QByteArray("abc\r\nabc") << QStringList{} << QStringList{"abc"}
            << QStringList{"* abc", "* abc"};
        QTest::newRow("gbk name present")
            << starGbk + "\r\n"
            << QStringList{star} << QStringList{} << QStringList{"  " + star};
        QTest::newRow("leading spaces are part of the name")
            << QByteArray("  abc\r\n") << QStringList{"abc"} << QStringList{}
            << QStringList{"*   abc"};
        QTest::newRow("leading spaces, own cache file")
            << QByteArray("  abc\r\n") << QStringList{"  abc"} << QStringList{}
            << QStringList{"    abc"};
        QTest::newRow("trailing space is part of the name")
            << QByteArray("abc \r\n") << QStringList{"abc"} << QStringList{}
            << QStringList{"* abc "};
        QTest::newRow("duplicates, order, empty lines")
            << QByteArray("\r\nxyz\r\nabc\r\n\r\nxyz\r\n") << QStringList{"xyz"} << QStringList{}
            << QStringList{"  xyz", "* abc", "  xyz"};
    }
    void rows() {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, cached);
        QFETCH(QStringList, zeroBytes);
        QFETCH(QStringList, rows);
        writeRaw(listPath(), list);
        for (const QString& name : cached)
            writeRaw(cacheFolder() + name + ".swf", "FWS");
        for (const QString& name : zeroBytes)
            writeRaw(cacheFolder() + name + ".swf", {});

        const ListLoader::Result result = ListLoader::load(listPath(), cacheFolder());
        QVERIFY(result.ok);
        QCOMPARE(result.rows, rows);
        // Left over from a broken download: cleared so the next play fetches it.
        for (const QString& name : zeroBytes)
            QVERIFY(!QFileInfo::exists(cacheFolder() + name + ".swf"));
        for (const QString& name : cached)
            QCOMPARE(QFileInfo(cacheFolder() + name + ".swf").size(), 3);
    }

    void directoryIsNotAProgram() {
        writeRaw(listPath(), "x\r\n");
        QVERIFY(QDir(cacheFolder()).mkdir("x.swf"));
        const ListLoader::Result result = ListLoader::load(listPath(), cacheFolder());
        QCOMPARE(result.rows, QStringList{"* x"});
        QVERIFY(QFileInfo(cacheFolder() + "x.swf").isDir());
    }

    // A name from a list file must never reach a file outside the cache
    // folder, not even to tidy up a zero-length one.
    void unsafeNameTouchesNothing_data() {
        QTest::addColumn<QString>("name");
        // Where cache folder + name + ".swf" points, from the application
        // folder; the data rows are built before init() makes the folder.
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("size");
        for (int size : {0, 3}) {
            const char* tag = size == 0 ? "empty" : "full";
            QTest::addRow("../x, %s", tag) << "../x"
                                           << "res/x.swf" << size;
            QTest::addRow("a/b, %s", tag) << "a/b"
                                          << "res/fla/a/b.swf" << size;
            QTest::addRow("a\\b, %s", tag) << "a\\b"
                                           << "res/fla/a\\b.swf" << size;
            QTest::addRow("C:x, %s", tag) << "C:x"
                                          << "res/fla/C:x.swf" << size;
            QTest::addRow(".., %s", tag) << ".."
                                         << "res/fla/...swf" << size;
        }
    }
    void unsafeNameTouchesNothing() {
        QFETCH(QString, name);
        QFETCH(QString, target);
        target.prepend(m_dir->path() + "/app/");
        QFETCH(int, size);
        writeRaw(listPath(), name.toLatin1() + "\r\n");
        writeRaw(target, QByteArray(size, 'F'));
        const ListLoader::Result result = ListLoader::load(listPath(), cacheFolder());
        QVERIFY(result.ok);
        QCOMPARE(result.rows, QStringList{"* " + name});
        QVERIFY(QFileInfo(target).isFile());
        QCOMPARE(QFileInfo(target).size(), size);
    }

    void missingListGivesNoRows() {
        writeRaw(cacheFolder() + "abc.swf", "FWS");
        const ListLoader::Result result = ListLoader::load(listPath(), cacheFolder());
        QVERIFY(!result.ok);
        QVERIFY(result.rows.isEmpty());
        QVERIFY(!result.error.isEmpty());
    }

private:
    QString listPath() const { return m_dir->path() + "/app/cons/b01.inb"; }
    QString cacheFolder() const { return m_dir->path() + "/app/res/fla/"; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestListLoader)
#include "tst_listloader.moc"
