// The player as a child meets it, on a real X server: how soon the window
// shows, how soon a clicked program is on the screen, and what playing
// costs. Everything is seen from outside, on the screen: a pixel of the
// window's pink, a pixel of the stage's colour.
//
//   scripts/own-display.sh build/bench/bench_window startup|click|soak|playback|sound|refuse|peers
//
// startup  start -> window visible, the player against a bare Qt window of
//          the same size (bench_bare_window), alternating, 10 runs each.
// click    a program clicked 1 s after the window shows, and a second one:
//          click -> the stage's colour on the screen; then the whole process
//          tree's PSS while the second plays with the information strip
//          showing its page (served by nginx). 3 runs.
// soak     30 cold starts, each must show its window within 5 s: n/30.
// playback what playing costs, each over 10 s of one run, the information
//          strip showing its page: CPU of the whole process tree with the
//          window open and no program, a light program (24 fps) playing,
//          the same paused, and a busy cartoon scene (150 gradient shapes,
//          24 fps); for both programs the frames shown per second and the
//          longest time one stayed on the screen, read from the frame
//          number the programs draw along their top; and a checksum of a
//          still light program's picture, to compare between builds. A
//          private sound server takes the engine's sound, as a child's
//          computer has one.
// sound    click -> the first sound of a program that plays a tone from its
//          first frame, recorded from the null sink of a private sound
//          server: from a window with no program, and from another program,
//          3 runs each, and how long after the program's first frame showed;
//          then the dropouts in a steady tone: the light program's first
//          20 s, and 8 s of a busy scene.
// refuse   a program whose header claims 4 GiB clicked, and at once a
//          category picture: press -> the picture's new look on the screen,
//          5 runs (between two categories); the process tree's PSS before
//          the first and 3 s after the last.
// peers    what playing costs in the window against yardsticks: the bare
//          engine (bench_bare_engine: a plain web view showing the engine's
//          files with the engine's documented defaults, nothing of ours),
//          once with the web engine set up as the player sets it up ("bare",
//          the limit for our stack) and once as Qt sets it up ("qt"); and
//          Debian's chromium showing the same page (bench/peers.sh installs
//          it), all served by nginx: a light program (five moving shapes)
//          and a busy one (400 gradient shapes), 24 fps at the stage's size.
//          Three rounds, alternating ours / bare / qt / browser, each a fresh
//          start: CPU of the process tree over 10 s, frames shown and the
//          longest on the screen, PSS and the resident pages counted once;
//          medians and their ratios; whether ours drew below full
//          resolution; per process and thread, where ours spends more than
//          the bare engine. "full" is ours told to draw at full resolution
//          always. KIBU_BENCH_BEFORE=DIR adds another build's
//          player as "before"; KIBU_BENCH_ROUNDS and KIBU_BENCH_SPAN (s)
//          change the rounds and the span; KIBU_BENCH_ONLY=ours,bare,...
//          runs only those named.
//
// As root, QTWEBENGINE_DISABLE_SANDBOX=1 must be set. KIBU_BENCH_BUILD=DIR
// runs the player and engine files of another build tree instead (an
// earlier commit's, to compare).

#include "ProcessTree.h"
#include "XClick.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

const QColor kPink(255, 192, 255);
// A spot of bare window surface, between the position bar and the options.
const QPoint kSurface(530, 660);
// A spot of the stage, clear of the bars beside a 550x400 program.
const QPoint kStage(100, 110);

QColor screenPixel(QPoint at) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), 1, 1)
        .toImage()
        .pixelColor(0, 0);
}

// Milliseconds until the pixel shows the colour, or -1 after the limit.
qint64 waitForColour(QPoint at, const QColor& colour, qint64 limitMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        if (screenPixel(at) == colour)
            return t.elapsed();
        QThread::msleep(2);
    }
    return -1;
}

double median(std::vector<double> v) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The stage is the size of the player area, one pixel from the window's
// left and 72 below its top: stage pixels are screen pixels.
constexpr QPoint kStageOrigin(1, 72);
constexpr int kStageWidth = 842, kStageHeight = 571;
const QPoint kPause(145, 667);

QPoint rowAt(int row) {
    return {900, 82 + 18 * row};
}

// An application folder of its own, with the engine and cached programs of
// the first category, in its rows from the top, each made by the generator
// with these arguments.
QString otherBuild() {
    return QString::fromLocal8Bit(qgetenv("KIBU_BENCH_BUILD"));
}

// The player and engine files of a build tree; this one's when empty.
QString playerExe(const QString& build = otherBuild()) {
    return build.isEmpty() ? QStringLiteral(KIBU_PLAYER_EXE)
                           : build + QStringLiteral("/app/kibu-player");
}

QString engineDir(const QString& build = otherBuild()) {
    return build.isEmpty() ? QStringLiteral(KIBU_ENGINE_DIR)
                           : build + QStringLiteral("/app/res/ruffle");
}

