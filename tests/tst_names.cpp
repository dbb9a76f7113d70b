#include "catalogue/ProgramName.h"
#include "net/ServerAddress.h"
#include "support/TempAppFolder.h"

#include <QFile>
#include <QTest>

class TestNames : public QObject {
    Q_OBJECT

private slots:
    void swfPath_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "abc" << true;
        QTest::newRow("chinese") << QStringLiteral("小星星 第1集") << true;
        QTest::newRow("spaces around") << "  abc " << true;
        QTest::newRow("parent") << ".." << false;
        QTest::newRow("self") << "." << false;
        QTest::newRow("up and over") << "../x" << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("absolute") << "/etc/x" << false;
        QTest::newRow("backslash") << "a\\b" << false;
        QTest::newRow("drive") << "C:x" << false;
        QTest::newRow("nul") << QString("a") + QChar(0) + "b" << false;
    }
    void swfPath() {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(ProgramName::isSafe(name), safe);
        const std::optional<QString> path = ProgramName::swfPath("/c/res/fla/", name);
        QCOMPARE(path.has_value(), safe);
        if (safe)
            QCOMPARE(*path, "/c/res/fla/" + name + ".swf");
    }

    void fromRow_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("name");
        QTest::newRow("missing mark") << "* abc"
                                      << "abc";
        QTest::newRow("present mark") << "  abc"
                                      << "abc";
        QTest::newRow("name with leading spaces") << "*   abc"
                                                  << "  abc";
        QTest::newRow("chinese") << QStringLiteral("  小星星") << QStringLiteral("小星星");
        QTest::newRow("mark only") << "* "
                                   << "";
    }
    void fromRow() {
        QFETCH(QString, row);
        QFETCH(QString, name);
        QCOMPARE(ProgramName::fromRow(row), name);
    }

    void folderFromField_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("folder");
        QTest::newRow("16 chars") << "abcdefghijklmnop"
                                  << "klmdef";
        QTest::newRow("13 chars") << "abcdefghijklm"
                                  << "klmdef";
        QTest::newRow("11 chars") << "abcdefghijk"
                                  << "kdef";
        QTest::newRow("10 chars") << "abcdefghij"
                                  << "def";
        QTest::newRow("7 chars") << "abcdefg"
                                 << "def";
        QTest::newRow("4 chars") << "abcd"
                                 << "d";
        QTest::newRow("3 chars") << "abc"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
        // Characters, not GBK bytes: each of these is two bytes on disk.
        QTest::newRow("chinese") << QStringLiteral("一二三四五六七八九十甲乙丙丁")
                                 << QStringLiteral("甲乙丙四五六");
    }
    void folderFromField() {
        QFETCH(QString, field);
        QFETCH(QString, folder);
        QCOMPARE(ServerAddress::folderFromField(field), folder);
    }

    void readServerFolder_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("folder");
        QTest::newRow("comma ends the field")
            << true << QByteArray("abcdefghijklm,zzz\r\n") << true << "klmdef";
        QTest::newRow("quoted, comma inside")
            << true << QByteArray("\"abc,efghijklmn\",1\r\n") << true << "klm,ef";
        QTest::newRow("blank lines first")
            << true << QByteArray("\r\n \t\r\nabcdefghijklmnop") << true << "klmdef";
        QTest::newRow("gbk") << true
                             << QByteArray(
                                    "\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9\xC6\xDF"
                                    "\xB0\xCB\xBE\xC5\xCA\xAE\xBC\xD7\xD2\xD2\xB1\xFB,1\r\n")
                             << true << QStringLiteral("甲乙丙四五六");
        QTest::newRow("missing") << false << QByteArray() << false << "";
        QTest::newRow("empty") << true << QByteArray() << false << "";
        QTest::newRow("blanks") << true << QByteArray(" \r\n\r\n") << false << "";
    }
    void readServerFolder() {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, folder);
        TempAppFolder temp;
        QVERIFY(temp.isValid());
        QFile::remove(temp.path(ServerAddress::kFile));
        if (exists)
            temp.writeBytes(ServerAddress::kFile, bytes);
        QCOMPARE(QFile::exists(temp.path(ServerAddress::kFile)), exists);
        const std::optional<QString> read = ServerAddress::readServerFolder(temp.app());
        QCOMPARE(read.has_value(), found);
        if (found)
            QCOMPARE(*read, folder);
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
