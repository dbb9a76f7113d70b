#include "support/FaultServer.h"
#include "support/TestCa.h"

#include "base/FileOps.h"
#include "net/ChunkDownload.h"
#include "net/ContentRange.h"
#include "net/FileDownload.h"
#include "net/NetworkSetup.h"
#include "net/PartialFiles.h"
#include "net/PipelineDepth.h"
#include "net/PipelinedTransport.h"
#include "net/ProgramDownload.h"
#include "net/QtRangeTransport.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#endif

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

// The answer a server with ranges gives to a request for content.
Response rangeAnswer(const QByteArray& content, const FaultServer::Request& request) {
    const QByteArray range = request.header("Range");
    const qint64 first = range.mid(6, range.indexOf('-') - 6).toLongLong();
    const qint64 last =
        std::min<qint64>(range.mid(range.indexOf('-') + 1).toLongLong(), content.size() - 1);
    if (first >= content.size())
        return FaultServer::status(416);
    return FaultServer::partial(first, last, content.size(), content.mid(first, last - first + 1));
}

QByteArray chunkedEncoding(const QByteArray& body) {
    QByteArray out;
    for (qsizetype at = 0; at < body.size(); at += 10000) {
        const QByteArray piece = body.mid(at, 10000);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return out + "0\r\n\r\n";
}

#ifdef Q_OS_UNIX
// TCP_NODELAY of this process's IPv4 socket from localPort to peerPort, as
// the system has it; -1 when there is none.
int noDelayOf(quint16 localPort, quint16 peerPort) {
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer, size = sizeof(int);
        int on = -1;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 &&
            local.sin_family == AF_INET && ntohs(local.sin_port) == localPort &&
            ntohs(peer.sin_port) == peerPort)
            return ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 ? on : -1;
    }
    return -1;
}
#endif

// A server's change to its n-th ordinary answer (the range asked of the
// content c).
using Script = std::function<void(int n, Response& answer, const QByteArray& c)>;

} // namespace

Q_DECLARE_METATYPE(FaultServer::Response)
Q_DECLARE_METATYPE(Script)

// The range protocol against a server that misbehaves on request.
class TestDownload : public QObject {
    Q_OBJECT

    std::unique_ptr<FaultServer> m_server;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QTemporaryDir m_dir;
    bool m_pipelined = false;
    std::unique_ptr<QTemporaryDir> m_own;
    // An authority the tests trust, and certificates good and bad.
    TestCa m_ca;
    TestCa m_stranger;
    QHash<QString, TestCa::Identity> m_identities;

    // The test's server speaks TLS from now on, with this certificate.
    void serveTls(const QString& identity) {
        m_server = std::make_unique<FaultServer>();
        QVERIFY(
            m_server->listenTls(m_identities[identity].certificate, m_identities[identity].key));
    }

    // What a transport of one kind says of one range request to url.
    QString verdict(bool qtClient, const QUrl& url) {
        const std::unique_ptr<RangeTransport> transport(
            qtClient ? static_cast<RangeTransport*>(new QtRangeTransport(m_network.get(), url))
                     : new PipelinedTransport(url));
        QString said;
        const auto say = [&said](const char* what) { return [&said, what] { said = what; }; };
        connect(transport.get(), &RangeTransport::answered, this, say("answered"));
        connect(transport.get(), &RangeTransport::interrupted, this, say("interrupted"));
        connect(transport.get(), &RangeTransport::unreadable, this, say("unreadable"));
        connect(transport.get(), &RangeTransport::untrusted, this, say("untrusted"));
        transport->ask({{"Range", "bytes=0-40960"}});
        return QTest::qWaitFor([&] { return !said.isEmpty(); }, 10000) ? said : "nothing";
    }

    QUrl fileUrl() const { return QUrl(m_server->baseUrl() + QStringLiteral("f.bin")); }