struct AppFolder {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("app"));
    explicit AppFolder(const QList<QStringList>& programs, const QString& build = otherBuild()) {
        QProcess::execute(QStringLiteral(KIBU_MAKE_APP_FOLDER),
                          {QStringLiteral(KIBU_DEMO_DIR), path});
        QDir().mkpath(path + QStringLiteral("/res"));
        QFile::link(engineDir(build), path + QStringLiteral("/res/ruffle"));
        QFile list(QStringLiteral(KIBU_DEMO_DIR "/catalogue/b01.txt"));
        list.open(QIODevice::ReadOnly);
        const QStringList names = QString::fromUtf8(list.readAll()).split(u'\n');
        for (int i = 0; i < programs.size(); ++i)
            QProcess::execute(QStringLiteral(KIBU_SWFGEN),
                              programs[i] +
                                  QStringList{path + QStringLiteral("/res/fla/") +
                                              names[i].trimmed() + QStringLiteral(".swf")});
    }
};

QStringList program(const QString& background, const QStringList& more = {}) {
    return QStringList{QStringLiteral("--frames"),     QStringLiteral("600"),
                       QStringLiteral("--size"),       QStringLiteral("550x400"),
                       QStringLiteral("--background"), background} +
           more;
}

// A program of the stage the window shows whole (842x571), 100 s at 24
// fps; more as on the generator's command line.
QStringList fullStage(const QString& more) {
    return (QStringLiteral("--frames 2400 --rate 24 --size 842x571 ") + more).split(u' ');
}

// A folder served by a web server of its own (nginx), for as long as it
// lives; files may be added while it serves.
struct Site {
    QTemporaryDir folder, run;
    QString base; // http://127.0.0.1:PORT/
    explicit Site(const QString& port) {
        QProcess nginx;
        nginx.start(QStringLiteral(KIBU_SOURCE_DIR "/scripts/nginx-serve.sh"),
                    {QStringLiteral("start"), folder.path(), run.path(), port});
        nginx.waitForFinished(10000);
        base = QStringLiteral("http://127.0.0.1:%1/")
                   .arg(QString::fromLatin1(nginx.readAllStandardOutput()).trimmed());
    }
    ~Site() {
        QProcess::execute(QStringLiteral(KIBU_SOURCE_DIR "/scripts/nginx-serve.sh"),
                          {QStringLiteral("stop"), run.path()});
    }
    bool write(const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
};

// The strip's page.
struct StripSite : Site {
    const QString& webBase = base;
    StripSite() : Site(QStringLiteral("8980")) {
        write(QStringLiteral("show1.htm"),
              "<html><body style='background:#fff0fb'>show1</body></html>");
    }
};

struct Running {
    QProcess process;
    ~Running() {
        process.kill();
        process.waitForFinished(5000);
    }
};

// Starts a program and gives the milliseconds until its pink shows.
qint64 startAndTime(Running& r, const QString& program, const QStringList& args, qint64 limit) {
    QElapsedTimer t;
    t.start();
    r.process.setStandardErrorFile(QProcess::nullDevice());
    r.process.setStandardOutputFile(QProcess::nullDevice());
    r.process.start(program, args);
    const qint64 waited = waitForColour(kSurface, kPink, limit);
    return waited < 0 ? -1 : t.elapsed();
}

void waitGone() {
    // The next start must not see the last window's pink.
    waitForColour(kSurface, Qt::black, 5000);
}

QStringList playerArgs(const AppFolder& app, const QString& webBase) {
    return {QStringLiteral("--app-dir"),       app.path,
            QStringLiteral("--web-base"),      webBase,
            QStringLiteral("--download-base"), QStringLiteral("http://127.0.0.1:9/")};
}

const QString kDeadWeb = QStringLiteral("http://127.0.0.1:9/");

int startup() {
    AppFolder app({program(QStringLiteral("C00000")), program(QStringLiteral("0000C0"))});
    std::vector<double> player, bare;
    for (int i = 0; i < 10; ++i) {
        {
            Running r;
            player.push_back(
                double(startAndTime(r, playerExe(), playerArgs(app, kDeadWeb), 30000)));
        }
        waitGone();
        {
            Running r;
            bare.push_back(
                double(startAndTime(r, QStringLiteral(KIBU_BARE_WINDOW_EXE), {}, 30000)));
        }
        waitGone();
    }
    const double p = median(player), b = median(bare);
    std::printf("start -> window visible (median of 10): player %.0f ms, bare Qt window %.0f ms, "
                "ratio %.2f\n",
                p, b, p / b);
    return 0;
}

// What each process of the tree holds (PSS), by its kind.
void printHoldings(qint64 pid) {
    std::printf("PSS by process:");
    for (qint64 p : QList<qint64>{pid} + ProcessTree::descendants(pid)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(p));
        cmdline.open(QIODevice::ReadOnly);
        const QByteArray args = cmdline.readAll();
        const qsizetype at = args.indexOf("--type=");
        QByteArray kind = at < 0 ? QByteArray("player") : args.mid(at + 7).split('\0').first();
        const qsizetype sub = args.indexOf("--utility-sub-type=");
        if (sub >= 0)
            kind += "/" + args.mid(sub + 19).split('\0').first().split('.').last();
        std::printf(" %s %.0f MiB;", kind.constData(),
                    double(ProcessTree::rollup(p, "Pss:")) / 1024);
    }
    std::printf("\n");
}

