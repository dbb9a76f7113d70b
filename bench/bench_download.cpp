// Times a program download as a child's click makes it: the real player on a
// real X server, a click on a missing row (pressed through XTest from this
// process), until the program is whole in the cache. curl fetches the same
// file over the same link in the same run.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench_download
//
// 1. 5 MB over a 50 ms round trip and 32 Mbit/s each way (a relay in front
//    of nginx): the window against curl fetching it in one GET.
// 2. 10 MB over a 200 ms round trip and 32 Mbit/s.
// 3. 5 MB right after a 48 MB program (stock nginx closes a connection after
//    1000 requests), 50 ms round trip.
// 4. 20 MB from nginx on loopback: the download class, with the program's
//    own network set-up, against curl making the same range requests one
//    after another on one kept-alive connection.
// 5. The player's memory during a 200 MB download on loopback: its peak
//    above what it held just before the click.
// 6. 5 MB over HTTPS through the relay of 1 (nginx with a certificate from
//    an authority made for the run), against curl told of the authority
//    (--cacert): the window, and the download class with the program's own
//    network set-up, each on one connection. The player trusts the
//    system's authorities only, so it runs in a mount namespace of its own
//    (unshare) where the system's certificate folder is a copy that holds
//    the run's authority too. "bench_download tls" runs only this one (the
//    window only when there is an X server).
//
// Needs Debian's nginx (nginx-light), curl, openssl, unshare (util-linux)
// and xdotool (to wait for the window). As root, QTWEBENGINE_DISABLE_SANDBOX=1 must be set. The
// timed sides run three times; the best run counts.

#include "XClick.h"
#include "support/LatencyProxy.h"
#include "support/NginxServer.h"
#include "support/TestCa.h"

#include "catalogue/AppFolder.h"
#include "catalogue/TextFile.h"
#include "net/ChunkDownload.h"
#include "net/NetworkSetup.h"
#include "net/ProgramDownload.h"
#include "net/ServerAddress.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <unistd.h>

namespace {

constexpr int kRuns = 3;

QByteArray content(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((quint32(i) + seed) * 2654435761u) >> 24);
    return bytes;
}

