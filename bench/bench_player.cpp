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

#include "ProcessTree.h"

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
    const qint64 rss = ProcessTree::total(self, "Rss:");
    const qint64 pss = ProcessTree::total(self, "Pss:");
    std::printf("process tree while playing: RSS %lld MiB, PSS %lld MiB\n",
                static_cast<long long>(rss / 1024), static_cast<long long>(pss / 1024));
    return 0;
}