int clicks() {
    AppFolder app({program(QStringLiteral("C00000")), program(QStringLiteral("0000C0"))});
    StripSite strip;
    std::vector<double> first, second, pss;
    for (int i = 0; i < 3; ++i) {
        Running r;
        if (startAndTime(r, playerExe(), playerArgs(app, strip.webBase), 30000) < 0)
            continue;
        QThread::msleep(1000);
        QElapsedTimer t;
        XClick::at(rowAt(0), &t);
        const bool red = waitForColour(kStage, QColor(192, 0, 0), 20000) >= 0;
        first.push_back(red ? double(t.elapsed()) : -1);
        QThread::msleep(1500);
        XClick::at(rowAt(1), &t);
        const bool blue = waitForColour(kStage, QColor(0, 0, 192), 20000) >= 0;
        second.push_back(blue ? double(t.elapsed()) : -1);
        QThread::msleep(3000);
        pss.push_back(double(ProcessTree::total(r.process.processId(), "Pss:")) / 1024);
        if (i == 2)
            printHoldings(r.process.processId());
        r.process.kill();
        r.process.waitForFinished(5000);
        waitGone();
    }
    const double f = median(first), s = median(second);
    std::printf("click -> first frame on screen, 12 fps programs (median of 3): first program "
                "%.0f ms, second program %.0f ms\n",
                f, s);
    std::printf("process tree PSS while playing, strip showing a page (median of 3): %.0f MiB\n",
                median(pss));
    return 0;
}

// The frame number a program made with --frame-code shows, or -1 when the
// stripes are not there.
int frameCode() {
    const QImage line = QGuiApplication::primaryScreen()
                            ->grabWindow(0, kStageOrigin.x(), kStageOrigin.y() + 12, kStageWidth, 1)
                            .toImage();
    int code = 0;
    for (int bit = 0; bit < 8; ++bit) {
        const QColor c = line.pixelColor(bit * kStageWidth / 8 + kStageWidth / 16, 0);
        const int grey = (c.red() + c.green() + c.blue()) / 3;
        if (std::abs(c.red() - c.green()) > 40 || std::abs(c.green() - c.blue()) > 40)
            return -1;
        code |= (grey > 128 ? 1 : 0) << bit;
    }
    return code;
}

