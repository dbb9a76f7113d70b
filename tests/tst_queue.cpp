#include "support/FaultServer.h"
#include "support/FormHarness.h"
#include "support/TestCa.h"

#include "catalogue/TextFile.h"
#include "net/NetworkSetup.h"

#include <QNetworkAccessManager>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

namespace {

const QString kList = QStringLiteral("cons/b01.inb");
// The shipped server-address field gives the folder "klmdef".
const QString kFolderPath = QStringLiteral("/klmdef/fla/");

QByteArray movie(int size) {
    QByteArray bytes(size, 'm');
    bytes.replace(0, 3, "FWS");
    return bytes;
}

// An answer to a range request for content, as a server with ranges gives it.
FaultServer::Response rangeAnswer(const QByteArray& content, const QByteArray& range) {
    const QByteArray spec = range.mid(range.indexOf('=') + 1);
    const qint64 first = spec.left(spec.indexOf('-')).toLongLong();
    const qint64 last =
        std::min<qint64>(spec.mid(spec.indexOf('-') + 1).toLongLong(), content.size() - 1);
    return FaultServer::partial(first, last, content.size(), content.mid(first, last - first + 1));
}

enum class Fault {
    Refused,
    NotFound,
    ServerError,
    WholeFile,
    NoContentRange,
    UnknownTotal,
    GarbledRange,
    WrongFirstByte,
    ShortBody,
    ClosedMidBody,
    Reset,
    Stalled,
    StalledLater,
    PastTheEndTooEarly,
};

} // namespace

Q_DECLARE_METATYPE(Fault)

// The program download queue in the window, against a local server.
class TestQueue : public QObject {
    Q_OBJECT

    struct Setup {
        FaultServer server;
        std::unique_ptr<QNetworkAccessManager> network = NetworkSetup::makeAccessManager();
        FormHarness h;
        Form1* f = nullptr;

        // Over TLS when given a certificate.
        explicit Setup(const QStringList& programs,
                       const TestCa::Identity& tls = TestCa::Identity()) {
            if (tls.isNull())
                server.listen();
            else
                server.listenTls(tls.certificate, tls.key);
            h.folder.writeList(kList, programs);
            h.downloadBase = server.baseUrl();
            h.network = network.get();
            h.requestLimitMs = 1000;
            f = h.load();
        }
        QString cached(const QString& name) const {
            return h.folder.path(QStringLiteral("res/fla/") + name + QStringLiteral(".swf"));
        }
    };

private slots:
    void aMissingProgramDownloadsAndPlays() {
        Setup s({QStringLiteral("小星星"), QStringLiteral("两只老虎")});
        const QByteArray bytes = movie(90000);
        s.server.serveFile(kFolderPath + QStringLiteral("两只老虎.swf"), bytes);
        QStringList seen;
        connect(s.f->List1->model(), &QAbstractItemModel::dataChanged, &s.server, [&] {
            const QString text = s.f->List1->item(1)->text();
            if (seen.isEmpty() || seen.last() != text)
                seen.append(text);
        });
        QByteArray placeholder = "<none>";
        connect(&s.server, &FaultServer::requestReceived, &s.server, [&](int) {
            if (placeholder == "<none>") {
                QFile f(s.cached(QStringLiteral("两只老虎")));
                placeholder = f.open(QIODevice::ReadOnly) ? f.readAll() : "<missing>";
            }
        });

        s.f->List1->setCurrentRow(1);
        QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("开始下载"));
        QTRY_COMPARE(s.f->List2->count(), 0);

