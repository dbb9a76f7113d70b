// Times the two things a parent waits for at start: the main list filling
// from a very large list file, and the window appearing.
//
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 build/bench/bench_startup
//
// 1. LoadList on a 32767-line list whose programs are all in the cache
//    (the most rows the list can hold, and the most file look-ups): the
//    reading and marking alone, and the window's LoadList with the list box.
// 2. Start-up: the executable's own launch (process start, libraries,
//    options: `kibu-player --version`), and in this process the window's
//    construction, Form_Load and show until it is exposed, with the real
//    Flash player, information strip and voice player.

#include "catalogue/ListLoader.h"
#include "catalogue/TextFile.h"
#include "flash/RuffleFlashPlayer.h"
#include "shell/DesktopServices.h"
#include "shell/Form1.h"
#include "shell/SoundEffectVoicePlayer.h"
#include "shell/WebEngineInfoBrowser.h"
#include "ui/MessageBoxNotifier.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Where both servers cannot be reached.
AppSettings settingsFor(const AppFolder& app) {
    AppSettings settings;
    settings.app = app;
    settings.downloadBase = settings.webBase = QStringLiteral("http://127.0.0.1:9/");
    return settings;
}

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

class NullNotifier : public Notifier {
public:
    void notice(const QString& text) override {
        std::fprintf(stderr, "notice: %s\n", qPrintable(text));
    }
    void message(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool confirm(const QString&) override { return false; }
};

Form1Services services(FlashPlayer* player, InfoBrowser* browser, VoicePlayer* voice,
                       Notifier* notifier, UrlOpener* opener) {
    Form1Services s;
    s.player = player;
    s.browser = browser;
    s.voice = voice;
    s.notifier = notifier;
    s.urlOpener = opener;
    return s;
}

class NullOpener : public UrlOpener {
public:
    void open(const QString&) override {}
};

bool makeAppFolder(const QString& root, int programs) {
    QDir dir(root);
    if (!dir.mkpath(QStringLiteral("cons")) || !dir.mkpath(QStringLiteral("res/fla")))
        return false;
    QStringList names;
    names.reserve(programs);
    for (int i = 0; i < programs; ++i) {
        const QString name = QStringLiteral("儿歌节目%1").arg(i);
        names.append(name);
        QFile f(dir.filePath(QStringLiteral("res/fla/") + name + QStringLiteral(".swf")));
        if (!f.open(QIODevice::WriteOnly) || f.write("FWS") != 3)
            return false;
    }
    return TextFile::rewrite(dir.filePath(QStringLiteral("cons/b01.inb")), names) &&
           TextFile::rewrite(dir.filePath(QStringLiteral("cons/guihu.inb")),
                             {QStringLiteral("abcdefghijklmnop")});
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    constexpr int kRows = 32767;

    // The executable's launch: process start, libraries, options.
    const double launch = medianMs(5, [] {
        QProcess p;
        p.start(QStringLiteral(KIBU_PLAYER_EXE), {QStringLiteral("--version")});
        p.waitForFinished(30000);
    });

    // Start-up of the window on a demo-sized folder.
    QTemporaryDir small;
    const QString smallRoot = small.filePath(QStringLiteral("app"));
    makeAppFolder(smallRoot, 5);
    QElapsedTimer t;
    t.start();
    RuffleFlashPlayer smallPlayer{QStringLiteral(KIBU_ENGINE_DIR)};
    NullNotifier notifier;
    NullOpener opener;
    SoundEffectVoicePlayer voice;
    WebEngineInfoBrowser browser;
    Form1Services s = services(&smallPlayer, &browser, &voice, &notifier, &opener);
    Form1 form(settingsFor(AppFolder(smallRoot)), s);
    form.Form_Load();
    form.show();
    const bool exposed = QTest::qWaitForWindowExposed(&form, 30000);
    const double shown = static_cast<double>(t.nsecsElapsed()) / 1e6;
    std::printf("Start-up: launch (--version) %.1f ms (median of 5); window built, loaded and "
                "shown %.1f ms%s\n",
                launch, shown, exposed ? "" : " (never exposed)");

    QTemporaryDir big;
    const QString root = big.filePath(QStringLiteral("app"));
    if (!makeAppFolder(root, kRows)) {
        std::fprintf(stderr, "cannot lay out the benchmark folder\n");
        return 1;
    }
    const AppFolder folder(root);

    const double readAndMark = medianMs(5, [&] {
        const auto r =
            ListLoader::load(folder.path(QStringLiteral("cons/b01.inb")), folder.cacheFolder());
        if (r.rows.size() != kRows || !r.rows.first().startsWith(QStringLiteral("  ")))
            std::fprintf(stderr, "unexpected rows\n");
    });

    RuffleFlashPlayer bigPlayer{QStringLiteral(KIBU_ENGINE_DIR)};
    {
        // The same rows through the window, into its list box.
        WebEngineInfoBrowser bigBrowser;
        Form1Services bigServices = services(&bigPlayer, &bigBrowser, &voice, &notifier, &opener);
        Form1 bigForm(settingsFor(folder), bigServices);
        bigForm.Form_Load();
        const double windowLoadList =
            medianMs(5, [&] { bigForm.LoadList(QStringLiteral("cons/b01.inb")); });
        std::printf("LoadList, %d rows all cached: read+mark %.1f ms, window LoadList %.1f ms "
                    "(median of 5)\n",
                    kRows, readAndMark, windowLoadList);
    }

    return 0;
}