bool waitForFrameCode(qint64 limitMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limitMs) {
        if (frameCode() >= 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

struct Shown {
    double perSecond = 0;
    double longestMs = 0;
};

// Frames shown over a time: each change of the frame code on the screen.
Shown framesShown(qint64 ms) {
    QElapsedTimer t;
    t.start();
    int last = frameCode();
    qint64 since = 0;
    int changes = 0;
    Shown shown;
    while (t.elapsed() < ms) {
        const int code = frameCode();
        if (code >= 0 && code != last) {
            const qint64 now = t.elapsed();
            if (changes > 0 || last >= 0)
                shown.longestMs = std::max(shown.longestMs, double(now - since));
            since = now;
            last = code;
            ++changes;
        }
        QThread::msleep(3);
    }
    shown.perSecond = changes * 1000.0 / double(ms);
    return shown;
}

// CPU seconds per second the player's process tree uses over a time.
double cpuLoad(const QProcess& player, qint64 ms, const std::function<void()>& meanwhile = {}) {
    const double before = ProcessTree::cpuSeconds(player.processId());
    QElapsedTimer t;
    t.start();
    if (meanwhile)
        meanwhile();
    while (t.elapsed() < ms)
        QThread::msleep(50);
    return (ProcessTree::cpuSeconds(player.processId()) - before) * 1000.0 / double(t.elapsed());
}

// A sound server of its own whose only output is a null sink; the player
// started while it lives plays into it.
struct SoundServer {
    const QString script = QStringLiteral(KIBU_SOURCE_DIR "/scripts/sound-server.sh");
    QTemporaryDir dir;
    SoundServer() {
        QProcess start;
        start.start(script, {QStringLiteral("start"), dir.path()});
        start.waitForFinished(10000);
        qputenv("PULSE_SERVER", start.readAllStandardOutput().trimmed());
    }
    ~SoundServer() { QProcess::execute(script, {QStringLiteral("stop"), dir.path()}); }
};

int playback() {
    // A child's computer has a sound server, and the engine's output plays
    // into it all the while.
    SoundServer sounds;
    AppFolder app({fullStage(QStringLiteral("--frame-code --background C00000")),
                   fullStage(QStringLiteral("--frame-code --background 0000C0 --busy 150")),
                   QStringLiteral("--frames 2 --size 842x571 --stop-at 1 --busy 12 --frame-code "
                                  "--background 00C000")
                       .split(u' ')});
    StripSite strip;
    Running r;
    if (startAndTime(r, playerExe(), playerArgs(app, strip.webBase), 30000) < 0) {
        std::fprintf(stderr, "the window did not show\n");
        return 1;
    }
    constexpr qint64 kMeasureMs = 10000;
    QThread::msleep(5000);
    const double idle = cpuLoad(r.process, kMeasureMs);

    XClick::at(rowAt(0));
    if (!waitForFrameCode(20000))
        std::fprintf(stderr, "the light program did not show\n");
    QThread::msleep(2000);
    Shown light;
    const double lightCpu = cpuLoad(r.process, kMeasureMs, [&] { light = framesShown(9000); });

    XClick::at(kPause);
    QThread::msleep(1000);
    const double paused = cpuLoad(r.process, kMeasureMs);

    XClick::at(rowAt(1));
    QElapsedTimer t;
    t.start();
    while (screenPixel(kStage) == QColor(192, 0, 0) && t.elapsed() < 20000)
        QThread::msleep(10);
    if (!waitForFrameCode(20000))
        std::fprintf(stderr, "the busy program did not show\n");
    QThread::msleep(2000);
    Shown heavy;
    const double heavyCpu = cpuLoad(r.process, kMeasureMs, [&] { heavy = framesShown(9000); });

    // A light program standing still, at full resolution: its picture, to
    // compare between builds.
    XClick::at(rowAt(2));
    waitForColour(QPoint(kStageOrigin.x() + 2, kStageOrigin.y() + kStageHeight - 3),
                  QColor(0, 192, 0), 20000);
    QThread::msleep(3000);
    const QImage still =
        QGuiApplication::primaryScreen()
            ->grabWindow(0, kStageOrigin.x(), kStageOrigin.y(), kStageWidth, kStageHeight)
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    const QByteArray stillSum =
        QCryptographicHash::hash(QByteArrayView(still.constBits(), still.sizeInBytes()),
                                 QCryptographicHash::Md5)
            .toHex();

    std::printf("CPU of the process tree, s per s over 10 s: window open, no program %.3f; "
                "light program playing %.3f; paused %.3f; busy scene playing %.3f\n",
                idle, lightCpu, paused, heavyCpu);
    std::printf("frames shown per second of 24 (longest on screen): light %.1f (%.0f ms), busy "
                "scene %.1f (%.0f ms)\n",
                light.perSecond, light.longestMs, heavy.perSecond, heavy.longestMs);
    std::printf("a light program standing still, the stage's picture: md5 %s\n",
                stillSum.constData());
    return 0;
}

// Records the sink's monitor: 16-bit mono at 22050 Hz, with little latency.
struct Recorder {
    static constexpr int kRate = 22050;
    QProcess parec;
    QByteArray heard;
    Recorder() {
        parec.start(QStringLiteral("parec"),
                    {QStringLiteral("-d"), QStringLiteral("kibu.monitor"), QStringLiteral("--raw"),
                     QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                     QStringLiteral("--rate=22050"), QStringLiteral("--latency-msec=5")});
        parec.waitForStarted();
        while (heard.size() < kRate && parec.waitForReadyRead(2000)) // half a second
            heard += parec.readAllStandardOutput();
    }
    ~Recorder() {
        parec.kill();
        parec.waitForFinished(2000);
    }
    void take() { heard += parec.readAllStandardOutput(); }
    // Milliseconds from the sample at byte offset `from` to the first loud
    // one after it, or -1 within the limit; `meanwhile` runs between reads.
    double loudAfter(qsizetype from, qint64 limitMs, const std::function<void()>& meanwhile = {}) {
        QElapsedTimer t;
        t.start();
        qsizetype at = from & ~qsizetype(1);
        while (t.elapsed() < limitMs) {
            if (meanwhile)
                meanwhile();
            parec.waitForReadyRead(2);
            take();
            for (; at + 1 < heard.size(); at += 2)
                if (std::abs(sample(at)) > 2000)
                    return double(at - from) / 2 * 1000.0 / kRate;
        }
        return -1;
    }
    int sample(qsizetype at) const {
        return qint16(quint8(heard[at]) | quint8(heard[at + 1]) << 8);
    }
    // The dropouts of a steady tone over `ms` of sound from byte offset
    // `from`: runs of 3 ms or more without a loud sample.
    struct Gaps {
        int count = 0;
        double longestMs = 0;
    };
    Gaps gapsAfter(qsizetype from, qint64 ms) {
        const qsizetype end = from + ms * kRate / 1000 * 2;
        while (heard.size() < end && parec.waitForReadyRead(2000))
            take();
        Gaps gaps;
        qsizetype quiet = 0;
        for (qsizetype at = from & ~qsizetype(1); at + 1 < std::min(end, heard.size()); at += 2) {
            quiet = std::abs(sample(at)) > 2000 ? 0 : quiet + 1;
            if (quiet == kRate * 3 / 1000)
                ++gaps.count;
            gaps.longestMs = std::max(gaps.longestMs, double(quiet) * 1000.0 / kRate);
        }
        return gaps;
    }
};

int sound() {
    SoundServer sounds;
    const QStringList tone{QStringLiteral("--tone"), QStringLiteral("440")};
    AppFolder app({program(QStringLiteral("C00000"), tone), program(QStringLiteral("0000C0")),
                   fullStage(QStringLiteral("--busy 150 --tone 440 --background 00C000"))});
    std::vector<double> fromNothing, fromOther, afterFrame;
    Recorder::Gaps light, busy;
    for (int i = 0; i < 3; ++i) {
        Running r;
        if (startAndTime(r, playerExe(), playerArgs(app, kDeadWeb), 30000) < 0)
            continue;
        QThread::msleep(2000);
        for (std::vector<double>* into : {&fromNothing, &fromOther}) {
            if (into == &fromOther) {
                XClick::at(rowAt(1));
                waitForColour(kStage, QColor(0, 0, 192), 20000);
                QThread::msleep(1500);
            }
            Recorder rec;
            rec.take();
            const qsizetype mark = rec.heard.size();
            QElapsedTimer clock;
            qint64 frameMs = -1;
            XClick::at(rowAt(0), &clock);
            const double soundMs = rec.loudAfter(mark, 10000, [&] {
                if (frameMs < 0 && screenPixel(kStage) == QColor(192, 0, 0))
                    frameMs = clock.elapsed();
            });
            into->push_back(soundMs);
            if (soundMs >= 0 && frameMs >= 0)
                afterFrame.push_back(soundMs - double(frameMs));
        }
        if (i == 0) {
            // The tone of the light program just clicked, and of a busy
            // scene: does the engine keep its sound fed?
            Recorder rec;
            rec.take();
            light = rec.gapsAfter(rec.heard.size(), 20000);
            rec.take();
            const qsizetype mark = rec.heard.size();
            XClick::at(rowAt(2));
            const double soundMs = rec.loudAfter(mark, 10000);
            if (soundMs >= 0)
                busy = rec.gapsAfter(mark + qsizetype(soundMs * Recorder::kRate / 1000) * 2, 8000);
        }
        r.process.kill();
        r.process.waitForFinished(5000);
        waitGone();
    }
    std::printf("click -> first sound (median of 3): from a window with no program %.0f ms, from "
                "another program %.0f ms; after the first frame on screen %.0f ms (median of "
                "%zu)\n",
                median(fromNothing), median(fromOther), median(afterFrame), afterFrame.size());
    std::printf("dropouts of 3 ms or more in a steady tone: light program, its first 20 s: %d "
                "(longest %.0f ms); busy scene, 8 s from its first sound: %d (longest %.0f ms)\n",
                light.count, light.longestMs, busy.count, busy.longestMs);
    return 0;
}

// Milliseconds until the screen's rectangle differs from what it showed
// before the clock started, or -1 after the limit.
qint64 waitForChange(const QRect& area, const QImage& before, const QElapsedTimer& clock,
                     qint64 limitMs) {
    while (clock.elapsed() < limitMs) {
        const QImage now = QGuiApplication::primaryScreen()
                               ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                               .toImage();
        if (now != before)
            return clock.elapsed();
        QThread::msleep(2);
    }
    return -1;
}

int refuse() {
    AppFolder app({program(QStringLiteral("C00000")), program(QStringLiteral("0000C0"))});
    // The second row's header claims 4 GiB; the file stays small.
    const QString names = QStringLiteral(KIBU_DEMO_DIR "/catalogue/b01.txt");
    QFile list(names);
    list.open(QIODevice::ReadOnly);
    const QString second = QString::fromUtf8(list.readAll()).split(u'\n').value(1).trimmed();
    QFile huge(app.path + QStringLiteral("/res/fla/") + second + QStringLiteral(".swf"));
    if (!huge.open(QIODevice::ReadWrite) || !huge.seek(4) || huge.write("\xff\xff\xff\xff") != 4)
        return 1;
    huge.close();
    Running r;
    if (startAndTime(r, playerExe(), playerArgs(app, kDeadWeb), 30000) < 0)
        return 1;
    QThread::msleep(3000);
    const double before = double(ProcessTree::total(r.process.processId(), "Pss:")) / 1024;
    // The category pictures: the first two, each 72 pixels wide.
    const QRect tiles[] = {{2, 2, 68, 66}, {74, 2, 68, 66}};
    std::vector<double> repaint;
    for (int i = 0; i < 5; ++i) {
        XClick::at(tiles[0].center()); // the first category, whose second row it is
        QThread::msleep(1000);
        const QImage look =
            QGuiApplication::primaryScreen()
                ->grabWindow(0, tiles[1].x(), tiles[1].y(), tiles[1].width(), tiles[1].height())
                .toImage();
        XClick::at(rowAt(1));
        QElapsedTimer t;
        XClick::at(tiles[1].center(), &t);
        repaint.push_back(double(waitForChange(tiles[1], look, t, 5000)));
        QThread::msleep(1000);
    }
    QThread::msleep(3000);
    const double after = double(ProcessTree::total(r.process.processId(), "Pss:")) / 1024;
    std::sort(repaint.begin(), repaint.end());
    std::printf("a program claiming 4 GiB clicked, then a category: press -> repaint (median of "
                "5) %.0f ms, slowest %.0f ms; process tree PSS %.0f MiB before, %.0f MiB after\n",
                median(repaint), repaint.back(), before, after);
    return 0;
}

// The peers' page: the engine's player made as its documentation shows,
// with its defaults, placed where the window has its stage; the program is
// named after '#'. Its title tells which renderer the engine took.
const char kPeerPage[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>peer</title>
<style>body { margin: 0; background: #fff; }
#stage { position: absolute; left: 1px; top: 72px; width: 842px; height: 571px; }</style>
</head><body><div id="stage"></div>
<script src="ruffle/ruffle.js"></script>
<script>
const player = window.RufflePlayer.newest().createPlayer();
player.style.width = "842px";
player.style.height = "571px";
document.getElementById("stage").appendChild(player);
player.ruffle().load(location.hash.slice(1));
setTimeout(() => {
    const canvas = player.shadowRoot && player.shadowRoot.querySelector("canvas");
    document.title = "renderer " + (canvas ? (canvas.getContext("2d") ? "canvas" : "webgl") : "none");
}, 3000);
</script></body></html>
)";

// Ends a process and everything it started, children first.
void endTree(QProcess& process) {
    const qint64 pid = process.processId();
    if (pid <= 0)
        return;
    const QList<qint64> children = ProcessTree::descendants(pid);
    process.kill();
    for (qint64 child : children)
        ::kill(pid_t(child), SIGKILL);
    process.waitForFinished(5000);
    waitGone();
}

// The X window names on the screen, through xdotool.
QString windowNames() {
    QProcess x;
    x.start(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^renderer "),
             QStringLiteral("getwindowname"), QStringLiteral("%@")});
    x.waitForFinished(5000);
    return QString::fromUtf8(x.readAllStandardOutput()).trimmed();
}

struct PeerRun {
    double cpu = -1;
    Shown shown;
    double pssMiB = 0, uniqueMiB = 0;
    QString note;                     // what the contestant said of its drawing
    QHash<QString, qint64> threads;   // ticks over the measured span
    QHash<QString, qint64> pssByKind; // KiB, by process kind
};

// Measures a started contestant whose program shows its frame code, over
// spanMs.
PeerRun measurePeer(QProcess& process, qint64 spanMs) {
    PeerRun run;
    if (!waitForFrameCode(30000)) {
        std::fprintf(stderr, "the program did not show\n");
        return run;
    }
    QThread::msleep(2000);
    const QHash<QString, qint64> before = ProcessTree::threadTicks(process.processId());
    run.cpu = cpuLoad(process, spanMs, [&] { run.shown = framesShown(spanMs - 1000); });
    const QHash<QString, qint64> after = ProcessTree::threadTicks(process.processId());
    for (auto it = after.begin(); it != after.end(); ++it)
        run.threads[it.key()] = it.value() - before.value(it.key());
    run.pssMiB = double(ProcessTree::total(process.processId(), "Pss:")) / 1024;
    run.pssByKind = ProcessTree::rollupByKind(process.processId(), "Pss:");
    run.uniqueMiB = double(ProcessTree::uniqueResident(process.processId())) / 1024;
    return run;
}

int envNumber(const char* name, int fallback) {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue(name, &ok);
    return ok && n > 0 ? n : fallback;
}

// Starts the player of a build and plays the program of row p; the shares
// of full resolution it announced go into the run's note.
PeerRun playerRun(Running& r, const QString& build, const AppFolder& app, const QString& webBase,
                  int p, qint64 spanMs, const QStringList& extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("kibu.engine.info=true"));
    r.process.setProcessEnvironment(env);
    QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("player.log"));
    r.process.setStandardErrorFile(log);
    r.process.start(playerExe(build), playerArgs(app, webBase) + extra);
    if (waitForColour(kSurface, kPink, 30000) < 0) {
        std::fprintf(stderr, "the window did not show\n");
        return {};
    }
    QThread::msleep(3000);
    XClick::at(rowAt(p));
    PeerRun run = measurePeer(r.process, spanMs);
    QFile said(log);
    said.open(QIODevice::ReadOnly);
    for (const QByteArray& line : said.readAll().split('\n'))
        if (line.contains("drawing at"))
            run.note += QString::fromUtf8(line.mid(line.indexOf("drawing at") + 11, 4)) + u' ';
    return run;
}