    // Runs one download to its end; the outcome and the bytes. Whether it
    // set out pipelined goes to m_pipelined.
    std::pair<Outcome, QByteArray> fetch(int limitMs = 5000, const QUrl& url = {}) {
        const QString output = m_dir.filePath(QStringLiteral("out.bin"));
        ChunkDownload download(m_network.get(), url.isEmpty() ? fileUrl() : url, output);
        download.setRequestLimit(limitMs);
        QSignalSpy done(&download, &ChunkDownload::finished);
        download.start();
        m_pipelined = download.pipelining();
        if (!done.wait(limitMs * 4 + 5000))
            return {Outcome::Unexpected, "<no end>"};
        const Outcome outcome = done.first().first().value<Outcome>();
        return {outcome, outcome == Outcome::Complete ? readFile(output) : QByteArray()};
    }

    // A program download of name into the cache folder of a fresh folder of
    // the test's own (m_own), from the test server; *cachePath is where the
    // program goes.
    std::unique_ptr<ProgramDownload> programDownload(const QString& name, QString* cachePath) {
        m_own = std::make_unique<QTemporaryDir>();
        const QString cache = m_own->filePath(QStringLiteral("cache/"));
        QDir().mkpath(cache);
        *cachePath = cache + name + QStringLiteral(".swf");
        return std::make_unique<ProgramDownload>(m_network.get(), m_server->baseUrl(),
                                                 QStringLiteral("k"), cache, name);
    }

    // Starts it and waits for its end: its result, or -1 when none came.
    static int runToEnd(ProgramDownload& download) {
        QSignalSpy done(&download, &ProgramDownload::finished);
        download.start();
        return done.wait(10000) ? done.first().first().toInt() : -1;
    }

    QList<QByteArray> ranges() const {
        QList<QByteArray> result;
        for (const auto& r : m_server->requests())
            result.append(r.header("Range"));
        return result;
    }

private slots:
    void initTestCase() {
        QVERIFY2(m_ca.make() && m_stranger.make(), qPrintable(m_ca.errorString()));
        const QStringList here{QStringLiteral("localhost"), QStringLiteral("127.0.0.1")};
        m_identities = {{"trusted", m_ca.issue(here)},
                        {"self-signed", m_ca.selfSigned(here)},
                        {"another authority's", m_stranger.issue(here)},
                        {"another name's", m_ca.issue({QStringLiteral("dl.example")})}};
        for (const TestCa::Identity& identity : m_identities)
            QVERIFY2(!identity.isNull(), qPrintable(m_ca.errorString()));
        // Only this run's authority; the system's store stays as it is.
        NetworkSetup::trustAlso({m_ca.certificate()});
    }

    void init() {
        m_server = std::make_unique<FaultServer>();
        QVERIFY(m_server->listen());
        m_network = NetworkSetup::makeAccessManager();
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
        stalled.headerOnlyThenStallMs = 60000;
        QTest::newRow("head but no body") << stalled << Outcome::TimedOut;
        Response notFound = FaultServer::status(404);
        notFound.body = QByteArray(100, 'x');
        notFound.headerOnlyThenStallMs = 60000;
        QTest::newRow("404 head, body late") << notFound << Outcome::NotFound;
        Response silent = FaultServer::status(206);
        silent.delayMs = 60000;
        QTest::newRow("no answer at all") << silent << Outcome::Interrupted;
    }
    void waitingTooLong() {
        QFETCH(Response, response);
        QFETCH(Outcome, outcome);
        m_server->enqueue(response);
        // The server keeps still far longer than the fetch waits: only the
        // time-out ends it.
        QCOMPARE(fetch(300).first, outcome);
    }

