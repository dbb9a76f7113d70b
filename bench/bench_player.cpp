// Times how long a child waits for a program to appear, and what playing
// costs in memory.
//
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 build/bench/bench_player
//
// 1. Engine start: player made -> page and engine ready.
// 2. Movie write -> first frame reported by the engine, for the first
//    program of a run and for a second one. The first is written the moment
//    the page is ready, before the engine's WebAssembly has compiled, so it
//    pays for that compile (about 1 s); a child's first click comes later
//    and finds it done (see bench_window click, which times from a click to
//    the screen).
// 3. The process tree's memory (RSS and PSS of this process and its
//    children, the web engine's processes) while a program plays.

#include "flash/RuffleFlashPlayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstdio>

namespace {

bool waitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Children of a process, from /proc (Linux only, as this benchmark).
QList<qint64> descendants(qint64 pid) {
    QList<qint64> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 child = entry.toLongLong(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            result += QList<qint64>{child} + descendants(child);
    }
    return result;
}

// kB of a field of /proc/PID/smaps_rollup ("Rss:", "Pss:").
qint64 rollup(qint64 pid, const QByteArray& field) {
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

QString generate(const QTemporaryDir& dir, const QString& name, const QStringList& options) {
    const QString path = dir.filePath(name);
    QProcess::execute(QStringLiteral(KIBU_SWFGEN), options + QStringList{path});
    return path;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString first = generate(dir, QStringLiteral("first.swf"),
                                   {QStringLiteral("--version"), QStringLiteral("6")});
    const QString second = generate(dir, QStringLiteral("second.swf"),
                                    {QStringLiteral("--compress"), QStringLiteral("zlib")});

    QWidget window;
    window.resize(842, 571);
    QElapsedTimer t;
    t.start();
    RuffleFlashPlayer player(QStringLiteral(KIBU_ENGINE_DIR));
    player.widget()->setParent(&window);
    player.widget()->setGeometry(0, 0, 842, 571);
    window.show();
    if (!waitFor([&] { return player.isReady() || !player.failure().isEmpty(); }, 60000) ||
        !player.failure().isEmpty()) {
        std::fprintf(stderr, "engine did not start: %s\n", qPrintable(player.failure()));
        return 1;
    }
    std::printf("engine ready: %lld ms after the player was made\n",
                static_cast<long long>(t.elapsed()));

    int frames = 0;
    QObject::connect(&player, &RuffleFlashPlayer::frameChanged, [&](int) { ++frames; });
    for (const QString& path : {first, second}) {
        frames = 0;
        t.restart();
        player.setMovie(QStringLiteral("http://"));
        player.setMovie(path);
        player.play();
        const bool shown = waitFor([&] { return frames > 0; }, 30000);
        std::printf("%s: Movie write -> first frame %lld ms%s\n",
                    path == first ? "first program" : "second program",
                    static_cast<long long>(t.elapsed()), shown ? "" : " (never shown)");
    }

    QTest::qWait(3000); // playing for a while
    const qint64 self = QCoreApplication::applicationPid();
    qint64 rss = 0;
    qint64 pss = 0;
    for (qint64 pid : QList<qint64>{self} + descendants(self)) {
        rss += rollup(pid, "Rss:");
        pss += rollup(pid, "Pss:");
    }
    std::printf("process tree while playing: RSS %lld MiB, PSS %lld MiB\n",
                static_cast<long long>(rss / 1024), static_cast<long long>(pss / 1024));
    return 0;
}