// Where one contestant spends more than another, thread by thread (their
// last rounds), in CPU seconds per second; main processes are named "main".
void printThreadDifference(const char* what, const PeerRun& o, const QString& oProgram,
                           const PeerRun& b, const QString& bProgram, qint64 spanMs) {
    const double tick = double(sysconf(_SC_CLK_TCK)) * double(spanMs) / 1000.0;
    QHash<QString, QPair<double, double>> byThread; // name -> (one, other)
    const auto add = [&](const PeerRun& run, const QString& program,
                         double QPair<double, double>::*into) {
        for (auto it = run.threads.begin(); it != run.threads.end(); ++it) {
            QString key = it.key();
            key.replace(program + QStringLiteral(" /"), QStringLiteral("main /"));
            byThread[key].*into += double(it.value()) / tick;
        }
    };
    add(o, oProgram, &QPair<double, double>::first);
    add(b, bProgram, &QPair<double, double>::second);
    QList<QPair<double, QString>> rows;
    for (auto it = byThread.begin(); it != byThread.end(); ++it)
        if (it.value().first > 0.004 || it.value().second > 0.004)
            rows.append({it.value().first - it.value().second, it.key()});
    std::sort(rows.begin(), rows.end(),
              [](const auto& x, const auto& y) { return x.first > y.first; });
    std::printf("%-5s by process / thread, s/s (last round): ours, bare, difference\n", what);
    for (const auto& row : rows)
        std::printf("        %-44s %.3f %.3f %+.3f\n", qPrintable(row.second),
                    byThread[row.second].first, byThread[row.second].second, row.first);
    std::printf("%-5s PSS by process kind, MiB (last round): ours, bare, difference\n", what);
    QMap<QString, QPair<double, double>> byKind; // kind -> (one, other), MiB
    for (auto it = o.pssByKind.begin(); it != o.pssByKind.end(); ++it)
        byKind[it.key() == oProgram ? QStringLiteral("main") : it.key()].first +=
            double(it.value()) / 1024;
    for (auto it = b.pssByKind.begin(); it != b.pssByKind.end(); ++it)
        byKind[it.key() == bProgram ? QStringLiteral("main") : it.key()].second +=
            double(it.value()) / 1024;
    for (auto it = byKind.begin(); it != byKind.end(); ++it) {
        const QString& shown = it.key();
        const double ours = it.value().first, bare = it.value().second;
        std::printf("        %-44s %.0f %.0f %+.0f\n", qPrintable(shown), ours, bare, ours - bare);
    }
}