    // Answers that keep coming, each well within the limit, for longer than
    // the limit in all: the time-out starts again with each.
    void answersThatKeepComing() {
        const QByteArray bytes = content(200000);
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(bytes, r);
            a.delayMs = 500;
            return a;
        });
        QCOMPARE(fetch(1200), std::make_pair(Outcome::Complete, bytes));
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

    // A file that changes between answers cannot be pieced together; a
    // refusal past the end with bytes missing is never complete.
    void aFileChangingUnderwayFails_data() {
        QTest::addColumn<Response>("second");
        QTest::addColumn<Outcome>("outcome");
        const QByteArray bytes = content(100000);
        QTest::newRow("grew") << FaultServer::partial(40960, 81920, 120000, bytes.mid(40960, 40961))
                              << Outcome::NoRangeSupport;
        QTest::newRow("shrank") << FaultServer::partial(40960, 81920, 90000,
                                                        bytes.mid(40960, 40961))
                                << Outcome::NoRangeSupport;
        QTest::newRow("416 with bytes missing") << FaultServer::status(416) << Outcome::Unexpected;
    }
    void aFileChangingUnderwayFails() {
        QFETCH(Response, second);
        QFETCH(Outcome, outcome);
        const QByteArray bytes = content(100000);
        m_server->enqueue(FaultServer::partial(0, 40960, 100000, bytes.left(40961)));
        m_server->enqueue(second);
        m_server->setFallback([&](const FaultServer::Request& r) { return rangeAnswer(bytes, r); });
        const auto [result, data] = fetch();
        QCOMPARE(result, outcome);
        QVERIFY(data.isEmpty());
    }

    // Servers as they are met, on the pipelined path the window takes: the
    // outcome, and whether pipelining is given up for the server. Only
    // answers that cannot be pipelined give it up; Qt's client then goes on
    // at once and says what the Part says of the answer.
    void pipelinedServers_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("givenUp");
        QTest::newRow("ordinary") << Script([](int, Response&, const QByteArray&) {})
                                  << Outcome::Complete << false;
        QTest::newRow("closes every fifth answer") << Script([](int n, Response& a, auto&) {
            if (n % 5 == 4)
                a.headers.append({QByteArray("Connection"), QByteArray("close")});
        }) << Outcome::Complete << false;
        QTest::newRow("reset between answers, once")
            << Script([](int n, Response& a, auto&) { a.resetConnection = n == 3; })
            << Outcome::Complete << false;
        QTest::newRow("100 Continue first")
            << Script([](int, Response& a, auto&) { a.before = "HTTP/1.1 100 Continue\r\n\r\n"; })
            << Outcome::Complete << false;
        QTest::newRow("chunked") << Script([](int, Response& a, auto&) {
            a.headers.append({QByteArray("Transfer-Encoding"), QByteArray("chunked")});
            a.body = chunkedEncoding(a.body);
        }) << Outcome::Complete << true;
        QTest::newRow("an empty Transfer-Encoding, then chunked")
            << Script([](int n, Response& a, auto&) {
                   if (n == 1) {
                       a.body = chunkedEncoding(a.body);
                       a.headers += {{"Transfer-Encoding", ""},
                                     {"Transfer-Encoding", "chunked"},
                                     {"Content-Length", QByteArray::number(a.body.size())}};
                   }
               })
            << Outcome::Complete << true;
        QTest::newRow("two Content-Lengths") << Script([](int n, Response& a, auto&) {
            if (n == 1)
                a.headers += {{"Content-Length", QByteArray::number(a.body.size())},
                              {"Content-Length", QByteArray::number(a.body.size() + 1)}};
        }) << Outcome::Complete << true;
        const auto whole = [](Response& a, int status, const QByteArray& body) {
            a = FaultServer::status(status);
            a.body = body;
        };
        QTest::newRow("200 to a later range") << Script([=](int n, Response& a, auto& c) {
            if (n > 0)
                whole(a, 200, c);
        }) << Outcome::NoRangeSupport << true;
        QTest::newRow("a large 503 page")
            << Script([=](int, Response& a, auto&) { whole(a, 503, QByteArray(200000, 'x')); })
            << Outcome::ServerError << false;
        QTest::newRow("a large 200 first")
            << Script([=](int, Response& a, auto& c) { whole(a, 200, c); })
            << Outcome::NoRangeSupport << false;
        QTest::newRow("a later answer far over its size") << Script([](int n, Response& a,
                                                                       auto& c) {
            if (n == 1)
                a = FaultServer::partial(40960, 40960 + 999999, c.size(), c.mid(40960, 1000000));
        }) << Outcome::NoRangeSupport << false;
    }
    void pipelinedServers() {
        QFETCH(Script, script);
        QFETCH(Outcome, outcome);
        QFETCH(bool, givenUp);
        const QByteArray bytes = content(1500000);
        int n = 0;
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(bytes, r);
            script(n++, a, bytes);
            return a;
        });
        const auto [result, data] = fetch();
        QVERIFY(m_pipelined);
        QCOMPARE(result, outcome);
        QVERIFY(data == (outcome == Outcome::Complete ? bytes : QByteArray()));
        QCOMPARE(ChunkDownload::pipeliningRefused(fileUrl()), givenUp);
    }

    // Nothing answers: an interruption, worth another try, and no verdict on
    // the server.
    void aRefusedConnectionIsAnInterruption() {
        const QUrl closed(QStringLiteral("http://127.0.0.1:9/f.bin"));
        QCOMPARE(fetch(5000, closed).first, Outcome::Interrupted);
        QVERIFY(!ChunkDownload::pipeliningRefused(closed));
    }

    // Over TLS each transport brings the whole file: pipelined, on one
    // connection with several requests waiting; or Qt's client, once the
    // server's first answer was one a pipeline cannot read.
    void bothTransportsOverTls_data() {
        QTest::addColumn<bool>("qtClient");
        QTest::newRow("pipelined") << false;
        QTest::newRow("Qt's client") << true;
    }
    void bothTransportsOverTls() {
        QFETCH(bool, qtClient);
        serveTls(QStringLiteral("trusted"));
        const QByteArray bytes = content(1500000);
        int n = 0;
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(bytes, r);
            if (qtClient && n++ == 0) {
                a.headers.append({QByteArray("Transfer-Encoding"), QByteArray("chunked")});
                a.body = chunkedEncoding(a.body);
            }
            return a;
        });
        const auto [outcome, data] = fetch();
        QCOMPARE(outcome, Outcome::Complete);
        QVERIFY(data == bytes);
        QCOMPARE(ChunkDownload::pipeliningRefused(fileUrl()), qtClient);
        QCOMPARE(m_server->requests().size(), (qtClient ? 1 : 0) + 37);
        if (qtClient) {
            QCOMPARE(m_server->mostWaiting(), 1);
            QVERIFY(m_server->requests().last().connection > 0);
        } else {
            QCOMPARE(m_server->connectionCount(), 1);
            QVERIFY(m_server->mostWaiting() > 1);
        }
    }

    // A secure connection that cannot be made is a refusal, on either
    // transport, told apart from a link that failed; it is tried once.
    void refusedSecureConnections_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("qtClient");
        QTest::addColumn<QString>("verdict");
        for (const bool qtClient : {false, true}) {
            const char* via = qtClient ? "Qt's client" : "pipelined";
            for (const char* certificate : {"self-signed", "another authority's", "another name's"})
                QTest::addRow("%s, %s certificate", via, certificate)
                    << QString::fromLatin1(certificate) << qtClient << "untrusted";
            QTest::addRow("%s, plain HTTP on the port", via) << "plain" << qtClient << "untrusted";
            QTest::addRow("%s, trusted", via) << "trusted" << qtClient << "answered";
            QTest::addRow("%s, nothing listens", via) << "none" << qtClient << "interrupted";
        }
    }
    void refusedSecureConnections() {
        QFETCH(QString, server);
        QFETCH(bool, qtClient);
        QFETCH(QString, verdict);
        if (m_identities.contains(server))
            serveTls(server);
        m_server->serveFile(QStringLiteral("/f.bin"), content(50000));
        QUrl url = server == QLatin1String("none") ? QUrl(QStringLiteral("https://127.0.0.1:9/"))
                                                   : fileUrl();
        url.setScheme(QStringLiteral("https"));
        QCOMPARE(this->verdict(qtClient, url), verdict);
        // Nothing was asked of a server that was not trusted, and nothing
        // was tried twice.
        QCOMPARE(m_server->requests().size(), verdict == QLatin1String("answered") ? 1 : 0);
        QVERIFY(m_server->handshakeCount() <= 1 && m_server->connectionCount() <= 1);
    }

    // A server that shows another certificate once it has closed a
    // connection: the next connection is refused, once, and the download
    // ends as refused, not as a break worth going on from at once.
    void aCertificateRefusedOnANewConnectionEndsTheDownload() {
        serveTls(QStringLiteral("trusted"));
        const QByteArray bytes = content(1500000);
        int n = 0;
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(bytes, r);
            if (n++ == 4) {
                a.headers.append({QByteArray("Connection"), QByteArray("close")});
                m_server->setCertificate(m_identities["self-signed"].certificate,
                                         m_identities["self-signed"].key);
            }
            return a;
        });
        QCOMPARE(fetch().first, Outcome::Untrusted);
        QCOMPARE(m_server->handshakeCount(), 2);
        QCOMPARE(m_server->connectionCount(), 1);
        QVERIFY(!ChunkDownload::pipeliningRefused(fileUrl()));
    }