        // Empty while it downloads, complete at the end.
        QCOMPARE(placeholder, QByteArray());
        QCOMPARE(seen, (QStringList{QStringLiteral("准备下载"), QStringLiteral("开始下载"),
                                    QStringLiteral("正在下载 45%"), QStringLiteral("正在下载 91%"),
                                    QStringLiteral("正在下载 99%"), QStringLiteral("  两只老虎")}));
        QFile cached(s.cached(QStringLiteral("两只老虎")));
        QVERIFY(cached.open(QIODevice::ReadOnly));
        QCOMPARE(cached.readAll(), bytes);
        QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("  两只老虎"));
        QCOMPARE(s.f->selectedRow(), 1);
        QCOMPARE(s.h.player.movies.mid(1),
                 (QStringList{QStringLiteral("http://"), s.cached(QStringLiteral("两只老虎"))}));
        QVERIFY(s.h.player.isPlaying);
        QCOMPARE(TextFile::readLines(s.h.folder.path(QStringLiteral("cons/lishi.inb"))).lines,
                 QStringList{QStringLiteral("两只老虎")});
        QVERIFY(s.h.notifier.notices.isEmpty());
        // The name travels percent-encoded as UTF-8.
        QCOMPARE(s.server.requests().first().path,
                 QByteArray("/klmdef/fla/%E4%B8%A4%E5%8F%AA%E8%80%81%E8%99%8E.swf"));
    }

    void aStarInsideTheNameStaysInTheRowAndTheHistory() {
        const QString name = QStringLiteral("儿歌*精选 *2");
        Setup s({name});
        s.server.serveFile(kFolderPath + name + QStringLiteral(".swf"), movie(100));
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("  ") + name);
        QCOMPARE(TextFile::readLines(s.h.folder.path(QStringLiteral("cons/lishi.inb"))).lines,
                 QStringList{name});
        QVERIFY(QFileInfo(s.cached(name)).isFile());
    }

    void clicksQueueInOrderAndOneFailureDoesNotStopTheRest() {
        Setup s({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        // 乙 is answered with a server error.
        s.server.enqueue(FaultServer::partial(0, 99, 100, movie(100))); // 甲
        s.server.enqueue(FaultServer::status(503));                     // 乙
        s.server.enqueue(FaultServer::partial(0, 99, 100, movie(100))); // 丙

        s.f->List1->setCurrentRow(0);
        s.f->List1->setCurrentRow(1);
        s.f->List1->setCurrentRow(2);
        QCOMPARE(rowTexts(s.f->List1),
                 (QStringList{QStringLiteral("开始下载"), QStringLiteral("准备下载"),
                              QStringLiteral("准备下载")}));
        QCOMPARE(s.f->List2->count(), 3);
        QTRY_COMPARE(s.f->List2->count(), 0);

        QStringList order;
        for (const auto& r : s.server.requests())
            order.append(r.decodedPath.section(u'/', -1));
        QCOMPARE(order, (QStringList{QStringLiteral("甲.swf"), QStringLiteral("乙.swf"),
                                     QStringLiteral("丙.swf")}));
        QCOMPARE(rowTexts(s.f->List1), (QStringList{QStringLiteral("  甲"), QStringLiteral("* 乙"),
                                                    QStringLiteral("  丙")}));
        // Others waited behind the failing one: no message for it.
        QVERIFY(s.h.notifier.notices.isEmpty());
        QVERIFY(!QFile::exists(s.cached(QStringLiteral("乙"))));
        QCOMPARE(s.f->selectedRow(), 2);
    }

    void eachFailureSaysWhy_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("403") << 403 << QStringLiteral("连接数过多");
        QTest::newRow("500 alone") << 500 << QStringLiteral("网络繁忙或不畅,请再试");
        QTest::newRow("200") << 200 << QStringLiteral("不支持断点续传");
    }
    void eachFailureSaysWhy() {
        QFETCH(int, status);
        QFETCH(QString, message);
        Setup s({QStringLiteral("小燕子")});
        FaultServer::Response r = FaultServer::status(status);
        r.body = "x";
        s.server.enqueue(r);
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.h.notifier.notices, QStringList{message});
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 小燕子"));
        QVERIFY(!QFile::exists(s.cached(QStringLiteral("小燕子"))));
        QCOMPARE(s.h.player.movie(), QStringLiteral("http://"));
    }

    // Each way a download can fail, with a second program queued behind it:
    // the message, the row put back, no cache file, and the queue going on.
    void everyFailureLeavesTheQueueGoing_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("403") << Fault::Refused << QStringLiteral("连接数过多");
        QTest::newRow("404") << Fault::NotFound << QStringLiteral("文件无法找到");
        QTest::newRow("500, another waiting") << Fault::ServerError << QString();
        QTest::newRow("200 to a range") << Fault::WholeFile << QStringLiteral("不支持断点续传");
        QTest::newRow("no Content-Range")
            << Fault::NoContentRange << QStringLiteral("无法获取文件大小！");
        QTest::newRow("total *") << Fault::UnknownTotal << QString();
        QTest::newRow("garbled Content-Range") << Fault::GarbledRange << QString();
        QTest::newRow("wrong first byte")
            << Fault::WrongFirstByte << QStringLiteral("不支持断点续传");
        QTest::newRow("short 206") << Fault::ShortBody << QString();
        QTest::newRow("closed mid-body") << Fault::ClosedMidBody << QString();
        QTest::newRow("reset") << Fault::Reset << QString();
        QTest::newRow("stall past the limit") << Fault::Stalled << QStringLiteral("下载文件超时");
        QTest::newRow("stall mid-answer, others waiting")
            << Fault::StalledLater << QStringLiteral("下载文件超时");
        QTest::newRow("416 with bytes missing") << Fault::PastTheEndTooEarly << QString();
    }
    void everyFailureLeavesTheQueueGoing() {
        QFETCH(Fault, fault);
        QFETCH(QString, message);
        Setup s({QStringLiteral("坏"), QStringLiteral("好")});
        const QByteArray good = movie(50000);
        const QByteArray bad = movie(100000);
        int badRequests = 0;
        s.server.setFallback([&](const FaultServer::Request& r) {
            if (r.decodedPath.endsWith(QStringLiteral("好.swf")))
                return rangeAnswer(good, r.header("Range"));
            if (!r.decodedPath.endsWith(QStringLiteral("坏.swf")))
                return FaultServer::status(404);
            ++badRequests;
            FaultServer::Response a = rangeAnswer(bad, r.header("Range"));
            switch (fault) {
            case Fault::Refused:
                return FaultServer::status(403);
            case Fault::NotFound:
                return FaultServer::status(404);
            case Fault::ServerError:
                return FaultServer::status(500);
            case Fault::WholeFile: {
                FaultServer::Response whole = FaultServer::status(200);
                whole.body = bad;
                return whole;
            }
            case Fault::NoContentRange:
                a.headers.clear();
                return a;
            case Fault::UnknownTotal:
                a.headers = {{"Content-Range", QByteArray("bytes 0-40960/*")}};
                return a;
            case Fault::GarbledRange:
                a.headers = {{"Content-Range", QByteArray("bytes zero to all")}};
                return a;
            case Fault::WrongFirstByte:
                return FaultServer::partial(5, 40965, bad.size(), bad.mid(5, 40961));
            case Fault::ShortBody:
                a.body.chop(1000);
                return a;
            case Fault::ClosedMidBody:
                a.truncateBodyAt = 1000;
                return a;
            case Fault::Reset:
                a.resetConnection = true;
                return a;
            case Fault::Stalled:
                a.headerOnlyThenStallMs = 3000;
                return a;
            case Fault::StalledLater:
                if (badRequests == 2)
                    a.headerOnlyThenStallMs = 3000;
                return a;
            case Fault::PastTheEndTooEarly:
                return badRequests == 1 ? a : FaultServer::status(416);
            }
            return a;
        });

        s.f->List1->setCurrentRow(0);
        s.f->List1->setCurrentRow(1);
        QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("准备下载"));
        QTRY_COMPARE_WITH_TIMEOUT(s.f->List2->count(), 0, 8000);

        QCOMPARE(s.h.notifier.notices, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 坏"));
        QVERIFY(!QFile::exists(s.cached(QStringLiteral("坏"))));
        QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("  好"));
        QFile cached(s.cached(QStringLiteral("好")));
        QVERIFY(cached.open(QIODevice::ReadOnly));
        QCOMPARE(cached.readAll(), good);
        QVERIFY(s.h.player.movie().endsWith(QStringLiteral("好.swf")));
    }

    // A download server whose certificate is refused: the message once per
    // click, also for a whole category; each program tried once, the rows
    // keeping their mark, and nothing left in the cache folder.
    void aRefusedCertificateSaysSoOncePerClick_data() {
        QTest::addColumn<bool>("wholeCategory");
        QTest::newRow("one program") << false;
        QTest::newRow("the whole category") << true;
    }
    void aRefusedCertificateSaysSoOncePerClick() {
        QFETCH(bool, wholeCategory);
        TestCa ca;
        const TestCa::Identity stranger = ca.selfSigned({QStringLiteral("127.0.0.1")});
        QVERIFY2(!stranger.isNull(), qPrintable(ca.errorString()));
        Setup s({QStringLiteral("小兔子"), QStringLiteral("大象")}, stranger);
        const QString message = QStringLiteral("下载服务器的安全证书无法验证，节目没有下载。"
                                               "请检查电脑的日期和时间是否正确。");
        for (int click = 1; click <= 2; ++click) {
            if (wholeCategory)
                s.f->file1_5_Click();
            else
                s.f->selectRow(0);
            QTRY_COMPARE(s.f->List2->count(), 0);
            QCOMPARE(s.h.notifier.notices, QStringList(click, message));
            QCOMPARE(s.server.handshakeCount(), click * (wholeCategory ? 2 : 1));
        }
        QCOMPARE(rowTexts(s.f->List1),
                 (QStringList{QStringLiteral("* 小兔子"), QStringLiteral("* 大象")}));
        QCOMPARE(QDir(s.h.folder.path(QStringLiteral("res/fla"))).entryList(QDir::Files),
                 QStringList());
        QVERIFY(s.server.requests().isEmpty());
    }

    void aTimeOutSaysSo() {
        Setup s({QStringLiteral("小燕子")});
        FaultServer::Response r = FaultServer::partial(0, 40960, 100000, movie(40961));
        r.headerOnlyThenStallMs = 4000;
        s.server.enqueue(r);
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE_WITH_TIMEOUT(s.f->List2->count(), 0, 4000);
        QCOMPARE(s.h.notifier.notices, QStringList{QStringLiteral("下载文件超时")});
    }

    void aMissingContentRangeIsToldOnce() {
        Setup s({QStringLiteral("拔萝卜")});
        FaultServer::Response r = FaultServer::status(206);
        r.body = "FWS";
        s.server.enqueue(r);
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.h.notifier.notices, QStringList{QStringLiteral("无法获取文件大小！")});
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 拔萝卜"));
    }

    void notFoundRefreshesTheServerAddress_data() {
        QTest::addColumn<bool>("refreshWorks");
        QTest::newRow("refreshed") << true;
        QTest::newRow("refresh fails") << false;
    }
    void notFoundRefreshesTheServerAddress() {
        QFETCH(bool, refreshWorks);
        Setup s({QStringLiteral("找朋友")});
        const QByteArray before = s.h.folder.readBytes(QStringLiteral("cons/guihu.inb"));
        if (refreshWorks)
            s.server.serveFile(QStringLiteral("/cons/guihu.txt"), "zzzNEWzzzzOLDzzz\r\n");
        s.server.enqueue(FaultServer::status(404));
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.h.notifier.notices, QStringList{QStringLiteral("文件无法找到")});
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 找朋友"));
        QCOMPARE(s.server.requests().last().decodedPath, QStringLiteral("/cons/guihu.txt"));
        QVERIFY(!QFile::exists(s.h.folder.path(QStringLiteral("cons/guihu2.inb"))));
        if (refreshWorks) {
            QCOMPARE(s.f->serverFolder(), QStringLiteral("OLDNEW"));
            QCOMPARE(s.h.folder.readBytes(QStringLiteral("cons/guihu.inb")),
                     QByteArray("zzzNEWzzzzOLDzzz\r\n"));
        } else {
            QCOMPARE(s.f->serverFolder(), QStringLiteral("klmdef"));
            QCOMPARE(s.h.folder.readBytes(QStringLiteral("cons/guihu.inb")), before);
        }
    }

    void anUnsafeNameIsRefusedBeforeAnythingIsMade() {
        Setup s({QStringLiteral("../../evil")});
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.h.notifier.notices.size(), 1);
        QVERIFY(s.h.notifier.notices.first().contains(QStringLiteral("../../evil")));
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* ../../evil"));
        QVERIFY(s.server.requests().isEmpty());
        QVERIFY(QDir(s.h.folder.path(QStringLiteral("res/fla"))).isEmpty());
    }

    void cancellingAQueuedAndTheRunningDownload() {
        Setup s({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        FaultServer::Response stalled = rangeAnswer(movie(100000), "bytes=0-40960");
        stalled.headerOnlyThenStallMs = 5000;
        s.server.enqueue(stalled); // 甲 hangs
        s.server.serveFile(kFolderPath + QStringLiteral("丙.swf"), movie(100));
        for (int row : {0, 1, 2})
            s.f->List1->setCurrentRow(row);
        QCOMPARE(s.f->List2->count(), 3);

        s.f->List1->setCurrentRow(1);
        s.f->file1_4_Click(); // 乙, waiting
        QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("* 乙"));
        QCOMPARE(s.f->List2->count(), 2);
        QTRY_VERIFY(!s.server.requests().isEmpty());
        s.f->List1->setCurrentRow(0);
        s.f->file1_4_Click(); // 甲, running
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(rowTexts(s.f->List1), (QStringList{QStringLiteral("* 甲"), QStringLiteral("* 乙"),
                                                    QStringLiteral("  丙")}));
        QVERIFY(s.h.notifier.notices.isEmpty());
        QVERIFY(!QFile::exists(s.cached(QStringLiteral("甲"))));
        for (const auto& r : s.server.requests())
            QVERIFY(!r.decodedPath.endsWith(QStringLiteral("乙.swf")));
    }

    // One program missing on the server, one cached, the others fetched in
    // list order; a message two of them would give is given once.
    void aWholeCategory() {
        const QStringList names{"在", "缺一", "有一", "缺二", "有二"};
        Setup s(names);
        s.h.folder.cacheProgram(QStringLiteral("在"));
        s.f->LoadList(kList);
        for (const QString& n : {QStringLiteral("有一"), QStringLiteral("有二")})
            s.server.serveFile(kFolderPath + n + QStringLiteral(".swf"), movie(50000));
        s.f->file1_5_Click();
        QCOMPARE(s.f->List2->count(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(s.f->List2->count(), 0, 8000);
        QCOMPARE(
            rowTexts(s.f->List1),
            (QStringList{QStringLiteral("  在"), QStringLiteral("* 缺一"), QStringLiteral("  有一"),
                         QStringLiteral("* 缺二"), QStringLiteral("  有二")}));
        QCOMPARE(s.h.notifier.notices, QStringList{QStringLiteral("文件无法找到")});
        QStringList order;
        for (const auto& r : s.server.requests()) {
            if (!r.decodedPath.startsWith(kFolderPath))
                continue; // the server-address file after the 404
            const QString name = r.decodedPath.mid(kFolderPath.size()).chopped(4);
            if (order.isEmpty() || order.last() != name)
                order.append(name);
        }
        QCOMPARE(order, (QStringList{"缺一", "有一", "缺二", "有二"}));
    }

    // A download that breaks off goes on later from the chunk it reached.
    void aBrokenDownloadGoesOnLater() {
        Setup s({QStringLiteral("长故事")});
        const QByteArray bytes = movie(300000);
        bool linkDown = true;
        s.server.setFallback([&](const FaultServer::Request& r) {
            FaultServer::Response a = rangeAnswer(bytes, r.header("Range"));
            a.headers.append({QByteArray("ETag"), QByteArray("\"1\"")});
            a.resetConnection = linkDown && !r.header("Range").startsWith("bytes=0-") &&
                                !r.header("Range").startsWith("bytes=40960-");
            return a;
        });
        s.f->List1->setCurrentRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 长故事"));
        QVERIFY(s.h.notifier.notices.isEmpty());
        // A reset may take answers still on their way with it: the part holds
        // the first chunk at least, the second at most.
        const QString part = s.cached(QStringLiteral("长故事")) + QStringLiteral(".part");
        const qint64 kept = QFileInfo(part).size();
        QVERIFY2(kept == 40961 || kept == 81921, qPrintable(QString::number(kept)));

        linkDown = false;
        const qsizetype before = s.server.requests().size();
        s.f->selectRow(0);
        QTRY_COMPARE(s.f->List2->count(), 0);
        const qint64 from = kept / 40960 * 40960;
        QCOMPARE(s.server.requests().at(before).header("Range"),
                 "bytes=" + QByteArray::number(from) + '-' + QByteArray::number(from + 40960));
        QCOMPARE(s.h.folder.readBytes(QStringLiteral("res/fla/长故事.swf")), bytes);
        QVERIFY(!QFile::exists(part));
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("  长故事"));
    }

    // A cache folder that cannot take a program: one message that says so,
    // nothing under the program's name, and the queue goes on.
    void aFullDiskSaysSo() {
        Setup s({QStringLiteral("大"), QStringLiteral("小")});
        const QString cache = s.h.folder.path(QStringLiteral("res/fla"));
        // A small file system of its own where it can be mounted (as root),
        // a folder that cannot be written otherwise.
        const bool mounted =
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=4m"), QStringLiteral("tmpfs"), cache}) == 0;
        if (!mounted)
            QFile::setPermissions(cache, QFile::ReadOwner | QFile::ExeOwner);
        const auto release = qScopeGuard([&] {
            if (mounted)
                QProcess::execute(QStringLiteral("umount"), {cache});
            QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        s.server.serveFile(kFolderPath + QStringLiteral("大.swf"), movie(6000000));
        s.server.serveFile(kFolderPath + QStringLiteral("小.swf"), movie(30000));
        s.f->List1->setCurrentRow(0);
        s.f->List1->setCurrentRow(1);
        QTRY_COMPARE_WITH_TIMEOUT(s.f->List2->count(), 0, 8000);
        // A full disk takes the large one; a folder that cannot be written
        // (not root: no mount) takes both, each with its own message.
        QCOMPARE(s.h.notifier.notices.size(), mounted ? 1 : 2);
        QVERIFY(s.h.notifier.notices.first().contains(QStringLiteral("“大”")));
        if (mounted)
            QVERIFY(s.h.notifier.notices.first().contains(QStringLiteral("磁盘已经满了")));
        else
            QVERIFY(s.h.notifier.notices.last().contains(QStringLiteral("“小”")) &&
                    s.h.notifier.notices.last().contains(QStringLiteral("能否写入")));
        QCOMPARE(s.f->List1->item(0)->text(), QStringLiteral("* 大"));
        QStringList left = QDir(cache).entryList(QDir::Files);
        left.removeAll(QStringLiteral("小.swf"));
        QCOMPARE(left, QStringList());
        if (mounted)
            QCOMPARE(s.f->List1->item(1)->text(), QStringLiteral("  小"));
    }

    void clicksDuringADownloadStillPlay() {
        Setup s({QStringLiteral("慢"), QStringLiteral("快")});
        s.h.folder.cacheProgram(QStringLiteral("快"));
        FaultServer::Response slow = FaultServer::partial(0, 99, 100, movie(100));
        slow.delayMs = 300;
        s.server.enqueue(slow);
        s.f->List1->setCurrentRow(0);
        s.f->List1->setCurrentRow(1); // cached: plays at once
        QVERIFY(s.h.player.movie().endsWith(QStringLiteral("快.swf")));
        QCOMPARE(s.f->List2->count(), 1);
        s.f->selectRow(0); // the downloading row: ignored
        QCOMPARE(s.f->List2->count(), 1);
        QTRY_COMPARE(s.f->List2->count(), 0);
        QVERIFY(s.h.player.movie().endsWith(QStringLiteral("慢.swf")));
    }
};

QTEST_MAIN(TestQueue)
#include "tst_queue.moc"
