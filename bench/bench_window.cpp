// The player as a child meets it, on a real X server: how soon the window
// shows, how soon a clicked program is on the screen, and what playing
// costs. Everything is seen from outside, on the screen: a pixel of the
// window's pink, a pixel of the stage's colour.
//
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench_window startup|click|soak
//
// startup  start -> window visible, the player against a bare Qt window of
//          the same size (bench_bare_window), alternating, 10 runs each.
// click    a program clicked 1 s after the window shows, and a second one:
//          click -> the stage's colour on the screen; then the whole process
//          tree's PSS while the second plays with the information strip
//          showing its page (served by nginx). 3 runs.
// soak     30 cold starts, each must show its window within 5 s: n/30.
//
// As root, QTWEBENGINE_DISABLE_SANDBOX=1 must be set.

#include "ProcessTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
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

void click(QPoint at) {
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number(at.x()),
                       QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// An application folder of its own, with the engine and two cached programs
// of the first category, a red and a blue one.
struct AppFolder {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("app"));
    AppFolder() {
        QProcess::execute(QStringLiteral(KIBU_MAKE_APP_FOLDER),
                          {QStringLiteral(KIBU_DEMO_DIR), path});
        QDir().mkpath(path + QStringLiteral("/res"));
        QFile::link(QStringLiteral(KIBU_ENGINE_DIR), path + QStringLiteral("/res/ruffle"));
        QFile list(QStringLiteral(KIBU_DEMO_DIR "/catalogue/b01.txt"));
        list.open(QIODevice::ReadOnly);
        const QStringList names = QString::fromUtf8(list.readAll()).split(u'\n');
        const QStringList colours{QStringLiteral("C00000"), QStringLiteral("0000C0")};
        for (int i = 0; i < 2; ++i)
            QProcess::execute(
                QStringLiteral(KIBU_SWFGEN),
                {QStringLiteral("--frames"), QStringLiteral("600"), QStringLiteral("--size"),
                 QStringLiteral("550x400"), QStringLiteral("--background"), colours[i],
                 path + QStringLiteral("/res/fla/") + names[i].trimmed() + QStringLiteral(".swf")});
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
    AppFolder app;
    std::vector<double> player, bare;
    for (int i = 0; i < 10; ++i) {
        {
            Running r;
            player.push_back(double(startAndTime(r, QStringLiteral(KIBU_PLAYER_EXE),
                                                 playerArgs(app, kDeadWeb), 30000)));
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

int clicks() {
    AppFolder app;
    // The strip's page, from a web server of its own.
    QTemporaryDir site, run;
    QFile page(site.filePath(QStringLiteral("show1.htm")));
    page.open(QIODevice::WriteOnly);
    page.write("<html><body style='background:#fff0fb'>show1</body></html>");
    page.close();
    QProcess nginx;
    nginx.start(QStringLiteral(KIBU_SOURCE_DIR "/scripts/nginx-serve.sh"),
                {QStringLiteral("start"), site.path(), run.path(), QStringLiteral("8980")});
    nginx.waitForFinished(10000);
    const QString port = QString::fromLatin1(nginx.readAllStandardOutput()).trimmed();
    const QString webBase = QStringLiteral("http://127.0.0.1:%1/").arg(port);

    std::vector<double> first, second, pss;
    for (int i = 0; i < 3; ++i) {
        Running r;
        if (startAndTime(r, QStringLiteral(KIBU_PLAYER_EXE), playerArgs(app, webBase), 30000) < 0)
            continue;
        QThread::msleep(1000);
        QElapsedTimer t;
        click({900, 82});
        t.start();
        const bool red = waitForColour(kStage, QColor(192, 0, 0), 20000) >= 0;
        first.push_back(red ? double(t.elapsed()) : -1);
        QThread::msleep(1500);
        click({900, 100});
        t.start();
        const bool blue = waitForColour(kStage, QColor(0, 0, 192), 20000) >= 0;
        second.push_back(blue ? double(t.elapsed()) : -1);
        QThread::msleep(3000);
        pss.push_back(double(ProcessTree::total(r.process.processId(), "Pss:")) / 1024);
        r.process.kill();
        r.process.waitForFinished(5000);
        waitGone();
    }
    QProcess::execute(QStringLiteral(KIBU_SOURCE_DIR "/scripts/nginx-serve.sh"),
                      {QStringLiteral("stop"), run.path()});
    const double f = median(first), s = median(second);
    std::printf("click -> first frame on screen (median of 3): first program %.0f ms, "
                "second program %.0f ms, ratio %.2f\n",
                f, s, f / s);
    std::printf("process tree PSS while playing, strip showing a page (median of 3): %.0f MiB\n",
                median(pss));
    return 0;
}

int soak() {
    AppFolder app;
    int shown = 0;
    double slowest = 0;
    for (int i = 0; i < 30; ++i) {
        Running r;
        const qint64 ms =
            startAndTime(r, QStringLiteral(KIBU_PLAYER_EXE), playerArgs(app, kDeadWeb), 5000);
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
    std::fprintf(stderr, "usage: bench_window startup|click|soak\n");
    return 2;
}