#ifdef Q_OS_UNIX
    // Pipelined requests leave at once (TCP_NODELAY, read back from the
    // socket), also when the address is a host name that must be looked up.
    // Qt keeps a name it has looked up for a minute, so only the first row
    // with the name meets the lookup: the shipped scheme's.
    void requestsGoOutWithoutDelay_data() {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("host");
        for (const char* host : {"localhost", "127.0.0.1"})
            for (const bool tls : {true, false})
                QTest::addRow("%s, %s", tls ? "https" : "http", host) << tls << host;
    }
    void requestsGoOutWithoutDelay() {
        QFETCH(bool, tls);
        QFETCH(QString, host);
        if (tls)
            serveTls(QStringLiteral("trusted"));
        m_server->serveFile(QStringLiteral("/f.bin"), content(100000));
        QList<int> noDelay;
        connect(m_server.get(), &FaultServer::requestReceived, this, [&](int i) {
            noDelay.append(noDelayOf(m_server->requests().at(i).clientPort, m_server->port()));
        });
        QCOMPARE(fetch(5000, QUrl(m_server->baseUrl(host) + QStringLiteral("f.bin"))).first,
                 Outcome::Complete);
        QVERIFY(m_pipelined);
        QCOMPARE(noDelay, QList<int>(3, 1));
    }