int peers() {
    const QString chromium = QStringLiteral("/usr/bin/chromium");
    const int rounds = envNumber("KIBU_BENCH_ROUNDS", 3);
    const qint64 spanMs = 1000 * envNumber("KIBU_BENCH_SPAN", 10);
    const QString beforeBuild = QString::fromLocal8Bit(qgetenv("KIBU_BENCH_BEFORE"));
    const QStringList only =
        QString::fromLocal8Bit(qgetenv("KIBU_BENCH_ONLY")).split(u',', Qt::SkipEmptyParts);
    SoundServer sounds;
    const QStringList light =
        fullStage(QStringLiteral("--frame-code --background C00000 --busy 5"));
    const QStringList busy =
        fullStage(QStringLiteral("--frame-code --background 0000C0 --busy 400"));
    AppFolder app({light, busy});
    std::unique_ptr<AppFolder> beforeApp;
    if (!beforeBuild.isEmpty())
        beforeApp = std::make_unique<AppFolder>(QList<QStringList>{light, busy}, beforeBuild);
    StripSite strip;

    // The page and the same programs for the yardsticks.
    Site site(QStringLiteral("8990"));
    QTemporaryDir profiles;
    if (!site.write(QStringLiteral("peer.html"), kPeerPage))
        return 1;
    QFile::link(engineDir(), site.folder.filePath(QStringLiteral("ruffle")));
    QProcess::execute(QStringLiteral(KIBU_SWFGEN),
                      light + QStringList{site.folder.filePath(QStringLiteral("light.swf"))});
    QProcess::execute(QStringLiteral(KIBU_SWFGEN),
                      busy + QStringList{site.folder.filePath(QStringLiteral("busy.swf"))});
    const QString base = site.base + QStringLiteral("peer.html#");

    QStringList names = {QStringLiteral("ours"),   QStringLiteral("full"),
                         QStringLiteral("before"), QStringLiteral("bare"),
                         QStringLiteral("qt"),     QStringLiteral("chromium")};
    if (beforeBuild.isEmpty())
        names.removeAll(QStringLiteral("before"));
    if (!only.isEmpty())
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const QString& n) { return !only.contains(n); }),
                    names.end());
    if (names.contains(QStringLiteral("chromium")) && !QFileInfo::exists(chromium)) {
        std::fprintf(stderr, "no %s: bench/peers.sh installs it\n", qPrintable(chromium));
        return 2;
    }
    const QStringList programs = {QStringLiteral("light"), QStringLiteral("busy")};
    // [program][contestant] -> runs
    std::map<std::pair<int, QString>, std::vector<PeerRun>> runs;
    QString renderers;
    int profile = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int p = 0; p < programs.size(); ++p) {
            for (const QString& name : names) {
                Running r;
                PeerRun run;
                if (name == QLatin1String("ours")) {
                    run = playerRun(r, otherBuild(), app, strip.webBase, p, spanMs);
                } else if (name == QLatin1String("full")) {
                    run = playerRun(r, otherBuild(), app, strip.webBase, p, spanMs,
                                    {QStringLiteral("--full-resolution")});
                } else if (name == QLatin1String("before")) {
                    run = playerRun(r, beforeBuild, *beforeApp, strip.webBase, p, spanMs);
                } else {
                    const QString url = base + programs[p] + QStringLiteral(".swf");
                    r.process.setStandardErrorFile(QProcess::nullDevice());
                    r.process.setStandardOutputFile(QProcess::nullDevice());
                    if (name == QLatin1String("bare")) {
                        r.process.start(QStringLiteral(KIBU_BARE_ENGINE_EXE),
                                        {QStringLiteral("--as-ours"), url});
                    } else if (name == QLatin1String("qt")) {
                        r.process.start(QStringLiteral(KIBU_BARE_ENGINE_EXE), {url});
                    } else {
                        QStringList args = {
                            QStringLiteral("--user-data-dir=") +
                                profiles.filePath(QString::number(++profile)),
                            QStringLiteral("--no-first-run"),
                            QStringLiteral("--no-default-browser-check"),
                            // as the web view's setting: the engine's sound starts unasked
                            QStringLiteral("--autoplay-policy=no-user-gesture-required"),
                            QStringLiteral("--window-position=0,0"),
                            QStringLiteral("--window-size=1016,711"),
                            QStringLiteral("--app=") + url};
                        if (geteuid() == 0) // chromium starts as root only without its sandbox
                            args = QStringList{QStringLiteral("--no-sandbox"),
                                               QStringLiteral("--test-type")} +
                                   args;
                        r.process.start(chromium, args);
                    }
                    run = measurePeer(r.process, spanMs);
                    if (round == 0)
                        renderers += name + u' ' + programs[p] + QStringLiteral(": ") +
                                     windowNames() + QStringLiteral("; ");
                }
                endTree(r.process);
                std::fprintf(stderr,
                             "round %d %s %s: %.3f s/s, %.1f fps, %.0f ms, PSS %.0f MiB, "
                             "resident once %.0f MiB %s\n",
                             round + 1, qPrintable(programs[p]), qPrintable(name), run.cpu,
                             run.shown.perSecond, run.shown.longestMs, run.pssMiB, run.uniqueMiB,
                             qPrintable(run.note));
                runs[{p, name}].push_back(run);
            }
        }
    }

    auto med = [&](int p, const QString& name, const std::function<double(const PeerRun&)>& of) {
        std::vector<double> v;
        for (const PeerRun& run : runs[{p, name}])
            v.push_back(of(run));
        return median(v);
    };
    std::printf("%d rounds of %lld s; yardsticks' renderer (window title): %s\n", rounds,
                spanMs / 1000, qPrintable(renderers));
    for (int p = 0; p < programs.size(); ++p) {
        const QByteArray whatName = programs[p].toLatin1();
        const char* what = whatName.constData();
        struct Measure {
            const char* name;
            std::function<double(const PeerRun&)> of;
            const char* format;
        };
        const Measure measures[] = {
            {"CPU s/s", [](const PeerRun& r) { return r.cpu; }, "%.3f"},
            {"frames/s", [](const PeerRun& r) { return r.shown.perSecond; }, "%.1f"},
            {"longest on screen ms", [](const PeerRun& r) { return r.shown.longestMs; }, "%.0f"},
            {"PSS MiB", [](const PeerRun& r) { return r.pssMiB; }, "%.0f"},
            {"resident once MiB", [](const PeerRun& r) { return r.uniqueMiB; }, "%.0f"},
        };
        for (const Measure& m : measures) {
            std::printf("%-5s %-21s", what, m.name);
            for (const QString& name : names) {
                std::printf(" %s ", qPrintable(name));
                std::printf(m.format, med(p, name, m.of));
            }
            const double ours = med(p, QStringLiteral("ours"), m.of),
                         bare = med(p, QStringLiteral("bare"), m.of),
                         browser = med(p, QStringLiteral("chromium"), m.of);
            std::printf("  ours/bare %.2f  ours/chromium %.2f  bare/chromium %.2f  ours-bare %.1f",
                        ours / bare, ours / browser, bare / browser, ours - bare);
            if (names.contains(QStringLiteral("full")))
                std::printf("  full/bare %.2f", med(p, QStringLiteral("full"), m.of) / bare);
            if (names.contains(QStringLiteral("before")))
                std::printf("  ours/before %.2f", ours / med(p, QStringLiteral("before"), m.of));
            std::printf("\n");
        }
        for (const QString& name : {QStringLiteral("ours"), QStringLiteral("before")}) {
            if (!names.contains(name))
                continue;
            QString notes;
            for (const PeerRun& run : runs[{p, name}])
                notes += run.note.isEmpty() ? QStringLiteral("[full] ")
                                            : u'[' + run.note.trimmed() + QStringLiteral("] ");
            std::printf("%-5s %s drew at (shares of full resolution announced, by round): %s\n",
                        what, qPrintable(name), qPrintable(notes));
        }
        if (names.contains(QStringLiteral("ours")) && names.contains(QStringLiteral("bare")))
            printThreadDifference(what, runs[{p, QStringLiteral("ours")}].back(),
                                  QStringLiteral("kibu-player"),
                                  runs[{p, QStringLiteral("bare")}].back(),
                                  QStringLiteral("bench_bare_engine"), spanMs);
        if (names.contains(QStringLiteral("full")) && names.contains(QStringLiteral("bare")) &&
            p == 1) {
            std::printf("(ours at full resolution against bare:)\n");
            printThreadDifference(what, runs[{p, QStringLiteral("full")}].back(),
                                  QStringLiteral("kibu-player"),
                                  runs[{p, QStringLiteral("bare")}].back(),
                                  QStringLiteral("bench_bare_engine"), spanMs);
        }
    }
    return 0;
}

int soak() {
    AppFolder app({program(QStringLiteral("C00000")), program(QStringLiteral("0000C0"))});
    int shown = 0;
    double slowest = 0;
    for (int i = 0; i < 30; ++i) {
        Running r;
        const qint64 ms = startAndTime(r, playerExe(), playerArgs(app, kDeadWeb), 5000);
        if (ms >= 0) {
            ++shown;
            slowest = std::max(slowest, double(ms));
        }
        r.process.kill();
        r.process.waitForFinished(5000);
        waitGone();
    }
    std::printf("cold starts showing a window within 5 s: %d/30 (slowest shown %.0f ms)\n", shown,
                slowest);
    return shown == 30 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (mode == QLatin1String("startup"))
        return startup();
    if (mode == QLatin1String("click"))
        return clicks();
    if (mode == QLatin1String("soak"))
        return soak();
    if (mode == QLatin1String("playback"))
        return playback();
    if (mode == QLatin1String("sound"))
        return sound();
    if (mode == QLatin1String("refuse"))
        return refuse();
    if (mode == QLatin1String("peers"))
        return peers();
    std::fprintf(stderr, "usage: bench_window startup|click|soak|playback|sound|refuse|peers\n");
    return 2;
}