QByteArray fileDigest(const QString& path) {
    QFile f(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && digest.addData(&f) ? digest.result() : QByteArray();
}

// An application folder laid out from the demo, with the engine, and the
// programs of the first category on the server under its folder.
struct Setup {
    QTemporaryDir dir;
    QString app = dir.filePath(QStringLiteral("app"));
    QStringList names;
    QString serverFolder;

    bool make() {
        QProcess::execute(QStringLiteral(KIBU_MAKE_APP_FOLDER),
                          {QStringLiteral(KIBU_DEMO_DIR), app});
        QDir().mkpath(app + QStringLiteral("/res"));
        QFile::link(QStringLiteral(KIBU_ENGINE_DIR), app + QStringLiteral("/res/ruffle"));
        names = TextFile::readLines(AppFolder(app).path(QStringLiteral("cons/b01.inb"))).lines;
        serverFolder = ServerAddress::readServerFolder(AppFolder(app)).value_or(QString());
        return names.size() >= 2 && !serverFolder.isEmpty();
    }
    QString cached(int row) const { return AppFolder(app).cacheFolder() + names[row] + ".swf"; }
    void clearCache() const {
        QDir cache(AppFolder(app).cacheFolder());
        for (const QString& f : cache.entryList(QDir::Files))
            cache.remove(f);
    }
};

// Writes the program of a row on the server, in pieces; its digest.
QByteArray serve(const NginxServer& nginx, const Setup& setup, int row, qint64 size) {
    const QString folder = nginx.root() + u'/' + setup.serverFolder + QStringLiteral("/fla");
    QDir().mkpath(folder);
    QFile file(folder + u'/' + setup.names[row] + QStringLiteral(".swf"));
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (qint64 at = 0; at < size; at += 1 << 20) {
        const QByteArray piece = content(std::min<qint64>(1 << 20, size - at), quint32(at + row));
        file.write(piece);
        digest.addData(piece);
    }
    return digest.result();
}

QString serverPath(const Setup& setup, int row) {
    return QString::fromLatin1(QUrl::toPercentEncoding(setup.serverFolder) + "/fla/" +
                               QUrl::toPercentEncoding(setup.names[row]) + ".swf");
}

// The real player, its window up and its engine page loaded.
// With certificates, a folder that takes the place of the system's
// certificate folder for the player alone.
class Player {
public:
    Player(const Setup& setup, const QString& downloadBase, const QString& certificates = {}) {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        const QStringList arguments = {
            QStringLiteral("--app-dir"),       setup.app,
            QStringLiteral("--web-base"),      QStringLiteral("http://127.0.0.1:9/"),
            QStringLiteral("--download-base"), downloadBase};
        if (certificates.isEmpty()) {
            m_process.start(QStringLiteral(KIBU_PLAYER_EXE), arguments);
        } else {
            // The user namespace's root is no root to the web engine's
            // sandbox, which cannot start inside it.
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
            m_process.setProcessEnvironment(env);
            QStringList unshare{QStringLiteral("--mount")};
            if (geteuid() != 0)
                unshare.prepend(QStringLiteral("--map-root-user"));
            unshare << QStringLiteral("sh") << QStringLiteral("-c")
                    << QStringLiteral("mount --bind \"$0\" /etc/ssl/certs && exec \"$@\"")
                    << certificates << QStringLiteral(KIBU_PLAYER_EXE) << arguments;
            m_process.start(QStringLiteral("unshare"), unshare);
        }
        QProcess search;
        search.setStandardOutputFile(QProcess::nullDevice());
        search.start(QStringLiteral("timeout"),
                     {QStringLiteral("30"), QStringLiteral("xdotool"), QStringLiteral("search"),
                      QStringLiteral("--sync"), QStringLiteral("--name"),
                      QStringLiteral("Kibu播放器1.3")});
        m_ready = search.waitForFinished(40000) && search.exitCode() == 0;
        QThread::msleep(3000); // the engine page
    }
    ~Player() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
    bool m_ready = false;
};

// Clicks row (0-based) of the main list; the clock starts at the press.
void clickRow(int row, QElapsedTimer* clock) {
    XClick::at({900, 82 + 18 * row}, clock);
}

// Milliseconds from the press on row to its program whole in the cache, or
// a negative number if it failed or brought other bytes.
double windowDownload(const Setup& setup, int row, qint64 size, const QByteArray& digest,
                      const std::function<void()>& whileWaiting = {}) {
    const QString cached = setup.cached(row);
    QElapsedTimer clock;
    clickRow(row, &clock);
    while (clock.elapsed() < 300000) {
        if (QFileInfo(cached).size() == size && !QFileInfo::exists(cached + ".part"))
            break;
        if (whileWaiting)
            whileWaiting();
        QThread::usleep(2000);
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    return fileDigest(cached) == digest ? ms : -1;
}

// curl's whole run in milliseconds, as a user waits for it; negative if a
// transfer failed. Each item of ranges is one request ("A-B"); none means
// one plain GET. options go to curl as they are.
double curl(const QString& url, const QStringList& ranges, const QTemporaryDir& dir,
            const QStringList& options = {}) {
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
            options + QStringList{QStringLiteral("-s"), QStringLiteral("--noproxy"),
                                  QStringLiteral("*"), QStringLiteral("-w"),
                                  QStringLiteral("%{http_code} %{time_total}\\n"),
                                  QStringLiteral("-K"), config.fileName()});
    if (!p.waitForFinished(300000) || p.exitCode() != 0)
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

// Milliseconds for one complete download by the class into a fresh cache
// folder, with the program's network set-up.
double classDownload(const QString& base, const Setup& setup, int row, const QByteArray& digest) {
    const auto network = NetworkSetup::makeAccessManager();
    QTemporaryDir cache;
    ProgramDownload download(network.get(), base, setup.serverFolder, cache.path() + u'/',
                             setup.names[row]);
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
    return result == ProgramDownload::Result::Complete && fileDigest(download.cachePath()) == digest
               ? ms
               : -1;
}

qint64 statusKiB(qint64 pid, const QByteArray& field) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

// A copy of the system's certificate folder that holds the authority too,
// under dir; empty on failure.
QString certificatesWith(const TestCa& ca, const QTemporaryDir& dir) {
    const QString folder = dir.filePath(QStringLiteral("certs"));
    QDir().mkpath(folder);
    auto run = [](const QString& program, const QStringList& arguments) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice()); // the bundle is no one certificate
        p.start(program, arguments);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    };
    const bool made =
        run(QStringLiteral("cp"),
            {QStringLiteral("-a"), QStringLiteral("/etc/ssl/certs/."), folder}) &&
        QFile::copy(ca.certificatePath(), folder + QStringLiteral("/kibu-bench-ca.pem")) &&
        run(QStringLiteral("openssl"), {QStringLiteral("rehash"), folder});
    return made ? folder : QString();
}

