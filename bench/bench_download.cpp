// Times a program download as a child's click makes it, against curl over
// the same link, and what it costs in memory.
//
//   build/bench/bench_download
//
// 1. 5 MB through a link with a 50 ms round trip and 32 Mbit/s each way (a
//    relay in front of nginx): ours against curl fetching it in one GET.
// 2. 20 MB from nginx on loopback: ours against curl making the same range
//    requests one after another on one kept-alive connection.
// 3. The peak memory of this process during a 200 MB download, above idle.
//
// Needs Debian's nginx (nginx-light) and curl. The timed sides run three
// times after a warm-up; the best run counts.

#include "support/LatencyProxy.h"
#include "support/NginxServer.h"

#include "net/ChunkDownload.h"
#include "net/ProgramDownload.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int kRuns = 3;
const QString kFolder = QStringLiteral("kibu01");

QByteArray content(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((quint32(i) + seed) * 2654435761u) >> 24);
    return bytes;
}

// Writes a program of size bytes on the server, in pieces, and gives its
// digest.
QByteArray serve(const NginxServer& nginx, const QString& name, qint64 size) {
    QDir().mkpath(nginx.root() + u'/' + kFolder + QStringLiteral("/fla"));
    QFile file(nginx.root() + u'/' + kFolder + QStringLiteral("/fla/") + name +
               QStringLiteral(".swf"));
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (qint64 at = 0; at < size; at += 1 << 20) {
        const QByteArray piece = content(std::min<qint64>(1 << 20, size - at), quint32(at));
        file.write(piece);
        digest.addData(piece);
    }
    return digest.result();
}

QByteArray fileDigest(const QString& path) {
    QFile f(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && digest.addData(&f) ? digest.result() : QByteArray();
}

// Milliseconds for one complete download into a fresh cache folder, or a
// negative number if it failed or brought other bytes.
double ours(QNetworkAccessManager* network, const QString& base, const QString& name,
            const QByteArray& expected) {
    QTemporaryDir cache;
    ProgramDownload download(network, base, kFolder, cache.path() + u'/', name);
    QEventLoop loop;
    ProgramDownload::Result result = ProgramDownload::Result::Failed;
    QObject::connect(&download, &ProgramDownload::finished, &loop, [&](ProgramDownload::Result r) {
        result = r;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    download.start();
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (result != ProgramDownload::Result::Complete || fileDigest(download.cachePath()) != expected)
        return -1;
    return ms;
}

// curl's whole run in milliseconds, as a user waits for it; negative if a
// transfer failed. Each item of ranges is one request ("A-B"); none means
// one plain GET.
double curl(const QString& url, const QStringList& ranges, const QTemporaryDir& dir) {
    QFile config(dir.filePath(QStringLiteral("curl.conf")));
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString& range : ranges.isEmpty() ? QStringList{QString()} : ranges) {
        config.write("url = \"" + url.toUtf8() + "\"\noutput = \"/dev/null\"\n");
        if (!range.isEmpty())
            config.write("range = \"" + range.toUtf8() + "\"\n");
    }
    config.close();
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral("curl"),
            {QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"),
             QStringLiteral("-w"), QStringLiteral("%{http_code} %{time_total}\\n"),
             QStringLiteral("-K"), config.fileName()});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    const double total = double(clock.nsecsElapsed()) / 1e6;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && fields.at(0) != "200" && fields.at(0) != "206")
            return -1;
    }
    return total;
}

template <typename F> double best(F run) {
    run(); // warm-up
    double result = std::numeric_limits<double>::max();
    for (int i = 0; i < kRuns; ++i) {
        const double ms = run();
        if (ms < 0)
            return -1;
        result = std::min(result, ms);
    }
    return result;
}

// The ranges of our requests for a file of size bytes.
QStringList ranges(qint64 size) {
    QStringList result;
    for (qint64 p = 0;; p += ChunkDownload::kChunkSize) {
        result.append(QStringLiteral("%1-%2").arg(p).arg(p + ChunkDownload::kChunkSize));
        if (p + ChunkDownload::kChunkSize >= size - 1)
            return result;
    }
}

qint64 statusKiB(const QByteArray& field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    NginxServer nginx;
    if (NginxServer::executable().isEmpty() || !nginx.start()) {
        std::printf("nginx is missing or did not start: nothing to measure\n");
        return 1;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        std::printf("curl is not installed: nothing to compare with\n");
        return 1;
    }
    QTemporaryDir scratch;
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    const QString name = QStringLiteral("bench");

    // 1. A slow home link.
    const qint64 small = qint64(5) * 1000 * 1000;
    const QByteArray smallDigest = serve(nginx, name, small);
    const quint16 nginxPort = QUrl(nginx.baseUrl()).port();
    LatencyProxy link(QStringLiteral("127.0.0.1"), nginxPort, 25, 32 * 1000 * 1000 / 8);
    if (!link.start()) {
        std::printf("the link relay did not start\n");
        return 1;
    }
    const QString fileUrl = kFolder + QStringLiteral("/fla/") + name + QStringLiteral(".swf");
    const double slowOurs = best([&] { return ours(&network, link.baseUrl(), name, smallDigest); });
    const double slowCurl = best([&] { return curl(link.baseUrl() + fileUrl, {}, scratch); });
    std::printf("5 MB over 50 ms RTT / 32 Mbit/s: ours %.0f ms, curl one GET %.0f ms, "
                "ratio %.2f (best of %d)\n",
                slowOurs, slowCurl, slowOurs / slowCurl, kRuns);

    // 2. Loopback.
    const qint64 medium = qint64(20) * 1024 * 1024;
    const QByteArray mediumDigest = serve(nginx, name, medium);
    const double fastOurs =
        best([&] { return ours(&network, nginx.baseUrl(), name, mediumDigest); });
    const QStringList mediumRanges = ranges(medium);
    const double fastCurl =
        best([&] { return curl(nginx.baseUrl() + fileUrl, mediumRanges, scratch); });
    std::printf("20 MB on loopback: ours %.0f ms, curl the same %lld ranges one by one %.0f ms, "
                "ratio %.2f (best of %d)\n",
                fastOurs, qint64(mediumRanges.size()), fastCurl, fastOurs / fastCurl, kRuns);

    // 3. Memory: the peak of this process during a large download.
    const qint64 large = qint64(200) * 1024 * 1024;
    const QByteArray largeDigest = serve(nginx, name, large);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    const qint64 idle = statusKiB("VmRSS:");
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // the peak starts again from here
    clear.close();
    const double largeMs = ours(&network, nginx.baseUrl(), name, largeDigest);
    const qint64 peak = statusKiB("VmHWM:");
    std::printf("200 MB on loopback: %s in %.0f ms; peak memory %lld MiB above idle (%lld MiB)\n",
                largeMs < 0 ? "FAILED" : "complete", largeMs, (peak - idle) / 1024, idle / 1024);
    return 0;
}
