#include "support/FaultServer.h"

#include "net/ChunkDownload.h"
#include "net/ContentRange.h"
#include "net/FileDownload.h"
#include "net/FileOps.h"
#include "net/PartialFiles.h"
#include "net/ProgramDownload.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

using Outcome = ChunkDownload::Outcome;
using Response = FaultServer::Response;

// Bytes that differ from position to position, so a misplaced chunk shows.
QByteArray content(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(FaultServer::Response)

// The range protocol against a server that misbehaves on request.
class TestDownload : public QObject {
    Q_OBJECT

    std::unique_ptr<FaultServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QTemporaryDir m_dir;

    QUrl fileUrl() const { return QUrl(m_server->baseUrl() + QStringLiteral("f.bin")); }

    // Runs one download to its end; the outcome and the bytes.
    std::pair<Outcome, QByteArray> fetch(int limitMs = 5000) {
        const QString output = m_dir.filePath(QStringLiteral("out.bin"));
        ChunkDownload download(m_network.get(), fileUrl(), output);
        download.setRequestLimit(limitMs);
        QSignalSpy done(&download, &ChunkDownload::finished);
        download.start();
        if (!done.wait(limitMs * 4 + 5000))
            return {Outcome::Unexpected, "<no end>"};
        const Outcome outcome = done.first().first().value<Outcome>();
        return {outcome, outcome == Outcome::Complete ? readFile(output) : QByteArray()};
    }

    QList<QByteArray> ranges() const {
        QList<QByteArray> result;
        for (const auto& r : m_server->requests())
            result.append(r.header("Range"));
        return result;
    }

private slots:
    void init() {
        m_server = std::make_unique<FaultServer>();
        QVERIFY(m_server->listen());
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setProxy(QNetworkProxy::NoProxy);
    }
    void cleanup() {
        m_network.reset();
        m_server.reset();
    }

    void filesArriveInOverlappingRanges_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::newRow("40960") << 40960 << QList<QByteArray>{"bytes=0-40960"};
        QTest::newRow("40961") << 40961 << QList<QByteArray>{"bytes=0-40960"};
        QTest::newRow("40962") << 40962 << QList<QByteArray>{"bytes=0-40960", "bytes=40960-81920"};
        QTest::newRow("one byte") << 1 << QList<QByteArray>{"bytes=0-40960"};
        QTest::newRow("three chunks")
            << 100000
            << QList<QByteArray>{"bytes=0-40960", "bytes=40960-81920", "bytes=81920-122880"};
    }
    void filesArriveInOverlappingRanges() {
        QFETCH(int, size);
        QFETCH(QList<QByteArray>, expected);
        const QByteArray bytes = content(size);
        m_server->serveFile(QStringLiteral("/f.bin"), bytes);
        const auto [outcome, data] = fetch();
        QCOMPARE(outcome, Outcome::Complete);
        QCOMPARE(data, bytes);
        QCOMPARE(ranges(), expected);
        for (const auto& r : m_server->requests())
            QCOMPARE(r.header("Content-Type"), QByteArray("application/octet-stream"));
    }

    void anEmptyFileCompletesOn416() {
        m_server->serveFile(QStringLiteral("/f.bin"), QByteArray());
        const auto [outcome, data] = fetch();
        QCOMPARE(outcome, Outcome::Complete);
        QVERIFY(data.isEmpty());
    }

    void outcomesInTheirOrder_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("403") << FaultServer::status(403) << Outcome::Refused;
        QTest::newRow("404") << FaultServer::status(404) << Outcome::NotFound;
        QTest::newRow("500") << FaultServer::status(500) << Outcome::ServerError;
        QTest::newRow("302 without a target") << FaultServer::status(302) << Outcome::ServerError;
        Response plain = FaultServer::status(200);
        plain.body = content(1000);
        QTest::newRow("200 ignores the range") << plain << Outcome::NoRangeSupport;
        Response bare = FaultServer::status(206);
        bare.body = content(10);
        QTest::newRow("no Content-Range") << bare << Outcome::Unexpected;
        Response star = FaultServer::status(206);
        star.headers = {{"Content-Range", "bytes 0-40960/*"}};
        star.body = content(40961);
        QTest::newRow("total *") << star << Outcome::Unexpected;
        QTest::newRow("another first byte")
            << FaultServer::partial(5, 14, 100, content(10)) << Outcome::NoRangeSupport;
        QTest::newRow("inverted") << FaultServer::partial(0, -1, 100, QByteArray())
                                  << Outcome::NoRangeSupport;
        QTest::newRow("last beyond total")
            << FaultServer::partial(0, 9, 5, content(10)) << Outcome::NoRangeSupport;
        QTest::newRow("body shorter than its range")
            << FaultServer::partial(0, 99, 1000, content(50)) << Outcome::Unexpected;
        Response huge = FaultServer::partial(0, 40960, qint64(2) << 30, content(40961));
        QTest::newRow("more than 1 GiB") << huge << Outcome::Unexpected;
        Response reset;
        reset.resetConnection = true;
        QTest::newRow("reset") << reset << Outcome::Interrupted;
        Response cut = FaultServer::partial(0, 40960, 100000, content(40961));
        cut.truncateBodyAt = 100;
        QTest::newRow("connection closed mid-body") << cut << Outcome::Interrupted;
    }
    void outcomesInTheirOrder() {
        QFETCH(Response, response);
        QFETCH(Outcome, outcome);
        // Qt may send a GET again after a dropped connection; it meets the
        // same answer.
        m_server->setFallback([response](const FaultServer::Request&) { return response; });
        QCOMPARE(fetch().first, outcome);
        for (const QByteArray& range : ranges())
            QCOMPARE(range, QByteArray("bytes=0-40960"));
    }

    void waitingTooLong_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<Outcome>("outcome");
        Response stalled = FaultServer::partial(0, 40960, 100000, content(40961));
        stalled.headerOnlyThenStallMs = 3000;
        QTest::newRow("head but no body") << stalled << Outcome::TimedOut;
        Response notFound = FaultServer::status(404);
        notFound.body = QByteArray(100, 'x');
        notFound.headerOnlyThenStallMs = 3000;
        QTest::newRow("404 head, body late") << notFound << Outcome::NotFound;
        Response silent = FaultServer::status(206);
        silent.delayMs = 3000;
        QTest::newRow("no answer at all") << silent << Outcome::Interrupted;
    }
    void waitingTooLong() {
        QFETCH(Response, response);
        QFETCH(Outcome, outcome);
        m_server->enqueue(response);
        QElapsedTimer t;
        t.start();
        QCOMPARE(fetch(300).first, outcome);
        QVERIFY(t.elapsed() < 2500);
    }

    void aShortAnswerLeavesNoHole() {
        const QByteArray bytes = content(50000);
        m_server->serveFile(QStringLiteral("/f.bin"), bytes);
        m_server->enqueue(FaultServer::partial(0, 999, 50000, bytes.left(1000)));
        const auto [outcome, data] = fetch();
        QCOMPARE(outcome, Outcome::Complete);
        QCOMPARE(data, bytes);
        QCOMPARE(ranges(),
                 (QList<QByteArray>{"bytes=0-40960", "bytes=999-41959", "bytes=41959-82919"}));
    }

    void aFileChangingUnderwayFails() {
        const QByteArray bytes = content(50000);
        m_server->enqueue(FaultServer::partial(0, 40960, 50000, bytes.left(40961)));
        m_server->enqueue(FaultServer::partial(40960, 49999, 60000, bytes.mid(40960)));
        QCOMPARE(fetch().first, Outcome::NoRangeSupport);

        // Refused past the end although bytes are missing: never complete.
        m_server->enqueue(FaultServer::partial(0, 40960, 50000, bytes.left(40961)));
        m_server->enqueue(FaultServer::status(416));
        const auto [outcome, data] = fetch();
        QCOMPARE(outcome, Outcome::Unexpected);
        QVERIFY(data.isEmpty());
    }

    void contentRangeReading() {
        const auto r = ContentRange::parse("bytes 40960-81920/100000");
        QVERIFY(r);
        QCOMPARE(r->first, 40960);
        QCOMPARE(r->last, 81920);
        QCOMPARE(r->total, 100000);
        QVERIFY(r->isConsistent());
        QVERIFY(!ContentRange::parse("bytes 0-40960"));
        QVERIFY(!ContentRange::parse("bytes 0/40960"));
        QVERIFY(!ContentRange::parse("bytes 0-x/5"));
        QVERIFY(!ContentRange::parse(""));
        QVERIFY(!ContentRange::parse("bytes 5-4/10")->isConsistent());
        QVERIFY(!ContentRange::parse("bytes 0-10/10")->isConsistent());
        QVERIFY(!ContentRange::parse("bytes -1-4/10"));
    }

    void aDownloadedFileReplacesTheOldOne() {
        const QString temp = m_dir.filePath(QStringLiteral("guihu2.inb"));
        const QString final = m_dir.filePath(QStringLiteral("guihu.inb"));
        writeFile(final, "old");
        m_server->serveFile(QStringLiteral("/f.bin"), "new mark");
        FileDownload download(m_network.get(), fileUrl(), temp, final);
        QSignalSpy done(&download, &FileDownload::finished);
        download.start();
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(readFile(final), QByteArray("new mark"));
        QVERIFY(!QFile::exists(temp));
    }

    void aFailedFileDownloadKeepsTheOldOne() {
        const QString temp = m_dir.filePath(QStringLiteral("update2.inb"));
        const QString final = m_dir.filePath(QStringLiteral("update.inb"));
        writeFile(final, "1.3.0");
        writeFile(temp, "left over");
        m_server->enqueue(FaultServer::partial(0, 40960, 100000, content(40961)));
        m_server->enqueue(FaultServer::status(503));
        FileDownload download(m_network.get(), fileUrl(), temp, final);
        QSignalSpy done(&download, &FileDownload::finished);
        download.start();
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(final), QByteArray("1.3.0"));
        QVERIFY(!QFile::exists(temp));
    }

    void fileSteps() {
        const QString a = m_dir.filePath(QStringLiteral("a"));
        const QString b = m_dir.filePath(QStringLiteral("b"));
        QVERIFY(FileOps::deleteIfExists(a)); // nothing there
        writeFile(a, "A");
        writeFile(b, "B");
        QVERIFY(FileOps::replaceFile(a, b));
        QCOMPARE(readFile(b), QByteArray("A"));
        QVERIFY(!QFile::exists(a));
        QVERIFY(!FileOps::replaceFile(a, b)); // no source: both stay
        QCOMPARE(readFile(b), QByteArray("A"));
        QVERIFY(FileOps::deleteIfExists(b));
        QVERIFY(!QFile::exists(b));
    }

    // At start-up: parts of programs still listed and touched lately stay;
    // the others, and sizes without their part, go.
    void partsNobodyWillFinishAreRemoved() {
        const QString cache = m_dir.filePath(QStringLiteral("cache/"));
        QDir().mkpath(cache);
        const QDateTime now = QDateTime::currentDateTime();
        auto part = [&](const QString& name, int daysOld) {
            const QString path = PartialFiles::dataPath(cache + name + QStringLiteral(".swf"));
            writeFile(path, "part");
            writeFile(PartialFiles::sizePath(cache + name + QStringLiteral(".swf")), "100");
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(now.addDays(-daysOld), QFileDevice::FileModificationTime));
        };
        part(QStringLiteral("还在"), 2);
        part(QStringLiteral("不在了"), 2);
        part(QStringLiteral("太旧"), 31);
        writeFile(cache + QStringLiteral("孤单.swf.part.size"), "100");
        writeFile(cache + QStringLiteral("节目.swf"), "FWS");
        PartialFiles::cleanUp(cache, {QStringLiteral("还在"), QStringLiteral("太旧")}, now);
        QStringList left = QDir(cache).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral("节目.swf"), QStringLiteral("还在.swf.part"),
                                    QStringLiteral("还在.swf.part.size")}));
    }

    void programUrlsAndPercentages() {
        QCOMPARE(ProgramDownload::programUrl(QStringLiteral("http://dl.test/"),
                                             QStringLiteral("kibu01"), QStringLiteral("小星星 2"))
                     .toString(QUrl::FullyEncoded),
                 QStringLiteral("http://dl.test/kibu01/fla/%E5%B0%8F%E6%98%9F%E6%98%9F%202.swf"));
        QCOMPARE(ProgramDownload::programUrl(QStringLiteral("http://dl.test/"), QString(),
                                             QStringLiteral("a#b"))
                     .toString(QUrl::FullyEncoded),
                 QStringLiteral("http://dl.test//fla/a%23b.swf"));
        QCOMPARE(ProgramDownload::percent(57, 100), 56);
        QCOMPARE(ProgramDownload::percent(40960, 40962), 99);
        QCOMPARE(ProgramDownload::percent(1, 2), 50);
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
