#include "catalogue/TextFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Fixtures go to disk as raw bytes and are checked as raw bytes, so a fault
// in the GBK conversion cannot hide by sitting on both sides of a comparison.
const QByteArray kStarGbk("\xD0\xA1\xD0\xC7\xD0\xC7");

QString star() {
    return QStringLiteral("小星星");
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

enum class Op { Rewrite, Append, Truncate };

} // namespace

Q_DECLARE_METATYPE(Op)

class TestTextFile : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void readLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("crlf after every line") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("last line unterminated") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("empty lines are not entries")
            << QByteArray("\r\na\r\n\r\n\r\nb\r\n\r\n") << QStringList{"a", "b"};
        QTest::newRow("spaces are kept verbatim")
            << QByteArray("   \r\n  a \r\n") << QStringList{"   ", "  a "};
        QTest::newRow("duplicates and order kept")
            << QByteArray("b\r\na\r\nb\r\n") << QStringList{"b", "a", "b"};
        QTest::newRow("gbk names") << kStarGbk + "\r\n" + kStarGbk + " 2\r\n"
                                   << QStringList{star(), star() + " 2"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void readLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        const QString path = m_dir->filePath("list.inb");
        writeRaw(path, bytes);
        const TextFile::Lines read = TextFile::readLines(path);
        QVERIFY(read.ok);
        QCOMPARE(read.lines, expected);
    }

    void readMissingFileFails() {
        const TextFile::Lines read = TextFile::readLines(m_dir->filePath("nothing.inb"));
        QVERIFY(!read.ok);
        QVERIFY(read.lines.isEmpty());
        QVERIFY(!read.error.isEmpty());
    }

    void writers_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("after");
        const QByteArray old("old\r\nentries\r\n");
        QTest::newRow("rewrite replaces, crlf after the last line too")
            << Op::Rewrite << true << old << QStringList{star(), "  x ", star()}
            << kStarGbk + "\r\n  x \r\n" + kStarGbk + "\r\n";
        QTest::newRow("rewrite creates a missing file")
            << Op::Rewrite << false << QByteArray() << QStringList{"a"} << QByteArray("a\r\n");
        QTest::newRow("rewrite with nothing empties")
            << Op::Rewrite << true << old << QStringList{} << QByteArray();
        QTest::newRow("append creates a missing file")
            << Op::Append << false << QByteArray() << QStringList{star()} << kStarGbk + "\r\n";
        QTest::newRow("append adds one line") << Op::Append << true << QByteArray("a\r\n")
                                              << QStringList{"   "} << QByteArray("a\r\n   \r\n");
        QTest::newRow("truncate") << Op::Truncate << true << old << QStringList{} << QByteArray();
        QTest::newRow("truncate missing")
            << Op::Truncate << false << QByteArray() << QStringList{} << QByteArray();
    }
    void writers() {
        QFETCH(Op, op);
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, after);
        const QString path = m_dir->filePath("list.inb");
        if (exists)
            writeRaw(path, before);
        QString error;
        bool ok = false;
        if (op == Op::Rewrite)
            ok = TextFile::rewrite(path, lines, &error);
        else if (op == Op::Append)
            ok = TextFile::append(path, lines.value(0), &error);
        else
            ok = TextFile::truncate(path, &error);
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(readRaw(path), after);
    }

    void unencodableNameChangesNothing_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QStringList>("lines");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("rewrite, bad last") << Op::Rewrite << QStringList{"ok", star() + emoji};
        QTest::newRow("append") << Op::Append << QStringList{star() + emoji};
    }
    void unencodableNameChangesNothing() {
        QFETCH(Op, op);
        QFETCH(QStringList, lines);
        const QString path = m_dir->filePath("list.inb");
        const QByteArray before = "keep\r\n" + kStarGbk + "\r\n";
        writeRaw(path, before);
        QString error;
        const bool ok = op == Op::Rewrite ? TextFile::rewrite(path, lines, &error)
                                          : TextFile::append(path, lines.value(0), &error);
        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readRaw(path), before);
    }

    // Bytes that are not GBK come back exactly as they were, whatever is
    // written around them.
    void undecodableBytesSurviveARewrite_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::newRow("lone lead byte at the end") << QByteArray("\x81\x40\x81") << 1;
        QTest::newRow("lead byte before CR LF") << QByteArray("\xD0\r\n") + kStarGbk + "\r\n" << 2;
        QTest::newRow("trail byte out of range") << QByteArray("a\x81\x7F"
                                                               "b\r\n")
                                                 << 1;
        QTest::newRow("damaged between good names")
            << kStarGbk + "\r\n\xFE\x30\xA1\r\n" + kStarGbk + "\r\n"
            << 3;
    }
    void undecodableBytesSurviveARewrite() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        const QString path = m_dir->filePath("list.inb");
        writeRaw(path, bytes);
        const TextFile::Lines read = TextFile::readLines(path);
        QVERIFY(read.ok);
        QCOMPARE(read.lines.size(), count);
        QStringList lines = read.lines;
        lines.prepend(star());
        QString error;
        QVERIFY2(TextFile::rewrite(path, lines, &error), qPrintable(error));
        QByteArray expected = kStarGbk + "\r\n" + bytes;
        if (!expected.endsWith("\r\n"))
            expected += "\r\n";
        QCOMPARE(readRaw(path), expected);
        // Nothing was dropped on the way in either.
        QVERIFY(TextFile::readLines(path).lines.mid(1) == read.lines);
    }

    void firstField_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("to the comma") << "abc,def"
                                      << "abc";
        QTest::newRow("to the line end") << "abc\r\ndef,x"
                                         << "abc";
        QTest::newRow("blanks and blank lines first") << " \t\r\n\r\n  abc d,e"
                                                      << "abc d";
        QTest::newRow("quoted keeps its comma") << "\"a,b\",c"
                                                << "a,b";
        QTest::newRow("empty first field") << ",abc"
                                           << "";
        QTest::newRow("only blanks") << " \t\r\n "
                                     << "";
    }
    void firstField() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TextFile::firstField(text), expected);
    }

    void readFirstField_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing file") << false << QByteArray() << false << "";
        QTest::newRow("0-byte file") << true << QByteArray() << false << "";
        QTest::newRow("only blanks") << true << QByteArray(" \r\n\t\r\n  ") << false << "";
        QTest::newRow("plain") << true << QByteArray("abcdefghijklm,zzz\r\n") << true
                               << "abcdefghijklm";
        QTest::newRow("quoted gbk")
            << true << "\r\n\"" + kStarGbk + ",1\",2" << true << star() + ",1";
    }
    void readFirstField() {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        QFETCH(QString, expected);
        const QString path = m_dir->filePath("guihu.inb");
        if (exists)
            writeRaw(path, bytes);
        const std::optional<QString> field = TextFile::readFirstField(path);
        QCOMPARE(field.has_value(), found);
        if (found)
            QCOMPARE(*field, expected);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
