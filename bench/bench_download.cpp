// Times our ranged download of a 20 MB program from nginx on loopback
// against curl fetching the same file in one GET, to show what the 40961-byte
// requests cost next to the plain transfer.
//
//   build/bench/bench_download
//
// Needs Debian's nginx (nginx-light) and curl; without curl only our time is
// printed. Each side runs three times after a warm-up; the best run counts.

#include "support/NginxServer.h"

#include "net/ChunkDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr qint64 kSize = qint64(20) * 1024 * 1024;
constexpr int kRuns = 3;

QByteArray content(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((quint32(i) * 2654435761u) >> 24);
    return bytes;
}

// Milliseconds for one complete download, or a negative number if it failed
// or brought other bytes.
double ours(QNetworkAccessManager* network, const QUrl& url, const QByteArray& expected) {
    ChunkDownload download(network, url);
    QEventLoop loop;
    ChunkDownload::Outcome outcome = ChunkDownload::Outcome::Unexpected;
    QObject::connect(&download, &ChunkDownload::finished, &loop, [&](ChunkDownload::Outcome o) {
        outcome = o;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    download.start();
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (outcome != ChunkDownload::Outcome::Complete || download.data() != expected)
        return -1;
    return ms;
}

// curl's own transfer time in milliseconds, leaving out its start-up; negative
// if it did not fetch the whole file.
double curl(const QString& program, const QUrl& url) {
    QProcess p;
    p.start(program, {QStringLiteral("-s"), QStringLiteral("--noproxy"), QStringLiteral("*"),
                      QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-w"),
                      QStringLiteral("%{http_code} %{size_download} %{time_total}"),
                      url.toString(QUrl::FullyEncoded)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    const QList<QByteArray> fields = p.readAllStandardOutput().split(' ');
    if (fields.size() != 3 || fields.at(0) != "200" || fields.at(1).toLongLong() != kSize)
        return -1;
    return fields.at(2).toDouble() * 1000;
}

template <typename F> double best(F run) {
    double result = std::numeric_limits<double>::max();
    for (int i = 0; i < kRuns; ++i) {
        const double ms = run();
        if (ms < 0)
            return -1;
        result = std::min(result, ms);
    }
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);

    if (NginxServer::executable().isEmpty()) {
        std::printf("nginx is not installed (no nginx on PATH): nothing to measure\n");
        return 1;
    }
    NginxServer nginx;
    if (!nginx.start()) {
        std::printf("nginx did not start: %s\n", qPrintable(nginx.errorString()));
        return 1;
    }
    const QByteArray bytes = content(kSize);
    QDir().mkpath(nginx.root() + QStringLiteral("/kibu01/fla"));
    QFile file(nginx.root() + QStringLiteral("/kibu01/fla/bench.swf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != kSize) {
        std::printf("cannot write the test file\n");
        return 1;
    }
    file.close();
    const QUrl url(nginx.baseUrl() + QStringLiteral("kibu01/fla/bench.swf"));

    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    // Warm-up: nginx has opened the file and the connection is kept alive.
    if (ours(&network, url, bytes) < 0) {
        std::printf("our download of %s failed\n", qPrintable(url.toString()));
        return 1;
    }
    const double oursMs = best([&] { return ours(&network, url, bytes); });
    if (oursMs < 0) {
        std::printf("our download of %s failed\n", qPrintable(url.toString()));
        return 1;
    }
    // Each request moves on by a chunk, up to the last byte.
    const qint64 requests = (kSize - 1 + ChunkDownload::kChunkSize - 1) / ChunkDownload::kChunkSize;

    const QString curlProgram = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curlProgram.isEmpty()) {
        std::printf("20 MB from nginx on loopback: ours %.1f ms (%lld requests, best of %d); "
                    "curl is not installed, no comparison\n",
                    oursMs, requests, kRuns);
        return 0;
    }
    curl(curlProgram, url);
    const double curlMs = best([&] { return curl(curlProgram, url); });
    if (curlMs <= 0) {
        std::printf("curl did not fetch %s\n", qPrintable(url.toString()));
        return 1;
    }
    std::printf("20 MB from nginx on loopback: ours %.1f ms (%lld requests), curl one GET %.1f ms, "
                "ratio %.1f (best of %d each)\n",
                oursMs, requests, curlMs, oursMs / curlMs, kRuns);
    return 0;
}