// 6: over HTTPS through a 50 ms relay, the window (when there is an X
// server) and the class against curl; false if something failed.
bool overHttps(const NginxServer& nginx, const Setup& setup, const TestCa& ca,
               const QTemporaryDir& scratch) {
    const qint64 size = 5000000;
    const QByteArray digest = serve(nginx, setup, 0, size);
    LatencyProxy link(QStringLiteral("127.0.0.1"), QUrl(nginx.tlsBaseUrl()).port(), 25,
                      32000000 / 8);
    if (!link.start())
        return false;
    const QString base = QStringLiteral("https://127.0.0.1:%1/").arg(link.port());
    double window = 0;
    bool windowOneConnection = true;
    if (qEnvironmentVariableIsSet("DISPLAY")) {
        const QString certificates = certificatesWith(ca, scratch);
        if (certificates.isEmpty()) {
            std::printf("could not copy the system's certificates\n");
            return false;
        }
        window = best([&] {
            setup.clearCache();
            Player player(setup, base, certificates);
            const int before = link.connections();
            const double ms = player.ready() ? windowDownload(setup, 0, size, digest) : -1;
            windowOneConnection = windowOneConnection && link.connections() == before + 1;
            return ms;
        });
    }
    bool oneConnection = true;
    const double ours = best([&] {
        const int before = link.connections();
        const double ms = classDownload(base, setup, 0, digest);
        oneConnection = oneConnection && link.connections() == before + 1;
        return ms;
    });
    const double curlMs = best([&] {
        return curl(base + serverPath(setup, 0), {}, scratch,
                    {QStringLiteral("--cacert"), ca.certificatePath()});
    });
    if (window != 0)
        std::printf("5 MB over HTTPS, 50 ms RTT / 32 Mbit/s: window %.0f ms (%s), curl one GET "
                    "%.0f ms, ratio %.2f (best of %d)\n",
                    window,
                    windowOneConnection ? "one connection each run" : "MORE THAN ONE CONNECTION",
                    curlMs, window / curlMs, kRuns);
    std::printf("5 MB over HTTPS, 50 ms RTT / 32 Mbit/s: class %.0f ms (%s), curl one GET "
                "%.0f ms, ratio %.2f (best of %d)\n",
                ours, oneConnection ? "one connection each run" : "MORE THAN ONE CONNECTION",
                curlMs, ours / curlMs, kRuns);
    return window >= 0 && ours > 0 && curlMs > 0;
}