#endif

    // A stall in the middle of an answer while others wait behind it ends
    // the download at the limit, long before the server would go on.
    void aStallMidPipelineTimesOut() {
        const QByteArray bytes = content(1000000);
        int n = 0;
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(bytes, r);
            if (n++ == 4)
                a.headerOnlyThenStallMs = 60000;
            return a;
        });
        QCOMPARE(fetch(500).first, Outcome::TimedOut);
    }

    // A file replaced by one of the same size while it downloads: every
    // request after the first names the file begun (If-Range), every answer
    // is checked, and the download starts over once with the new file; a
    // file that changes again ends it. Never a splice of two files.
    void aFileThatChangesIsNeverSpliced_data() {
        QTest::addColumn<QList<int>>("changesAt"); // requests from which the next version serves
        QTest::addColumn<bool>("honoursIfRange");  // or answers the range of the new file
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("once, the whole new file") << QList<int>{2} << true << Outcome::Complete;
        QTest::newRow("once, a range of the new file")
            << QList<int>{2} << false << Outcome::Complete;
        QTest::newRow("twice") << QList<int>{2, 8} << true << Outcome::Interrupted;
    }
    void aFileThatChangesIsNeverSpliced() {
        QFETCH(QList<int>, changesAt);
        QFETCH(bool, honoursIfRange);
        QFETCH(Outcome, outcome);
        QList<QByteArray> versions;
        for (int v = 0; v < 3; ++v)
            versions.append(content(200000).replace(0, 8, QByteArray(8, char('a' + v))));
        int n = 0;
        m_server->setFallback([&](const FaultServer::Request& r) {
            const int v = int(std::count_if(changesAt.cbegin(), changesAt.cend(),
                                            [&](int at) { return n >= at; }));
            ++n;
            const QByteArray etag = '"' + QByteArray::number(v) + '"';
            Response a = rangeAnswer(versions[v], r);
            if (honoursIfRange && !r.header("If-Range").isEmpty() && r.header("If-Range") != etag) {
                a = FaultServer::status(200);
                a.body = versions[v];
            }
            a.headers.append({"ETag", etag});
            return a;
        });
        const auto [result, data] = fetch();
        QCOMPARE(result, outcome);
        if (outcome == Outcome::Complete)
            QVERIFY(data == versions[1]);
        const auto requests = m_server->requests();
        QCOMPARE(requests.first().header("If-Range"), QByteArray());
        QCOMPARE(requests.at(1).header("If-Range"), QByteArray("\"0\""));
    }

    // A part left by an earlier download is gone on from only when the
    // server still has the very file it was taken from; otherwise the
    // download starts over.
    void resumingNeverSplices_data() {
        QTest::addColumn<QByteArray>("recorded"); // the side file
        QTest::addColumn<QByteArray>("etag");     // the server's now
        QTest::addColumn<int>("serverSize");
        QTest::addColumn<QByteArray>("firstRange");
        QTest::addColumn<int>("requests");
        const QByteArray resumed = "bytes=81920-122880";
        QTest::newRow("the same file") << QByteArray("300000\netag \"v1\"\n")
                                       << QByteArray("\"v1\"") << 300000 << resumed << 6;
        QTest::newRow("replaced, same size") << QByteArray("300000\netag \"v1\"\n")
                                             << QByteArray("\"v2\"") << 300000 << resumed << 9;
        QTest::newRow("replaced, the server gives no validator")
            << QByteArray("300000\netag \"v1\"\n") << QByteArray() << 300000 << resumed << 9;
        QTest::newRow("shorter now: 416")
            << QByteArray("300000\netag \"v1\"\n") << QByteArray("\"v1\"") << 50000 << resumed << 3;
        QTest::newRow("no validator recorded") << QByteArray("300000\n") << QByteArray("\"v1\"")
                                               << 300000 << QByteArray("bytes=0-40960") << 8;
    }
    void resumingNeverSplices() {
        QFETCH(QByteArray, recorded);
        QFETCH(QByteArray, etag);
        QFETCH(int, serverSize);
        QFETCH(QByteArray, firstRange);
        QFETCH(int, requests);
        QString cachePath;
        const auto download = programDownload(QStringLiteral("节目"), &cachePath);
        const QByteArray old = content(300000);
        // The new file differs from the old one at every byte.
        QByteArray now = content(serverSize);
        if (etag != "\"v1\"" || serverSize != 300000)
            for (char& c : now)
                c = char(~c);
        writeFile(PartialFiles::dataPath(cachePath), old.left(81921));
        writeFile(PartialFiles::sizePath(cachePath), recorded);
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(now, r);
            if (!etag.isEmpty())
                a.headers.append({QByteArray("ETag"), etag});
            return a;
        });
        QCOMPARE(runToEnd(*download), int(ProgramDownload::Result::Complete));
        QVERIFY(readFile(cachePath) == now);
        QCOMPARE(ranges().first(), firstRange);
        QCOMPARE(ranges().size(), requests);
        QVERIFY(!QFile::exists(PartialFiles::dataPath(cachePath)));
        QVERIFY(!QFile::exists(PartialFiles::sizePath(cachePath)));
    }

    // A start over records the new file's size and validators before its
    // first byte: a part never stands beside another file's.
    void aStartOverIsRecordedAtOnce() {
        QString cachePath;
        const auto download = programDownload(QStringLiteral("a"), &cachePath);
        writeFile(PartialFiles::dataPath(cachePath), content(81921));
        writeFile(PartialFiles::sizePath(cachePath), "300000\netag \"v1\"\n");
        const QByteArray now = content(400000);
        m_server->setFallback([&](const FaultServer::Request& r) {
            Response a = rangeAnswer(now, r);
            a.headers.append({QByteArray("ETag"), QByteArray("\"v2\"")});
            a.delayMs = r.header("Range").startsWith("bytes=0-") ? 5000 : 0;
            return a;
        });
        download->start();
        QTRY_COMPARE(ranges().size(), 2);
        QCOMPARE(readFile(PartialFiles::sizePath(cachePath)), QByteArray("400000\netag \"v2\"\n"));
        QCOMPARE(QFileInfo(PartialFiles::dataPath(cachePath)).size(), 0);
        QCOMPARE(PartialFiles::resumePoint(cachePath, ChunkDownload::kChunkSize).from, 0);
    }

    // What stands under a part's names is never followed: links and pipes
    // are replaced by plain files, a folder is refused with its reason, and
    // a complete part of any size is renamed into place without a request.
    void partFilesArePlainFiles_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("result");
        using R = ProgramDownload::Result;
        QTest::newRow("part links outside") << "part link" << int(R::Complete);
        QTest::newRow("side file links outside") << "side link" << int(R::Complete);
        QTest::newRow("cache file a dangling link") << "cache link" << int(R::Complete);
        QTest::newRow("part a pipe") << "part pipe" << int(R::Complete);
        QTest::newRow("part a folder") << "part folder" << int(R::CannotSave);
        QTest::newRow("complete part, two whole chunks") << "complete 81920" << int(R::Complete);
        QTest::newRow("complete part, any size") << "complete 50001" << int(R::Complete);
    }
    void partFilesArePlainFiles() {
        QFETCH(QString, what);
        QFETCH(int, result);
        QString cachePath;
        const auto download = programDownload(QStringLiteral("p"), &cachePath);
        const QString outside = m_own->filePath(QStringLiteral("outside"));
        writeFile(outside, "100\netag \"x\"\n");
        const QString part = PartialFiles::dataPath(cachePath);
        QByteArray bytes = content(90000);
        if (what == QLatin1String("part link"))
            QVERIFY(QFile::link(outside, part));
        else if (what == QLatin1String("side link"))
            QVERIFY(QFile::link(outside, PartialFiles::sizePath(cachePath)));
        else if (what == QLatin1String("cache link"))
            QVERIFY(QFile::link(outside + QStringLiteral(".new"), cachePath));
        else if (what == QLatin1String("part folder"))
            QVERIFY(QDir().mkpath(part));
        else if (what.startsWith(QLatin1String("complete"))) {
            bytes = content(what.section(u' ', 1).toInt());
            writeFile(part, bytes);
            writeFile(PartialFiles::sizePath(cachePath), QByteArray::number(bytes.size()));
        }
#ifdef Q_OS_UNIX
        else if (what == QLatin1String("part pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(part).constData(), 0600), 0);
#endif
        m_server->setFallback([&](const FaultServer::Request& r) { return rangeAnswer(bytes, r); });
        QCOMPARE(runToEnd(*download), result);
        QCOMPARE(readFile(outside), QByteArray("100\netag \"x\"\n"));
        QVERIFY(!QFile::exists(outside + QStringLiteral(".new")));
        if (result == int(ProgramDownload::Result::Complete)) {
            QVERIFY(readFile(cachePath) == bytes);
            QVERIFY(FileOps::isPlainFile(cachePath));
        } else {
            QVERIFY(download->saveProblem().contains(QStringLiteral("无法保存")));
            QVERIFY(QFileInfo(part).isDir());
        }
        if (what.startsWith(QLatin1String("complete")))
            QVERIFY(m_server->requests().isEmpty());
    }

    // Ended before its start has run its course, a download says so once.
    void aCancelBeforeTheStartEndsOnce_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("unsafe name") << QStringLiteral("../x");
        QTest::newRow("cache cannot be written") << QStringLiteral("no folder/x");
    }
    void aCancelBeforeTheStartEndsOnce() {
        QFETCH(QString, name);
        ProgramDownload download(m_network.get(), m_server->baseUrl(), QStringLiteral("k"),
                                 m_dir.filePath(QStringLiteral("missing/")), name);
        QSignalSpy done(&download, &ProgramDownload::finished);
        download.start();
        download.cancel();
        QTest::qWait(100);
        QCOMPARE(done.size(), 1);
    }

    // The depth follows the link: doubling while it is what limits the rate,
    // settling at twice the bandwidth-delay product, within its bounds.
    void pipelineDepthFollowsTheLink_data() {
        QTest::addColumn<double>("roundTripMs");
        QTest::addColumn<double>("bytesPerSecond");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        QTest::newRow("loopback") << 0.2 << 5e8 << PipelineDepth::kMin << 8;
        QTest::newRow("50 ms, 32 Mbit/s") << 50.0 << 4e6 << 11 << 14;
        QTest::newRow("200 ms, 32 Mbit/s") << 200.0 << 4e6 << 40 << 44;
        QTest::newRow("1 s, 1 Gbit/s")
            << 1000.0 << 1.25e8 << PipelineDepth::kMax << PipelineDepth::kMax;
        QTest::newRow("no round trip measured")
            << -1.0 << 4e6 << PipelineDepth::kStart << PipelineDepth::kStart;
    }
    void pipelineDepthFollowsTheLink() {
        QFETCH(double, roundTripMs);
        QFETCH(double, bytesPerSecond);
        QFETCH(int, least);
        QFETCH(int, most);
        const qint64 answer = ChunkDownload::kChunkSize + 1;
        PipelineDepth depth(answer);
        if (roundTripMs > 0)
            depth.roundTrip(qint64(roundTripMs * 1e6));
        // Answers come one round trip apart per depth's worth, or as fast as
        // the link carries them, whichever is slower.
        double at = 0;
        for (int i = 0; i < 2000; ++i) {
            at += std::max(std::max(roundTripMs, 0.0) * 1e6 / depth.depth(),
                           double(answer) / bytesPerSecond * 1e9);
            depth.answered(qint64(at), answer);
        }
        QVERIFY2(depth.depth() >= least && depth.depth() <= most,
                 qPrintable(QString::number(depth.depth())));
    }

    // The program's own set-up decides per address whether requests go
    // straight to the server, as the window does.
    void straightOnlyWithoutAProxy_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("managerProxy");
        QTest::addColumn<int>("applicationProxy");
        QTest::addColumn<bool>("straight");
        const QString loopback = QStringLiteral("http://127.0.0.1:8080/a.swf");
        const QString remote = QStringLiteral("http://dl.example/a.swf");
        QTest::newRow("loopback, nothing set")
            << loopback << int(QNetworkProxy::DefaultProxy) << -1 << true;
        QTest::newRow("loopback, an application proxy")
            << loopback << int(QNetworkProxy::DefaultProxy) << int(QNetworkProxy::HttpProxy)
            << true;
        QTest::newRow("the manager's own none")
            << remote << int(QNetworkProxy::NoProxy) << int(QNetworkProxy::HttpProxy) << true;
        QTest::newRow("the manager's own proxy")
            << remote << int(QNetworkProxy::HttpProxy) << -1 << false;
        QTest::newRow("an application proxy") << remote << int(QNetworkProxy::DefaultProxy)
                                              << int(QNetworkProxy::Socks5Proxy) << false;
    }
    void straightOnlyWithoutAProxy() {
        QFETCH(QString, url);
        QFETCH(int, managerProxy);
        QFETCH(int, applicationProxy);
        QFETCH(bool, straight);
        const auto network = NetworkSetup::makeAccessManager();
        if (managerProxy != QNetworkProxy::DefaultProxy)
            network->setProxy(QNetworkProxy(QNetworkProxy::ProxyType(managerProxy),
                                            QStringLiteral("127.0.0.1"), 3128));
        const auto restore = qScopeGuard([] {
            QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
            QNetworkProxyFactory::setUseSystemConfiguration(true);
        });
        if (applicationProxy >= 0)
            QNetworkProxy::setApplicationProxy(QNetworkProxy(
                QNetworkProxy::ProxyType(applicationProxy), QStringLiteral("127.0.0.1"), 3128));
        QCOMPARE(NetworkSetup::goesStraight(*network, QUrl(url)), straight);
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
