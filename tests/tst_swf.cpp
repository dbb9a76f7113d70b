#include "swf/AbcReader.h"
#include "swf/AbcWriter.h"
#include "swf/As3Host.h"
#include "swf/SwfInfo.h"
#include "swf/SwfWriter.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <limits>

using Compression = Swf::SwfWriter::Compression;

Q_DECLARE_METATYPE(Swf::Rect)
Q_DECLARE_METATYPE(Compression)
Q_DECLARE_METATYPE(Abc::ClassInfo)

namespace Swf {
char* toString(const Rect& r) {
    return QTest::toString(
        QStringLiteral("(%1..%2, %3..%4)").arg(r.xMin).arg(r.xMax).arg(r.yMin).arg(r.yMax));
}
} // namespace Swf

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// Incompressible filler, the same every run.
QByteArray noise(qsizetype size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (char& c : out)
        c = char(gen.bounded(256));
    return out;
}

const Compression kAll[] = {Compression::None, Compression::Zlib, Compression::Lzma};

const char* name(Compression c) {
    return c == Compression::None ? "FWS" : c == Compression::Zlib ? "CWS" : "ZWS";
}

// A movie whose first frame holds a big incompressible tag and whose later
// frames hold another: decoding can only reach frame 2 by getting through
// the first, and a cut in the second half lands after the first frame.
// A hand-written 550x400 white movie of one frame, cut in the tests below.
QByteArray goodFile() {
    return hex("4657530a1e000000"
               "7800055f00000fa000"
               "000c0100"
               "4302ffffff"
               "4000"
               "0000");
}

// An ActionScript 3 movie of three frames: ABC code of classes (name, base,
// flags) in frame 1, and SymbolClass naming root (none: no document class).
QByteArray as3Movie(const QList<Abc::ClassInfo>& classes, const QString& root,
                    Compression compression = Compression::None, int frames = 3,
                    const QList<QPair<int, QByteArray>>& moreTags = {}) {
    Abc::Writer w;
    const auto qname = [&w](const QString& q) {
        const qsizetype dot = q.lastIndexOf(u'.');
        return w.publicName(q.mid(dot + 1), dot < 0 ? QString() : q.left(dot));
    };
    QList<Abc::Trait> defined;
    for (const Abc::ClassInfo& c : classes) {
        Abc::Code constructor;
        constructor.getLocal(0).pushScope().getLocal(0).constructSuper(0).returnVoid();
        const int index =
            w.addClass(qname(c.name), qname(c.superName), c.flags, w.method(0, constructor, 1), {});
        defined.append({qname(c.name), Abc::Trait::Class, index, 0});
    }
    Abc::Code init;
    init.getLocal(0).pushScope().returnVoid();
    w.addScript(w.method(0, init, 1), defined);
    Swf::SwfWriter movie(10, {0, 2000, 0, 2000}, 24);
    movie.fileAttributes(Swf::kActionScript3);
    movie.tag(Swf::kDoAbc, QByteArray(4, '\0') + "frame1" + '\0' + w.finish());
    if (!root.isEmpty())
        movie.tag(Swf::kSymbolClass, hex("01000000") + root.toUtf8() + '\0');
    for (const auto& [code, body] : moreTags)
        movie.tag(code, body);
    for (int i = 0; i < frames; ++i)
        movie.showFrame();
    return movie.finish(compression);
}

// The tags of a plain movie: code and body, in order.
QList<QPair<int, QByteArray>> tagsOf(const QByteArray& plain) {
    QList<QPair<int, QByteArray>> tags;
    qsizetype at = 8 + (5 + 4 * (std::uint8_t(plain[8]) >> 3) + 7) / 8 + 4;
    while (at + 2 <= plain.size()) {
        const int head = std::uint8_t(plain[at]) | std::uint8_t(plain[at + 1]) << 8;
        qsizetype length = head & 0x3F;
        at += 2;
        if (length == 0x3F) {
            length = qFromLittleEndian<quint32>(plain.constData() + at);
            at += 4;
        }
        tags.append({head >> 6, plain.mid(at, length)});
        at += length;
    }
    return tags;
}

Swf::SwfWriter twoHalves() {
    Swf::SwfWriter w(10, {0, 6400, 0, 4800}, 24);
    w.setBackground({1, 2, 3});
    w.tag(Swf::kDefineShape, noise(100000, 1));
    w.showFrame();
    w.tag(Swf::kDefineShape, noise(100000, 2));
    w.showFrame();
    w.showFrame();
    return w;
}

} // namespace