void report(const char* what, double ours, double theirs) {
    std::printf("%s: window %.0f ms, curl one GET %.0f ms, ratio %.2f (best of %d)\n", what, ours,
                theirs, ours / theirs, kRuns);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    NginxServer nginx;
    Setup setup;
    TestCa ca;
    if (!ca.make()) {
        std::printf("no certificate authority: %s\n", qPrintable(ca.errorString()));
        return 1;
    }
    const TestCa::Identity identity = ca.issue({QStringLiteral("127.0.0.1")});
    nginx.setTls(identity.certificatePath, identity.keyPath);
    NetworkSetup::trustAlso({ca.certificate()});
    if (NginxServer::executable().isEmpty() || !nginx.start() || !setup.make()) {
        std::printf("nginx is missing or did not start, or no application folder\n");
        return 1;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        std::printf("curl is not installed: nothing to compare with\n");
        return 1;
    }
    QTemporaryDir scratch;
    const quint16 nginxPort = QUrl(nginx.baseUrl()).port();
    if (app.arguments().contains(QStringLiteral("tls")))
        return overHttps(nginx, setup, ca, scratch) ? 0 : 1;

    // 1 and 2: a home link and a far one.
    struct Link {
        const char* what;
        int oneWayMs;
        qint64 size;
    };
    for (const Link& l : {Link{"5 MB, 50 ms RTT / 32 Mbit/s", 25, 5000000},
                          Link{"10 MB, 200 ms RTT / 32 Mbit/s", 100, 10000000}}) {
        const QByteArray digest = serve(nginx, setup, 0, l.size);
        LatencyProxy link(QStringLiteral("127.0.0.1"), nginxPort, l.oneWayMs, 32000000 / 8);
        if (!link.start())
            return 1;
        const double window = best([&] {
            setup.clearCache();
            Player player(setup, link.baseUrl());
            return player.ready() ? windowDownload(setup, 0, l.size, digest) : -1;
        });
        const double curlMs =
            best([&] { return curl(link.baseUrl() + serverPath(setup, 0), {}, scratch); });
        report(l.what, window, curlMs);
    }

    // 3. A large program first, then the one timed, in the same window.
    {
        const qint64 large = qint64(48) * 1024 * 1024, small = 5000000;
        const QByteArray largeDigest = serve(nginx, setup, 0, large);
        const QByteArray smallDigest = serve(nginx, setup, 1, small);
        LatencyProxy link(QStringLiteral("127.0.0.1"), nginxPort, 25, 32000000 / 8);
        if (!link.start())
            return 1;
        double largeMs = -1;
        const double window = best([&] {
            setup.clearCache();
            Player player(setup, link.baseUrl());
            if (!player.ready())
                return -1.0;
            largeMs = windowDownload(setup, 0, large, largeDigest);
            return largeMs < 0 ? -1 : windowDownload(setup, 1, small, smallDigest);
        });
        const double curlMs =
            best([&] { return curl(link.baseUrl() + serverPath(setup, 1), {}, scratch); });
        std::printf("(48 MB before it: %.0f ms)\n", largeMs);
        report("5 MB after a 48 MB program, 50 ms RTT / 32 Mbit/s", window, curlMs);
    }

    // 4. Loopback, on the class.
    {
        const qint64 size = qint64(20) * 1024 * 1024;
        const QByteArray digest = serve(nginx, setup, 0, size);
        const double ours = best([&] { return classDownload(nginx.baseUrl(), setup, 0, digest); });
        const QStringList r = ranges(size);
        const double curlMs =
            best([&] { return curl(nginx.baseUrl() + serverPath(setup, 0), r, scratch); });
        std::printf("20 MB on loopback: ours %.0f ms, curl the same %lld ranges one by one %.0f "
                    "ms, ratio %.2f (best of %d)\n",
                    ours, qint64(r.size()), curlMs, ours / curlMs, kRuns);
    }

    // 5. Memory of the player during a large download.
    {
        const qint64 size = qint64(200) * 1024 * 1024;
        const QByteArray digest = serve(nginx, setup, 0, size);
        setup.clearCache();
        Player player(setup, nginx.baseUrl());
        if (!player.ready())
            return 1;
        const qint64 idle = statusKiB(player.pid(), "VmRSS:");
        qint64 peak = idle;
        const double ms = windowDownload(setup, 0, size, digest, [&] {
            peak = std::max(peak, statusKiB(player.pid(), "VmRSS:"));
        });
        std::printf("200 MB on loopback through the window: %s in %.0f ms; the player's peak "
                    "memory %lld MiB above what it held before the click (%lld MiB)\n",
                    ms < 0 ? "FAILED" : "complete", ms, (peak - idle) / 1024, idle / 1024);
    }

    // 6. Over HTTPS.
    return overHttps(nginx, setup, ca, scratch) ? 0 : 1;
}
