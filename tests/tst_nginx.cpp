#include "support/LatencyProxy.h"
#include "support/NginxServer.h"

#include "net/ChunkDownload.h"
#include "net/NetworkSetup.h"
#include "net/ProgramDownload.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <optional>

namespace {

using Outcome = ChunkDownload::Outcome;

const QString kFolder = QStringLiteral("kibu01");

// Bytes that differ from position to position, also between positions a
// chunk apart, so a misplaced or repeated chunk shows.
QByteArray content(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((quint32(i) * 2654435761u) >> 24);
    return bytes;
}

// Where two byte arrays part, for a readable failure on megabytes.
QString difference(const QByteArray& actual, const QByteArray& expected) {
    if (actual.size() != expected.size())
        return QStringLiteral("%1 bytes instead of %2").arg(actual.size()).arg(expected.size());
    const auto parted = std::mismatch(actual.cbegin(), actual.cend(), expected.cbegin());
    return QStringLiteral("first wrong byte at %1").arg(parted.first - actual.cbegin());
}

} // namespace

// Our range requests against nginx itself, which answers ranges by its own
// rules rather than by a script: every byte must arrive, in as many requests
// as the chunk size implies, with the Range headers the download is meant
// to send.
class TestNginx : public QObject {
    Q_OBJECT

    std::unique_ptr<NginxServer> m_nginx;
    std::unique_ptr<QNetworkAccessManager> m_network;

    // Puts a program on the server; its URL as the player builds it.
    QUrl publish(const QString& name, const QByteArray& bytes) {
        const QString folder =
            m_nginx->root() + QLatin1Char('/') + kFolder + QStringLiteral("/fla");
        QDir().mkpath(folder);
        QFile f(folder + QLatin1Char('/') + name + QStringLiteral(".swf"));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return {};
        return ProgramDownload::programUrl(m_nginx->baseUrl(), kFolder, name);
    }

    std::optional<Outcome> fetch(const QUrl& url, QByteArray* data) {
        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("out.swf"));
        ChunkDownload download(m_network.get(), url, output);
        download.setRequestLimit(10000);
        QSignalSpy done(&download, &ChunkDownload::finished);
        download.start();
        if (!done.wait(60000))
            return std::nullopt;
        QFile f(output);
        *data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        return done.first().first().value<Outcome>();
    }

    static QString logLine(const QUrl& url, const QString& range, int status) {
        return QStringLiteral("GET %1|%2|%3").arg(url.path(QUrl::FullyEncoded), range).arg(status);
    }

private slots:
    void initTestCase() {
        if (NginxServer::executable().isEmpty())
            QSKIP("nginx is not installed (no nginx on PATH); Debian's nginx-light provides it");
        m_nginx = std::make_unique<NginxServer>();
        QVERIFY2(m_nginx->start(), qPrintable(m_nginx->errorString()));
        m_network = NetworkSetup::makeAccessManager();
    }

    void cleanupTestCase() {
        m_network.reset();
        m_nginx.reset();
    }

    void wholeFileInRanges_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<int>("requests");

        QTest::newRow("1 byte") << QStringLiteral("a") << qint64(1) << 1;
        QTest::newRow("a chunk less one") << QStringLiteral("小星星") << qint64(40960) << 1;
        QTest::newRow("exactly one request") << QStringLiteral("两只 老虎") << qint64(40961) << 1;
        QTest::newRow("one byte more") << QStringLiteral("one more") << qint64(40962) << 2;
        QTest::newRow("exactly two requests") << QStringLiteral("拔萝卜 2") << qint64(81921) << 2;
        QTest::newRow("two requests and a byte")
            << QStringLiteral("two and one") << qint64(81922) << 3;
        QTest::newRow("5 MB") << QStringLiteral("大 动画片") << qint64(5 * 1024 * 1024) << 128;
    }

    void wholeFileInRanges() {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(int, requests);
        const QByteArray bytes = content(size);
        const QUrl url = publish(name, bytes);
        QVERIFY(url.isValid());
        const qsizetype logged = m_nginx->accessLog().size();

        QByteArray data;
        const auto outcome = fetch(url, &data);
        QVERIFY2(outcome, "the download did not end");
        QCOMPARE(*outcome, Outcome::Complete);
        QVERIFY2(data == bytes, qPrintable(difference(data, bytes)));

        // Each request starts at the last byte of the one before.
        QStringList expected;
        for (qint64 i = 0; i < requests; ++i) {
            const qint64 first = i * 40960;
            expected +=
                logLine(url, QStringLiteral("bytes=%1-%2").arg(first).arg(first + 40960), 206);
        }
        // nginx writes a log line just after the answer's last byte.
        QTRY_COMPARE(m_nginx->accessLog().mid(logged), expected);
    }

    // Through a link with a round trip of 40 ms: the requests wait on one
    // connection several at a time, and each range is still asked once.
    void pipelinedOverASlowLink() {
        const QByteArray bytes = content(2 * 1024 * 1024 + 77);
        const QUrl url = publish(QStringLiteral("慢 链接"), bytes);
        LatencyProxy link(QStringLiteral("127.0.0.1"), quint16(url.port()), 20, 0);
        QVERIFY(link.start());
        QUrl viaLink = url;
        viaLink.setPort(link.port());
        const qsizetype logged = m_nginx->accessLog().size();
        QByteArray data;
        const auto outcome = fetch(viaLink, &data);
        QVERIFY2(outcome && *outcome == Outcome::Complete, "the download did not complete");
        QVERIFY2(data == bytes, qPrintable(difference(data, bytes)));
        QStringList expected;
        for (qint64 first = 0; first < bytes.size() - 1; first += 40960)
            expected +=
                logLine(url, QStringLiteral("bytes=%1-%2").arg(first).arg(first + 40960), 206);
        QTRY_COMPARE(m_nginx->accessLog().mid(logged), expected);
        QCOMPARE(link.connections(), 1);
    }

    // Answers without a range end the download after one request.
    void answersWithoutRange_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("status");
        QTest::addColumn<Outcome>("outcome");

        // nginx ignores a Range on an empty file rather than answering 416.
        QTest::newRow("empty file") << true << 200 << Outcome::NoRangeSupport;
        QTest::newRow("missing file") << false << 404 << Outcome::NotFound;
    }

    void answersWithoutRange() {
        QFETCH(bool, present);
        QFETCH(int, status);
        QFETCH(Outcome, outcome);
        const QString name = QStringLiteral("空 %1").arg(QTest::currentDataTag());
        QUrl url = ProgramDownload::programUrl(m_nginx->baseUrl(), kFolder, name);
        if (present)
            url = publish(name, QByteArray());
        QVERIFY(url.isValid());
        const qsizetype logged = m_nginx->accessLog().size();

        QByteArray data = "unchanged";
        const auto result = fetch(url, &data);
        QVERIFY2(result, "the download did not end");
        QCOMPARE(*result, outcome);
        QVERIFY(data.isEmpty());
        QTRY_COMPARE(m_nginx->accessLog().mid(logged),
                     QStringList{logLine(url, QStringLiteral("bytes=0-40960"), status)});
    }
};

QTEST_MAIN(TestNginx)
#include "tst_nginx.moc"