class TestSwf : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString saved(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("%1.swf").arg(++m_files));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // parse() on the bytes and readInfo() on a file of them must agree;
    // when they do not, the result is invalid and the caller's checks fail.
    Swf::Info both(const QByteArray& bytes) {
        const Swf::Info a = Swf::parse(bytes);
        const Swf::Info b = Swf::readInfo(saved(bytes));
        const bool same = a.valid == b.valid && a.signature == b.signature &&
                          a.version == b.version && a.fileLength == b.fileLength &&
                          a.stage == b.stage && a.frameRate == b.frameRate &&
                          a.frameCount == b.frameCount && a.actionScript3 == b.actionScript3 &&
                          a.background == b.background;
        if (!same) {
            qWarning("parse() and readInfo() disagree");
            return {};
        }
        return a;
    }

    void checkInvalid(const QByteArray& bytes) {
        for (const Swf::Info& info : {Swf::parse(bytes), Swf::readInfo(saved(bytes))}) {
            QVERIFY(!info.valid);
            QCOMPARE(info.frameCount, 0);
        }
        QVERIFY(!Swf::uncompressed(bytes));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The writer and reader checked against each other, under all three
    // signatures, with filler tags that push the first frame's tags of
    // interest across the reader's buffer boundaries.
    void sameInfoForEachSignature_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<Swf::Rect>("stage");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("readRate");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("background"); // 0xRRGGBB, -1 for none
        QTest::addColumn<bool>("as3");
        QTest::addColumn<int>("fillerTags");
        QTest::addColumn<int>("fillerSize");
        QTest::newRow("550x400 at 12") << 6 << Swf::Rect{0, 11000, 0, 8000} << 12.0 << 12.0 << 1
                                       << 0xFFFFFF << false << 0 << 0;
        QTest::newRow("12.5 fps") << 8 << Swf::Rect{0, 6400, 0, 4800} << 12.5 << 12.5 << 60
                                  << 0x336699 << false << 0 << 0;
        QTest::newRow("29.97 fps") << 10 << Swf::Rect{0, 12800, 0, 9600} << 29.97 << 7672 / 256.0
                                   << 300 << -1 << false << 0 << 0;
        QTest::newRow("23.976 fps rounds up") << 10 << Swf::Rect{0, 12800, 0, 9600} << 23.976
                                              << 6138 / 256.0 << 10 << 0x010203 << false << 0 << 0;
        QTest::newRow("as3") << 13 << Swf::Rect{0, 15360, 0, 8640} << 24.0 << 24.0 << 2 << 0x000000
                             << true << 0 << 0;
        QTest::newRow("negative origin") << 7 << Swf::Rect{-400, 6000, -200, 4000} << 0.5 << 0.5
                                         << 3 << 0xFF0000 << false << 0 << 0;
        QTest::newRow("largest stage and count") << 9 << Swf::Rect{0, 163820, 0, 163820} << 120.0
                                                 << 120.0 << 65535 << 0x0000FE << false << 0 << 0;
        QTest::newRow("one big tag first") << 8 << Swf::Rect{0, 6400, 0, 4800} << 15.0 << 15.0 << 5
                                           << 0x123456 << true << 1 << 200000;
        QTest::newRow("many mid-sized tags") << 8 << Swf::Rect{0, 6400, 0, 4800} << 15.0 << 15.0
                                             << 5 << 0x654321 << false << 700 << 100;
        QTest::newRow("many empty tags") << 8 << Swf::Rect{0, 6400, 0, 4800} << 15.0 << 15.0 << 5
                                         << 0xABCDEF << false << 40000 << 0;
    }
    void sameInfoForEachSignature() {
        QFETCH(int, version);
        QFETCH(Swf::Rect, stage);
        QFETCH(double, rate);
        QFETCH(double, readRate);
        QFETCH(int, frames);
        QFETCH(int, background);
        QFETCH(bool, as3);
        QFETCH(int, fillerTags);
        QFETCH(int, fillerSize);

        Swf::SwfWriter w(version, stage, rate);
        if (as3)
            w.fileAttributes(Swf::kActionScript3 | Swf::kUseNetwork);
        else
            w.fileAttributes(Swf::kUseNetwork);
        for (int i = 0; i < fillerTags; ++i)
            w.tag(Swf::kDefineShape, noise(fillerSize, quint32(i)));
        if (background >= 0)
            w.setBackground({std::uint8_t(background >> 16), std::uint8_t(background >> 8),
                             std::uint8_t(background)});
        if (as3)
            w.tag(Swf::kDoAbc, QByteArray(80, 'x'));
        else
            w.doAction(Swf::ActionWriter().stop());
        w.showFrame();
        // Only the first frame counts: these come too late.
        if (frames > 1) {
            w.setBackground({9, 9, 9});
            w.fileAttributes(as3 ? 0u : std::uint32_t(Swf::kActionScript3));
        }
        while (w.frames() < frames)
            w.showFrame();

        for (Compression c : kAll) {
            const QByteArray file = w.finish(c);
            const Swf::Info info = both(file);
            const QByteArray what = name(c);
            QVERIFY2(info.valid, what);
            QCOMPARE(info.signature, what[0]);
            QCOMPARE(info.version, version);
            QCOMPARE(info.fileLength, std::uint32_t(w.finish().size()));
            QCOMPARE(info.stage, stage);
            QCOMPARE(info.frameRate, readRate);
            QCOMPARE(info.frameCount, frames);
            QCOMPARE(info.actionScript3, as3);
            QCOMPARE(info.background.has_value(), background >= 0);
            if (background >= 0)
                QCOMPARE(info.background->r * 65536 + info.background->g * 256 + info.background->b,
                         background);
        }
    }

    // Byte arrays written out by hand, so neither the writer nor the reader
    // is only checked against the other. 78 00 05 5F 00 00 0F A0 00 is the
    // well-known RECT of a 550x400 stage.
    void handWritten_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Swf::Rect>("stage");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("background");
        QTest::addColumn<bool>("as3");
        QTest::addColumn<bool>("writerAgrees"); // the writer gives these very bytes
        QTest::newRow("550x400 white")
            << hex("4657530a1e000000"
                   "7800055f00000fa000"
                   "000c0100"
                   "4302ffffff"
                   "4000"
                   "0000")
            << Swf::Rect{0, 11000, 0, 8000} << 12.0 << 1 << 0xFFFFFF << false << true;
        QTest::newRow("29.97, long FileAttributes, small RECT")
            << hex("4657530922000000"
                   "1f3900"
                   "f81d0300"
                   "7f110400000008000000"
                   "4302102030"
                   "4000"
                   "0000")
            << Swf::Rect{-1, 1, -2, 2} << 7672 / 256.0 << 3 << 0x102030 << true << false;
        QTest::newRow("12.5, empty RECT, short FileAttributes")
            << hex("4657530819000000"
                   "00"
                   "800c0200"
                   "441108000000"
                   "4000"
                   "4000"
                   "0000")
            << Swf::Rect{} << 12.5 << 2 << -1 << true << true;
        QTest::newRow("the first background wins")
            << hex("4657530a23000000"
                   "7800055f00000fa000"
                   "000c0100"
                   "4302102030"
                   "4302ffffff"
                   "4000"
                   "0000")
            << Swf::Rect{0, 11000, 0, 8000} << 12.0 << 1 << 0x102030 << false << false;
        QTest::newRow("FileAttributes counts only as the first tag")
            << hex("4657530a24000000"
                   "7800055f00000fa000"
                   "000c0100"
                   "4302ffffff"
                   "441108000000"
                   "4000"
                   "0000")
            << Swf::Rect{0, 11000, 0, 8000} << 12.0 << 1 << 0xFFFFFF << false << false;
        QTest::newRow("background after the first frame is ignored")
            << hex("4657530618000000"
                   "00"
                   "000c0200"
                   "4000"
                   "4302ffffff"
                   "4000"
                   "0000")
            << Swf::Rect{} << 12.0 << 2 << -1 << false << false;
    }
    void handWritten() {
        QFETCH(QByteArray, file);
        QFETCH(Swf::Rect, stage);
        QFETCH(double, rate);
        QFETCH(int, frames);
        QFETCH(int, background);
        QFETCH(bool, as3);
        QFETCH(bool, writerAgrees);

        const Swf::Info info = both(file);
        QVERIFY(info.valid);
        QCOMPARE(info.fileLength, std::uint32_t(file.size()));
        QCOMPARE(info.version, int(file[3]));
        QCOMPARE(info.stage, stage);
        QCOMPARE(info.frameRate, rate);
        QCOMPARE(info.frameCount, frames);
        QCOMPARE(info.actionScript3, as3);
        QCOMPARE(info.background.has_value(), background >= 0);
        if (background >= 0)
            QCOMPARE(info.background->r * 65536 + info.background->g * 256 + info.background->b,
                     background);

        if (writerAgrees) {
            Swf::SwfWriter w(info.version, stage, rate);
            if (as3)
                w.fileAttributes(Swf::kActionScript3);
            if (background >= 0)
                w.setBackground(*info.background);
            while (w.frames() < frames)
                w.showFrame();
            QCOMPARE(w.finish().toHex(), file.toHex());
        }
    }

    void invalid_data() {
        QTest::addColumn<QByteArray>("file");
        const QByteArray good = goodFile();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("3 bytes") << QByteArray("FWS");
        QTest::newRow("7 bytes") << good.left(7);
        QTest::newRow("header only") << good.left(8);
        QTest::newRow("GIF") << hex("4749463839610100010080000000ffffff");
        QTest::newRow("text") << QByteArray("<html><body>Not Found</body></html>");
        QTest::newRow("wrong signature") << QByteArray(good).replace(0, 3, "FWX");
        QTest::newRow("length below 8") << QByteArray(good).replace(4, 4, hex("07000000"));
        QTest::newRow("length ends inside the RECT")
            << QByteArray(good).replace(4, 4, hex("0c000000"));
        QTest::newRow("RECT past the end") << hex("4657530a20000000f8ffff");
        QTest::newRow("no rate and count") << good.left(8 + 9 + 2);
        QTest::newRow("CWS, not zlib") << hex("4357530a1e000000") + noise(200, 7);
        QTest::newRow("ZWS, not LZMA") << hex("5a57530a1e000000") + noise(200, 8);
        QTest::newRow("ZWS, no properties") << hex("5a57530a1e00000010000000 5d00");
        QTest::newRow("ZWS, no length") << hex("5a57530a1e000000 1000");
    }
    void invalid() {
        QFETCH(QByteArray, file);
        checkInvalid(file);
    }

    // The engine plays a file whose header reads, whatever follows it.
    void brokenTagsKeepTheHeader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Swf::Rect>("stage");
        QTest::addColumn<int>("frames");
        const QByteArray good = goodFile();
        const Swf::Rect s550{0, 11000, 0, 8000};
        QTest::newRow("half a tag header") << good.left(8 + 9 + 4 + 1) << s550 << 1;
        QTest::newRow("tag cut short") << good.left(8 + 9 + 4 + 4) << s550 << 1;
        QTest::newRow("no first frame end") << good.left(8 + 9 + 4 + 5) << s550 << 1;
        QTest::newRow("long length missing") << good.left(8 + 9 + 4) + hex("7f11ffff") << s550 << 1;
        QTest::newRow("tag length past the end")
            << hex("4657530a24000000 00 000c0100 7f03 10000000 0000000000000000 4000 0000")
            << Swf::Rect{} << 1;
        QTest::newRow("tag length past the declared length")
            << hex("4657530a10000000 00 000c0100 8300") + QByteArray(40, '\0') + hex("40000000")
            << Swf::Rect{} << 1;
        QTest::newRow("absurd tag length")
            << hex("4657530a22000000 00 000c0100 3f03 ffffffff 4000 0000") << Swf::Rect{} << 1;
        QTest::newRow("all ones after the header")
            << hex("4657530a1e000000") + QByteArray(22, char(0xFF)) << Swf::Rect{-1, -1, -1, -1}
            << 65535;
    }
    void brokenTagsKeepTheHeader() {
        QFETCH(QByteArray, file);
        QFETCH(Swf::Rect, stage);
        QFETCH(int, frames);
        const Swf::Info info = both(file);
        QVERIFY(info.valid);
        QCOMPARE(info.stage, stage);
        QCOMPARE(info.frameCount, frames);
    }

    void missingFileAndFolder() {
        for (const QString& path : {m_dir.filePath("nothing.swf"), m_dir.path(), QString()}) {
            const Swf::Info info = Swf::readInfo(path);
            QVERIFY2(!info.valid, qPrintable(path));
            QCOMPARE(info.frameCount, 0);
        }
    }

    void corruptCompressedStream_data() {
        QTest::addColumn<Compression>("compression");
        QTest::addColumn<int>("offset");
        QTest::newRow("zlib header") << Compression::Zlib << 8;
        QTest::newRow("zlib block type") << Compression::Zlib << 10;
        QTest::newRow("lzma properties") << Compression::Lzma << 12;
        QTest::newRow("lzma dictionary size") << Compression::Lzma << 16;
    }
    void corruptCompressedStream() {
        QFETCH(Compression, compression);
        QFETCH(int, offset);
        Swf::SwfWriter w(8, {0, 6400, 0, 4800}, 12);
        w.setBackground({1, 2, 3});
        w.doAction(Swf::ActionWriter().pushString("abc").getVariable().pop());
        w.showFrame();
        QByteArray file = w.finish(compression);
        QVERIFY(Swf::parse(file).valid);
        // A mangled zlib header or data byte fails the checks; LZMA property
        // bytes of 0xFF are out of range, and a 4 GiB dictionary is refused
        // rather than allocated.
        file[offset] = char(0xFF);
        file[offset + 1] = char(file[offset + 1] ^ 0x5A);
        checkInvalid(file);
    }

    // Cut anywhere before the first frame has ended the file is unusable;
    // cut after it, the engine can still start (it streams), but the file
    // is no complete movie.
    void truncated_data() {
        QTest::addColumn<Compression>("compression");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("valid");
        for (Compression c : kAll) {
            // Cut anywhere after the header, it still tells what the engine
            // plays.
            QTest::addRow("%s cut at 0%%", name(c)) << c << 0 << false;
            for (int percent : {1, 10, 30, 45, 60, 80, 99})
                QTest::addRow("%s cut at %d%%", name(c), percent) << c << percent << true;
        }
    }
    void truncated() {
        QFETCH(Compression, compression);
        QFETCH(int, percent);
        QFETCH(bool, valid);
        const QByteArray whole = twoHalves().finish(compression);
        const QByteArray cut = whole.left(8 + (whole.size() - 8) * percent / 100);
        if (valid) {
            const Swf::Info info = both(cut);
            QVERIFY(info.valid);
            QCOMPARE(info.frameCount, 3);
            QVERIFY((info.background == Swf::Rgb{1, 2, 3}));
            QVERIFY(!Swf::uncompressed(cut));
        } else {
            checkInvalid(cut);
        }
    }

    // Each few bytes into the header and first tags, compressed or not: a
    // prefix reads once it holds the stage, rate and frame count, and then
    // reads them right.
    void truncatedEarly() {
        Swf::SwfWriter w(8, {0, 6400, 0, 4800}, 12);
        w.fileAttributes(0);
        w.setBackground({1, 2, 3});
        w.showFrame();
        for (Compression c : kAll) {
            const QByteArray whole = w.finish(c);
            bool readable = false;
            for (qsizetype size = 0; size <= whole.size(); ++size) {
                const Swf::Info info = Swf::parse(whole.left(size));
                const QString where = QStringLiteral("%1 at %2").arg(name(c)).arg(size);
                QVERIFY2(info.valid || !readable, qPrintable(where)); // stays readable
                readable = info.valid;
                if (info.valid) {
                    QCOMPARE(info.frameCount, 1);
                    QVERIFY((info.stage == Swf::Rect{0, 6400, 0, 4800}));
                } else {
                    QCOMPARE(info.frameCount, 0);
                }
            }
            QVERIFY(readable);
        }
    }

    // Only the first frame is decoded: damage further on goes unnoticed by
    // readInfo() but not by uncompressed().
    void laterDamageIsNotDecoded_data() {
        QTest::addColumn<Compression>("compression");
        QTest::newRow("zlib") << Compression::Zlib;
        QTest::newRow("lzma") << Compression::Lzma;
    }
    void laterDamageIsNotDecoded() {
        QFETCH(Compression, compression);
        Swf::SwfWriter w(10, {0, 6400, 0, 4800}, 24);
        w.setBackground({4, 5, 6});
        w.showFrame();
        w.tag(Swf::kDefineShape, noise(2000000, 3));
        w.showFrame();
        QByteArray file = w.finish(compression);
        for (qsizetype i = file.size() - 200000; i < file.size() - 100000; i += 997)
            file[i] = char(~file[i]);
        const Swf::Info info = both(file);
        QVERIFY(info.valid);
        QCOMPARE(info.frameCount, 2);
        QVERIFY(!Swf::uncompressed(file));
    }

    // A first frame too big to decode on the spot: the header is taken at
    // its word and what lies past the limit is not looked at.
    void hugeFirstFrame() {
        Swf::SwfWriter w(10, {0, 6400, 0, 4800}, 24);
        w.tag(Swf::kDefineShape, QByteArray(65 * 1024 * 1024, '\0'));
        w.setBackground({7, 8, 9});
        w.showFrame();
        w.showFrame();
        const QByteArray file = w.finish(Compression::Zlib);
        const Swf::Info info = both(file);
        QVERIFY(info.valid);
        QCOMPARE(info.frameCount, 2);
        QVERIFY(!info.background);
        // The same in plain form costs nothing to pass over.
        QVERIFY((both(w.finish()).background == Swf::Rgb{7, 8, 9}));
    }

    // A header that claims more than the player takes: the frame count
    // still reads (the position bar needs it), nothing is decompressed, and
    // neither the plain form nor the ActionScript 3 rewrite is made.
    void claimsBeyondTheCap_data() {
        QTest::addColumn<Compression>("compression");
        QTest::addColumn<quint32>("claim");
        for (Compression c : kAll)
            for (quint32 claim : {Swf::kMaxPlainLength + 1, quint32(0xFFFFFFFF)})
                QTest::addRow("%s claims %u", name(c), claim) << c << claim;
    }
    void claimsBeyondTheCap() {
        QFETCH(Compression, compression);
        QFETCH(quint32, claim);
        QByteArray program =
            as3Movie({{"Main", "flash.display.MovieClip", 0}}, "Main", compression);
        QVERIFY(As3Host::rewrite(program));
        qToLittleEndian(claim, program.data() + 4);
        for (const Swf::Info& info : {Swf::parse(program), Swf::readHead(saved(program))}) {
            QVERIFY(info.valid);
            QVERIFY(info.tooLarge());
            QVERIFY(info.actionScript3);
            QCOMPARE(info.frameCount, 3);
        }
        QVERIFY(!Swf::uncompressed(program));
        QVERIFY(!As3Host::rewrite(program));
    }

    void uncompressedRoundTrip() {
        const Swf::SwfWriter w = twoHalves();
        const QByteArray plain = w.finish();
        for (Compression c : kAll) {
            const std::optional<QByteArray> out = Swf::uncompressed(w.finish(c));
            QVERIFY2(out, name(c));
            QCOMPARE(out->size(), plain.size());
            QVERIFY(*out == plain);
        }
        // Bytes after the declared length are not part of the movie.
        const std::optional<QByteArray> trimmed = Swf::uncompressed(plain + "trailing");
        QVERIFY(trimmed);
        QVERIFY(*trimmed == plain);
    }

    // The compressed forms checked against zlib itself and the ZWS layout.
    void compressedLayout() {
        const Swf::SwfWriter w = twoHalves();
        const QByteArray plain = w.finish();

        const QByteArray cws = w.finish(Compression::Zlib);
        QCOMPARE(cws.left(8), QByteArray("CWS") + plain.mid(3, 5));
        QByteArray inflated(plain.size(), '\0');
        uLongf size = uLongf(inflated.size());
        QCOMPARE(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                            reinterpret_cast<const Bytef*>(cws.constData() + 8),
                            uLong(cws.size() - 8)),
                 Z_OK);
        QCOMPARE(qsizetype(size), plain.size() - 8);
        QVERIFY(inflated.left(qsizetype(size)) == plain.mid(8));

        const QByteArray zws = w.finish(Compression::Lzma);
        QCOMPARE(zws.left(8), QByteArray("ZWS") + plain.mid(3, 5));
        const auto* p = reinterpret_cast<const unsigned char*>(zws.constData());
        const std::uint32_t dataLength =
            p[8] | p[9] << 8 | p[10] << 16 | std::uint32_t(p[11]) << 24;
        QCOMPARE(qsizetype(dataLength), zws.size() - 17);
        // Preset 6: lc=3 lp=0 pb=2, an 8 MiB dictionary.
        QCOMPARE(zws.mid(12, 5).toHex(), QByteArray("5d00008000"));
    }

    void tagForms_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("empty") << 0 << hex("0003");
        QTest::newRow("longest short form") << 62 << hex("3e03");
        QTest::newRow("shortest long form") << 63 << hex("3f033f000000");
        QTest::newRow("long") << 70000 << hex("3f0370110100");
    }
    void tagForms() {
        QFETCH(int, length);
        QFETCH(QByteArray, header);
        Swf::SwfWriter w(8, {}, 12);
        w.tag(Swf::kDoAction, QByteArray(length, 'a'));
        w.showFrame();
        const QByteArray file = w.finish();
        // Header, the one-byte empty RECT, rate and count.
        const qsizetype tags = 8 + 1 + 4;
        QCOMPARE(file.mid(tags, header.size()).toHex(), header.toHex());
        QCOMPARE(file.mid(tags + header.size() + length).toHex(), QByteArray("40000000"));
        QVERIFY(Swf::parse(file).valid);
    }

    void signedBits_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("bits");
        QTest::newRow("0") << 0 << 0;
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("-1") << -1 << 1;
        QTest::newRow("2") << 2 << 3;
        QTest::newRow("-2") << -2 << 2;
        QTest::newRow("255") << 255 << 9;
        QTest::newRow("256") << 256 << 10;
        QTest::newRow("-256") << -256 << 9;
        QTest::newRow("-257") << -257 << 10;
        QTest::newRow("11000") << 11000 << 15;
        QTest::newRow("max") << std::numeric_limits<int>::max() << 32;
        QTest::newRow("min") << std::numeric_limits<int>::min() << 32;
        QTest::newRow("2^30") << (1 << 30) << 32;
        QTest::newRow("2^30-1") << (1 << 30) - 1 << 31;
    }
    void signedBits() {
        QFETCH(int, value);
        QFETCH(int, bits);
        QCOMPARE(Swf::BitWriter::signedBits(value), bits);
        // Written in that many bits after a 3-bit lead-in, the value reads
        // back with sign extension.
        Swf::BitWriter w;
        w.writeUnsigned(5, 3);
        w.writeSigned(value, bits);
        const QByteArray bytes = w.bytes();
        QCOMPARE(bytes.size(), (3 + bits + 7) / 8);
        quint64 all = 0;
        for (char c : bytes)
            all = all << 8 | quint8(c);
        all <<= 8 * (8 - bytes.size());
        QCOMPARE(int(all >> 61), 5);
        if (bits > 0) {
            const qint64 field = qint64(all << 3) >> (64 - bits);
            QCOMPARE(field, qint64(value));
        }
    }

    void bitPacking() {
        Swf::BitWriter w;
        w.writeUnsigned(0b101, 3);
        w.writeSigned(-1, 2);
        w.writeUnsigned(0, 0);
        QCOMPARE(w.bytes().toHex(), QByteArray("b8"));
        Swf::BitWriter straddle;
        straddle.writeUnsigned(0x2AA, 10);
        straddle.writeSigned(-3, 7);
        QCOMPARE(straddle.bytes().toHex(), QByteArray("aabe80"));
        QCOMPARE(Swf::encodeRect({0, 11000, 0, 8000}).toHex(), QByteArray("7800055f00000fa000"));
        QCOMPARE(Swf::encodeRect({-1, 1, -2, 2}).toHex(), QByteArray("1f3900"));
        QCOMPARE(Swf::encodeRect({}).toHex(), QByteArray("00"));
    }

    // An ActionScript 3 program takes the host's class: one DoABC tag more,
    // SymbolClass id 0 naming the class, every other tag as it was; or,
    // where that cannot be, no rewrite at all.
    void actionScript3ProgramsTakeTheHostClass_data() {
        QTest::addColumn<QList<Abc::ClassInfo>>("classes");
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("rewritten");
        const Abc::ClassInfo main{"game.Main", "flash.display.MovieClip", Abc::kClassSealed};
        QTest::newRow("a document class") << QList<Abc::ClassInfo>{main} << "game.Main" << true;
        QTest::newRow("a class between it and MovieClip")
            << QList<Abc::ClassInfo>{{"Main", "Base", 0}, {"Base", "flash.display.MovieClip", 0}}
            << "Main" << true;
        QTest::newRow("no document class") << QList<Abc::ClassInfo>{main} << "" << true;
        QTest::newRow("a MovieClip of its own")
            << QList<Abc::ClassInfo>{main, {"flash.display.MovieClip", "flash.display.Sprite", 0}}
            << "game.Main" << true;
        QTest::newRow("final") << QList<Abc::ClassInfo>{{"Main", "flash.display.MovieClip",
                                                         Abc::kClassSealed | Abc::kClassFinal}}
                               << "Main" << false;
        QTest::newRow("a Sprite") << QList<Abc::ClassInfo>{{"Main", "flash.display.Sprite", 0}}
                                  << "Main" << false;
        QTest::newRow("not defined here") << QList<Abc::ClassInfo>{main} << "Other" << false;
    }
    void actionScript3ProgramsTakeTheHostClass() {
        QFETCH(QList<Abc::ClassInfo>, classes);
        QFETCH(QString, root);
        QFETCH(bool, rewritten);
        for (Compression compression : kAll) {
            const QByteArray program = as3Movie(classes, root, compression);
            const auto result = As3Host::rewrite(program);
            QCOMPARE(result.has_value(), rewritten);
            if (!result)
                continue;
            const QByteArray plain = *Swf::uncompressed(program);
            QCOMPARE(result->left(4), plain.left(4));
            QCOMPARE(qFromLittleEndian<quint32>(result->constData() + 4), quint32(result->size()));
            auto before = tagsOf(plain), after = tagsOf(*result);
            // The added class, with the player's callbacks, right before the
            // SymbolClass that names it as the root.
            const int symbol = int(std::find_if(after.cbegin(), after.cend(),
                                                [](const auto& t) { return t.first == 76; }) -
                                   after.cbegin());
            QVERIFY(symbol > 0 && symbol < after.size());
            QCOMPARE(after.at(symbol - 1).first, int(Swf::kDoAbc));
            const QByteArray added = after.takeAt(symbol - 1).second;
            const auto defined = Abc::readClasses(added.mid(added.indexOf('\0', 4) + 1));
            QVERIFY(defined && defined->size() == 1);
            const QString base = root.isEmpty() ? QStringLiteral("flash.display.MovieClip") : root;
            QCOMPARE(defined->first().name, As3Host::className(base));
            QCOMPARE(defined->first().name.section(u'.', -1), base.section(u'.', -1));
            QCOMPARE(defined->first().superName,
                     root.isEmpty() ? QStringLiteral("flash.display.MovieClip") : root);
            QVERIFY(added.contains("kibuFrame") && added.contains("kibuGotoStop"));
            QCOMPARE(after.at(symbol - 1).second,
                     hex("01000000") + As3Host::className(base).toUtf8() + '\0');
            if (root.isEmpty())
                after.removeAt(symbol - 1); // added with the class
            else
                after[symbol - 1].second = before.at(symbol - 1).second;
            QCOMPARE(after, before);
        }
        // ABC code that cannot be read: no rewrite.
        QByteArray broken = *Swf::uncompressed(as3Movie(classes, root));
        const qsizetype abc = broken.indexOf("frame1") + 7;
        broken.replace(abc + 4, 8, QByteArray(8, '\xff'));
        QVERIFY(!As3Host::rewrite(broken));
        // Nor for an ActionScript 1/2 movie.
        QVERIFY(!As3Host::rewrite(goodFile()));
    }

    // However the first frame ends (End, or a tag head cut short), the
    // added class goes inside it; a root named with nothing is no class.
    void oddFirstFrames_data() {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("after"); // what follows the added SymbolClass; "-": refused
        const QByteArray ends = as3Movie({}, "", Compression::None, 0);
        QByteArray cut = ends;
        cut.chop(2); // its End
        cut += '\x40';
        QByteArray empty = as3Movie({}, "X");
        empty.replace(hex("0613") + hex("01000000") + "X", hex("0513") + hex("01000000"));
        for (QByteArray* movie : {&cut, &empty})
            qToLittleEndian(quint32(movie->size()), movie->data() + 4);
        QTest::newRow("End") << ends << hex("0000");
        QTest::newRow("a tag head cut short") << cut << QByteArray("\x40");
        QTest::newRow("an empty root name") << empty << QByteArray("-");
    }
    void oddFirstFrames() {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, after);
        const auto result = As3Host::rewrite(program);
        QCOMPARE(result.has_value(), after != "-");
        if (!result)
            return;
        const QByteArray symbol = hex("01000000") + As3Host::className("MovieClip").toUtf8() + '\0';
        QVERIFY(result->endsWith(symbol + after));
        QCOMPARE(qFromLittleEndian<quint32>(result->constData() + 4), quint32(result->size()));
    }

    // The root is the first SymbolClass entry that names no character
    // defined before it, as the engine finds it; that entry names the added
    // class, every other stays.
    void theRootAsTheEngineFindsIt_data() {
        QTest::addColumn<QByteArray>("symbols"); // the SymbolClass body
        QTest::addColumn<QByteArray>("after");   // and after the rewrite
        const auto z = [](const char* name) { return QByteArray(name) + '\0'; };
        const QByteArray main = As3Host::className("Main").toUtf8() + '\0';
        const QByteArray clip = As3Host::className("MovieClip").toUtf8() + '\0';
        QTest::newRow("named through another id")
            << hex("01000700") + z("Main") << hex("01000700") + main;
        QTest::newRow("a library symbol first")
            << hex("02000500") + z("Ball") + hex("0000") + z("Main")
            << hex("02000500") + z("Ball") + hex("0000") + main;
        QTest::newRow("the first of two") << hex("02000900") + z("Main") + hex("0000") + z("Ball")
                                          << hex("02000900") + main + hex("0000") + z("Ball");
        QTest::newRow("a library symbol only")
            << hex("01000500") + z("Ball") << hex("01000000") + clip;
    }
    void theRootAsTheEngineFindsIt() {
        QFETCH(QByteArray, symbols);
        QFETCH(QByteArray, after);
        const QList<Abc::ClassInfo> classes{{"Main", "flash.display.MovieClip", 0},
                                            {"Ball", "flash.display.MovieClip", 0}};
        // Sprite 5, of no frames, defined before the SymbolClass.
        const QByteArray program =
            as3Movie(classes, "", Compression::None, 3,
                     {{39, hex("050000000000")}, {Swf::kSymbolClass, symbols}});
        const auto result = As3Host::rewrite(program);
        QVERIFY(result);
        const auto tags = tagsOf(*result);
        const auto last = std::find_if(tags.crbegin(), tags.crend(),
                                       [](const auto& t) { return t.first == Swf::kSymbolClass; });
        QCOMPARE(last->second, after);
    }

    void actions_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("getVariable a")
            << Swf::ActionWriter().pushString("a").getVariable().finished()
            << hex("960300006100 1c 00");
        QTest::newRow("integers") << Swf::ActionWriter().pushInt(-2).pushInt(0x01020304).finished()
                                  << hex("96050007feffffff 960500070403020100");
        QTest::newRow("null and boolean")
            << Swf::ActionWriter().pushNull().pushBool(true).pushBool(false).finished()
            << hex("96010002 9602000501 9602000500 00");
        QTest::newRow("single-byte actions") << Swf::ActionWriter()
                                                    .stop()
                                                    .play()
                                                    .pop()
                                                    .getMember()
                                                    .callMethod()
                                                    .callFunction()
                                                    .returnValue()
                                                    .finished()
                                             << hex("07 06 17 4e 52 3d 3e 00");
        QTest::newRow("UTF-8 string") << Swf::ActionWriter().pushString(QStringLiteral("星")).body()
                                      << hex("96050000e6989f00");
        QTest::newRow("loadMovieNum") << Swf::ActionWriter().getUrl("a.swf", "_level0").finished()
                                      << hex("830e00 612e73776600 5f6c6576656c3000 00");
        const QByteArray body = Swf::ActionWriter().pushInt(1).returnValue().body();
        QTest::newRow("named function")
            << Swf::ActionWriter().defineFunction("f", {"x", "y"}, body).stop().finished()
            << hex("9b0a00 6600 0200 7800 7900 0900 96050007 01000000 3e 07 00");
        QTest::newRow("anonymous function")
            << Swf::ActionWriter().defineFunction("", {}, {}).pop().body()
            << hex("9b0500 00 0000 0000 17");
    }
    void actions() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    }
};

QTEST_GUILESS_MAIN(TestSwf)
#include "tst_swf.moc"
