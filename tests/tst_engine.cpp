// The real Flash engine, end to end: generated movies played through the
// player the window uses, checked by frame position, play state and what
// the stage shows.

#include "flash/RuffleFlashPlayer.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <QtTest>
#include <signal.h>
#include <sys/stat.h>

namespace {

// Waits until the condition holds or the time is up; the event loop runs.
bool waitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QWidget* m_window = nullptr;
    RuffleFlashPlayer* m_player = nullptr;

    // A generated program; options as on the generator's command line.
    QString movie(const QString& name, const QString& options = {}) {
        return movie(name, options.split(u' ', Qt::SkipEmptyParts));
    }
    QString movie(const QString& name, const QStringList& options) {
        const QString path = m_dir.filePath(name);
        QProcess gen;
        gen.start(QStringLiteral(KIBU_SWFGEN), options + QStringList{path});
        if (!gen.waitForFinished(30000) || gen.exitCode() != 0)
            qWarning() << "generator failed:" << gen.readAllStandardError();
        return path;
    }

    // Waits for the program to be running and measures its frame rate.
    double measuredRate(int ms) {
        if (!waitFor([this] { return m_player->frameNum() > 0; }, 8000))
            return 0;
        const int from = m_player->frameNum();
        QElapsedTimer t;
        t.start();
        QTest::qWait(ms);
        return (m_player->frameNum() - from) * 1000.0 / static_cast<double>(t.elapsed());
    }

    // What the engine traces playing a movie by itself, in a page of its
    // own, with the program's folder as its base.
    QStringList tracesPlayedDirectly(const QString& path, int expected) {
        const QUrl engine = QUrl::fromLocalFile(QStringLiteral(KIBU_ENGINE_DIR) + u'/');
        const QFileInfo file(path);
        const QString page =
            QStringLiteral(
                "<!DOCTYPE html><html><body style='margin:0'><script>"
                "window.RufflePlayer = {config: {autoplay: 'on', unmuteOverlay: 'hidden',"
                " splashScreen: false, polyfills: false, allowScriptAccess: true,"
                " allowNetworking: 'all', publicPath: '%1'}}; window.traces = [];</script>"
                "<script src='%1ruffle.js'></script><script>"
                "const p = window.RufflePlayer.newest().createPlayer();"
                "p.style.width = '320px'; p.style.height = '240px';"
                "document.body.appendChild(p); const api = p.ruffle();"
                "api.load({url: '%2', base: '%3'}).then(() => {"
                " api.traceObserver = m => window.traces.push(String(m)); "
                "});</script></body></html>")
                .arg(engine.toString(), QUrl::fromLocalFile(file.absoluteFilePath()).toString(),
                     QUrl::fromLocalFile(file.absolutePath() + u'/').toString());
        const QString pagePath = m_dir.filePath(QStringLiteral("direct.html"));
        QFile out(pagePath);
        if (!out.open(QIODevice::WriteOnly) || out.write(page.toUtf8()) < 0)
            return {};
        out.close();
        QWebEngineView view;
        view.resize(320, 240);
        view.show();
        view.load(QUrl::fromLocalFile(pagePath));
        QStringList traces;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 6000 && traces.size() < expected) {
            view.page()->runJavaScript(
                QStringLiteral("JSON.stringify(window.traces || [])"), [&](const QVariant& v) {
                    traces.clear();
                    const auto list = QJsonDocument::fromJson(v.toString().toUtf8()).array();
                    for (const auto& item : list)
                        traces.append(item.toString());
                });
            QTest::qWait(100);
        }
        return traces;
    }

    // What the program traces through the player (started and playing) and
    // played directly, in the same run.
    void tracesBothWays(const QString& program, int expected, QStringList* hosted,
                        QStringList* direct) {
        m_player->setTraceForwarding(true);
        auto connection = connect(m_player, &RuffleFlashPlayer::traced, this,
                                  [hosted](const QString& m) { hosted->append(m); });
        m_player->setMovie(program);
        m_player->play();
        *direct = tracesPlayedDirectly(program, expected);
        waitFor([&] { return hosted->size() >= direct->size(); }, 8000);
        disconnect(connection);
        m_player->setTraceForwarding(false);
    }

    // A value of the player page, as its script sees it.
    QVariant pageValue(const QString& script) {
        QWebEngineView* view = m_player->widget()->findChild<QWebEngineView*>();
        QVariant value;
        bool done = false;
        view->page()->runJavaScript(script, [&](const QVariant& v) {
            value = v;
            done = true;
        });
        waitFor([&] { return done; }, 5000);
        return value;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_window = new QWidget;
        m_window->resize(640, 480);
        m_player = new RuffleFlashPlayer(QStringLiteral(KIBU_ENGINE_DIR),
                                         RuffleFlashPlayer::Start::Now, m_window);
        m_player->widget()->setParent(m_window);
        m_player->widget()->setGeometry(0, 0, 640, 480);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QVERIFY2(waitFor([this] { return m_player->isReady() || !m_player->failure().isEmpty(); },
                         60000),
                 "the player page never became ready");
        QVERIFY2(m_player->failure().isEmpty(), qPrintable(m_player->failure()));
    }

    void cleanupTestCase() { delete m_window; }

    void playsStopsSeeksAndResumes_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("compression");
        QTest::newRow("SWF 5") << 5 << QStringLiteral("none");
        QTest::newRow("SWF 6") << 6 << QStringLiteral("none");
        QTest::newRow("SWF 7, zlib") << 7 << QStringLiteral("zlib");
        QTest::newRow("SWF 8, zlib") << 8 << QStringLiteral("zlib");
    }
    void playsStopsSeeksAndResumes() {
        QFETCH(int, version);
        QFETCH(QString, compression);
        const QString path =
            movie(QStringLiteral("v%1.swf").arg(version),
                  QStringLiteral("--version %1 --frames 60 --rate 12 --compress %2 --background "
                                 "ff0000")
                      .arg(version)
                      .arg(compression));
        m_player->setMovie(path);
        QCOMPARE(m_player->totalFrames(), 60);
        m_player->play();
        QVERIFY(!m_player->playing()); // not before its first frame has run

        const double rate = measuredRate(1500);
        QVERIFY2(rate > 8 && rate < 16, qPrintable(QStringLiteral("%1 frames/s").arg(rate)));
        QVERIFY(m_player->playing());

        m_player->stopPlay();
        QVERIFY(!m_player->playing());
        QTest::qWait(200);
        const int frozen = m_player->frameNum();
        QTest::qWait(600);
        QCOMPARE(m_player->frameNum(), frozen);

        m_player->gotoFrame(45);
        QVERIFY(waitFor([this] { return std::abs(m_player->frameNum() - 45) <= 1; }, 2000));
        QTest::qWait(500);
        QVERIFY(std::abs(m_player->frameNum() - 45) <= 1); // stays put while stopped
        QVERIFY(!m_player->playing());

        m_player->play();
        QVERIFY(waitFor([this] { return m_player->frameNum() >= 47 || m_player->frameNum() < 40; },
                        3000));
        QVERIFY(m_player->playing());

        // The stage shows the program, not an empty page: what the player
        // area draws holds the program's colours.
        const QImage shot = m_player->widget()->grab().toImage();
        shot.save(QDir::temp().filePath(QStringLiteral("kibu-engine-%1.png").arg(version)));
        QVERIFY(!shot.isNull());
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 8)
            for (int x = 0; x < shot.width(); x += 8)
                colours.insert(shot.pixel(x, y));
        QVERIFY2(colours.size() >= 2, "the player area is blank");
    }

    // A program that looks at its own paths, jumps through _level0, loads a
    // movie into level 1 and finally a companion in its own place, by
    // relative names: what it traces, played here, is what it traces when
    // the engine plays it directly; and the position follows the companion.
    void playsProgramsAsTheEngineDoes_data() {
        QTest::addColumn<int>("version");
        for (int v = 5; v <= 8; ++v)
            QTest::newRow(qPrintable(QStringLiteral("SWF %1").arg(v))) << v;
    }
    void playsProgramsAsTheEngineDoes() {
        QFETCH(int, version);
        const QString folder = QStringLiteral("v%1/").arg(version);
        QVERIFY(QDir(m_dir.path()).mkpath(folder));
        auto make = [&](const QString& name, int frames, const QStringList& actions,
                        const QString& more = {}) {
            QString options = QStringLiteral("--version %1 --frames %2 --rate 24 %3")
                                  .arg(version)
                                  .arg(frames)
                                  .arg(more);
            for (const QString& a : actions)
                options += QStringLiteral(" --action ") + a;
            return movie(folder + name, options);
        };
        make(QStringLiteral("level1.swf"), 5, {"1:trace=level1", "1:trace-expr=this"},
             QStringLiteral("--stop-at 1"));
        make(QStringLiteral("companion.swf"), 240,
             {"1:trace=companion", "1:trace-expr=_level0._totalframes", "1:trace-expr=this"});
        const QString program =
            make(QStringLiteral("main.swf"), 40,
                 {"1:trace-expr=this", "1:trace-expr=_target", "1:load=level1.swf,_level1",
                  "5:trace-expr=_level0._totalframes", "8:goto-stop=20", "20:trace=at20",
                  "20:load=companion.swf,_level0"});

        QStringList hosted, direct;
        tracesBothWays(program, 9, &hosted, &direct);

        QCOMPARE(direct.size(), 9);
        QVERIFY2(direct.mid(0, 2) == QStringList({"_level0", "/"}), qPrintable(direct.join(u',')));
        QStringList a = hosted, b = direct; // levels load at their own pace
        a.sort();
        b.sort();
        QCOMPARE(a, b);

        // The companion took the program's place: its frame count counts.
        QVERIFY(waitFor([this] { return m_player->totalFrames() == 240; }, 3000));
        m_player->gotoFrame(80);
        QVERIFY(waitFor([this] { return std::abs(m_player->frameNum() - 80) <= 2; }, 3000));
    }

    // The page reaches into the engine's private parts (its stage's inside,
    // its sound buffers' refill); an engine without them fails here, not
    // silently in a child's window.
    void engineHasTheInternalsThePageReliesOn() {
        m_player->setMovie(movie(QStringLiteral("internals.swf"),
                                 QStringLiteral("--frames 100 --rate 24 --tone 440")));
        m_player->play();
        QVERIFY(waitFor([this] { return m_player->frameNum() > 10; }, 8000));
        m_player->stopPlay(); // the engine's own play button comes with a pause
        const QString missing =
            QStringLiteral("kibuEngineInternalsMissing(kibuState.player).join()");
        waitFor([&] { return pageValue(missing).toString().isEmpty(); }, 3000);
        QCOMPARE(pageValue(missing).toString(), QString());
    }

    // A program that loads a movie into each of two clips of its own, the
    // clips locking their roots: each movie traces what it traces played
    // directly, in its order, and the movies loaded have started before the
    // program's line half a second on. (Which of the two starts first, and
    // whether before the program's next frame or two, depends on when each
    // load ends, played directly too.)
    void loadsMoviesIntoItsClipsAsTheEngineDoes() {
        const QStringList children = {QStringLiteral("left"), QStringLiteral("right")};
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("clips")));
        QString options = QStringLiteral("--version 8 --frames 10 --rate 12 --stop-at 7 "
                                         "--action 1:trace=main --action 7:trace=main-7");
        for (const QString& child : children) {
            movie(QStringLiteral("clips/%1.swf").arg(child),
                  QStringLiteral("--version 8 --frames 5 --rate 12 --stop-at 2 --action "
                                 "1:trace=%1 --action 1:trace-expr=_root --action 2:trace=%1-2")
                      .arg(child));
            options += QStringLiteral(" --action 1:clip=%1,%2 --action 1:lockroot=%1 "
                                      "--action 1:load-clip=%1.swf,%1")
                           .arg(child)
                           .arg(children.indexOf(child) + 1);
        }
        const QString program = movie(QStringLiteral("clips/main.swf"), options);

        QStringList hosted, direct;
        tracesBothWays(program, 8, &hosted, &direct);
        for (const QStringList& traces : {direct, hosted}) {
            const QString all = traces.join(u',');
            QCOMPARE(traces.size(), 8);
            QVERIFY2(traces.first() == QLatin1String("main") && traces.last() == "main-7",
                     qPrintable(all));
            for (const QString& child : children) {
                const qsizetype at = traces.indexOf(child);
                QVERIFY2(at > 0 && traces.value(at + 1) == "_level0." + child &&
                             traces.indexOf(child + "-2") > at + 1,
                         qPrintable(all));
            }
        }
    }

    // The host hands over at a rate of its own; the program then keeps its
    // own, by its own clock (getTimer at each frame), from its first frame,
    // and the sound of its first frame plays at once: the buffer that
    // carries it is not queued behind another. The same in an instance
    // built ahead: after another program from the same folder, or for the
    // folder programs are expected from.
    void startsAtOnceAndRunsAtItsOwnRate_data() {
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("before");
        QTest::newRow("12 fps") << 12.0 << QString();
        QTest::newRow("30 fps") << 30.0 << QString();
        QTest::newRow("30 fps, waiting for the folder") << 30.0 << QStringLiteral("folder");
        QTest::newRow("12 fps, waiting after a program") << 12.0 << QStringLiteral("program");
    }
    void startsAtOnceAndRunsAtItsOwnRate() {
        QFETCH(double, rate);
        QFETCH(QString, before);
        // Not from the folder waited for, unless it should.
        QDir(m_dir.path()).mkpath(QStringLiteral("elsewhere"));
        const QString path = movie(
            QStringLiteral("%1rate%2.swf").arg(before.isEmpty() ? "elsewhere/" : "").arg(rate),
            QStringLiteral("--frames 100 --rate %1 --trace-time --tone 440").arg(rate));
        m_player->setMovie(FlashPlayer::kNoProgram);
        if (before == QLatin1String("program")) {
            m_player->setMovie(movie(QStringLiteral("before.swf")));
            m_player->play();
        } else if (before == QLatin1String("folder")) {
            m_player->expectProgramsFrom(m_dir.path());
        }
        if (!before.isEmpty()) {
            const QString ready =
                QStringLiteral(
                    "kibuWaiting.base === '%1' && kibuCallOn(kibuWaiting.api, 'kibuReady')")
                    .arg(QUrl::fromLocalFile(m_dir.path() + u'/').toString(QUrl::FullyEncoded));
            QVERIFY(waitFor([&] { return pageValue(ready) == true; }, 8000));
            pageValue(QStringLiteral("window.waitingOne = kibuWaiting.player"));
        }
        // From each sounding buffer's start call to its start, in seconds.
        pageValue(QStringLiteral(
            "window.sounds = []; window.start = AudioBufferSourceNode.prototype.start; {"
            "const now = Object.getOwnPropertyDescriptor(BaseAudioContext.prototype, "
            "'currentTime').get;"
            "AudioBufferSourceNode.prototype.start = function(when) {"
            " if (this.buffer.getChannelData(0).some(v => Math.abs(v) > 0.05))"
            "  window.sounds.push(when - now.call(this.context));"
            " return window.start.apply(this, arguments); }}"));
        QMap<int, double> at; // frame -> getTimer
        m_player->setTraceForwarding(true);
        auto connection =
            connect(m_player, &RuffleFlashPlayer::traced, this, [&at](const QString& m) {
                const QStringList parts = m.split(u' ');
                if (parts.size() == 3 && parts[0] == QLatin1String("frame"))
                    at.insert(parts[1].toInt(), parts[2].toDouble());
            });
        m_player->setMovie(path);
        m_player->play();
        const bool enough = waitFor([&at] { return at.contains(20); }, 10000);
        disconnect(connection);
        m_player->setTraceForwarding(false);
        QVERIFY(enough);
        QVERIFY(at.contains(1));
        QCOMPARE(pageValue("kibuState.player === window.waitingOne").toBool(), !before.isEmpty());
        const double perFrame = (at.value(20) - at.value(4)) / 16;
        QVERIFY2(std::abs(perFrame - 1000 / rate) < 0.2 * 1000 / rate,
                 qPrintable(QStringLiteral("%1 ms a frame").arg(perFrame)));
        const QVariant queuedFor = pageValue(QStringLiteral("window.sounds[0]"));
        pageValue(QStringLiteral("AudioBufferSourceNode.prototype.start = window.start"));
        QVERIFY2(queuedFor.isValid() && queuedFor.toDouble() < 0.005,
                 qPrintable(QStringLiteral("queued for %1 s").arg(queuedFor.toDouble())));
    }

    // A program the engine cannot draw at its rate is drawn at a lower
    // resolution; a light one keeps full resolution, and so does the next
    // program after a busy one.
    void drawsBusyProgramsAtLowerResolution() {
        const auto program = [this](const QString& name, int shapes) {
            return movie(name, shapes ? QStringLiteral("--frames 600 --rate 30 --size 640x480 "
                                                       "--busy %1")
                                            .arg(shapes)
                                      : QStringLiteral("--frames 600 --rate 12 --size 640x480"));
        };
        const QString light = program(QStringLiteral("light.swf"), 0);
        const QString busy = program(QStringLiteral("busy.swf"), 1500);
        const auto resolution = [this] {
            return pageValue(QStringLiteral("kibuDetail.steps[kibuDetail.step]"));
        };

        m_player->setMovie(light);
        m_player->play();
        QTest::qWait(6000);
        QCOMPARE(resolution().toDouble(), 1.0);

        m_player->setMovie(busy);
        m_player->play();
        QVERIFY2(waitFor([&] { return resolution().toDouble() < 1; }, 10000),
                 "the busy program stayed at full resolution");
        // Far behind, it goes down past the next step at once.
        QVERIFY2(resolution().toDouble() < 0.75, qPrintable(resolution().toString()));

        // Held, it goes back to full resolution and stays there.
        m_player->setFullResolution(true);
        QCOMPARE(resolution().toDouble(), 1.0);
        QTest::qWait(3500);
        QCOMPARE(resolution().toDouble(), 1.0);
        m_player->setFullResolution(false);

        m_player->setMovie(light);
        m_player->play();
        QTest::qWait(200);
        QCOMPARE(resolution().toDouble(), 1.0);
        m_player->setMovie(FlashPlayer::kNoProgram);
    }

    void aProgramThatStopsItselfIsNotPlaying() {
        const QString path = movie(QStringLiteral("stops.swf"),
                                   QStringLiteral("--frames 24 --rate 24 --stop-at 24"));
        m_player->setMovie(path);
        m_player->play();
        QVERIFY(waitFor([this] { return m_player->frameNum() == 23; }, 6000));
        QVERIFY(waitFor([this] { return !m_player->playing(); }, 4000));
        QCOMPARE(m_player->frameNum(), 23);

        // Play restarts a timeline the program stopped itself.
        m_player->play();
        QVERIFY(waitFor([this] { return m_player->frameNum() < 23; }, 3000));
        QVERIFY(m_player->playing());
    }

    // ActionScript 3 programs: played through the player with the host's
    // class added, they trace what they trace played directly (a document
    // class that uses the stage in its constructor, frame scripts that trace
    // their frame and stop); the position is exact, and so is a seek.
    void playsActionScript3ProgramsAsTheEngineDoes_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("compression");
        QTest::addColumn<int>("rootId"); // the SymbolClass id naming the class
        QTest::newRow("SWF 9") << 9 << QStringLiteral("none") << 0;
        QTest::newRow("SWF 10, zlib") << 10 << QStringLiteral("zlib") << 0;
        QTest::newRow("SWF 15, LZMA") << 15 << QStringLiteral("lzma") << 0;
        QTest::newRow("SWF 10, the class named through id 999")
            << 10 << QStringLiteral("none") << 999;
    }
    void playsActionScript3ProgramsAsTheEngineDoes() {
        QFETCH(int, version);
        QFETCH(QString, compression);
        QFETCH(int, rootId);
        const QString program =
            movie(QStringLiteral("as3-%1-%2.swf").arg(version).arg(rootId),
                  QStringLiteral("--version %1 --compress %2 --class Main --frames 240 --rate 24 "
                                 "--action 1:trace-frame --action 1:trace-this --action "
                                 "3:trace=three --action 6:trace-frame --stop-at 6 --root-id %3")
                      .arg(version)
                      .arg(compression)
                      .arg(rootId));
        QStringList hosted, direct;
        tracesBothWays(program, 5, &hosted, &direct);
        QCOMPARE(direct, (QStringList{"stage 24", "frame 1", "[object Main]", "three", "frame 6"}));
        QCOMPARE(hosted, direct);

        QVERIFY(m_player->hasExactFrames());
        QVERIFY(waitFor([this] { return m_player->frameNum() == 5; }, 3000)); // stopped at 6
        QCOMPARE(m_player->totalFrames(), 240);
        // Stopped, a seek shows the frame and stays there.
        m_player->stopPlay();
        for (int frame : {119, 12, 200}) {
            m_player->gotoFrame(frame);
            QTest::qWait(400);
            QCOMPARE(m_player->frameNum(), frame);
            QCOMPARE(pageValue(QStringLiteral("kibuCall('kibuFrame')")).toInt(), frame + 1);
        }
    }

    // An ActionScript 3 program that cannot take the host's class plays as
    // it is, its position following playing time: at once when its document
    // class is final; when its constructor throws, once it has never
    // answered the added class's probe and is loaded again as it is.
    void anActionScript3ProgramPlaysAsItIs_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("final") << QStringLiteral("--final");
        QTest::newRow("throws") << QStringLiteral("--throws");
    }
    void anActionScript3ProgramPlaysAsItIs() {
        QFETCH(QString, kind);
        m_player->setMovie(
            movie(QStringLiteral("as3%1.swf").arg(kind),
                  QStringLiteral("--version 10 --class Main %1 --frames 30 --rate 20").arg(kind)));
        QCOMPARE(m_player->totalFrames(), 30);
        // Exact until the rewrite (on a worker thread) or the probe fails.
        QVERIFY(m_player->hasExactFrames());
        if (kind == QLatin1String("--throws"))
            m_player->play();
        QVERIFY(waitFor([this] { return !m_player->hasExactFrames(); }, 9000));
        m_player->gotoFrame(0);
        m_player->play();
        QVERIFY(m_player->playing());
        QTest::qWait(500);
        const int early = m_player->frameNum();
        QVERIFY2(early >= 6 && early <= 14, qPrintable(QString::number(early)));
        m_player->stopPlay();
        QVERIFY(!m_player->playing());
        const int frozen = m_player->frameNum();
        QTest::qWait(300);
        QCOMPARE(m_player->frameNum(), frozen);
        m_player->gotoFrame(25);
        QCOMPARE(m_player->frameNum(), 25);
        m_player->play();
        QTest::qWait(500); // 10 frames on from 25 wraps past 30
        QVERIFY2(m_player->frameNum() < 25, qPrintable(QString::number(m_player->frameNum())));
    }

    // Every load makes a new engine instance: muted stays muted across
    // program changes, as the engine itself reports its volume.
    void theVolumeOutlivesEveryLoad() {
        const QString a = movie(QStringLiteral("quiet-a.swf"));
        const QString b = movie(QStringLiteral("quiet-b.swf"), QStringLiteral("--as3"));
        m_player->setMuted(true);
        for (const QString& path : {a, b, a}) {
            m_player->setMovie(path);
            QVERIFY(waitFor([&] { return pageValue("kibuState.api.isPlaying") == true; }, 8000));
            QCOMPARE(pageValue("kibuState.api.volume").toDouble(), 0.0);
        }
        m_player->setMuted(false);
        QVERIFY(waitFor([&] { return pageValue("kibuState.api.volume").toDouble() == 1.0; }, 2000));
    }

    // A finger or pen resting on the picture opens no menu (a right click
    // still does, when the lock is off).
    void aLongPressOpensNoMenu_data() {
        QTest::addColumn<QString>("pointer");
        QTest::addColumn<bool>("menu");
        QTest::newRow("touch") << QStringLiteral("touch") << false;
        QTest::newRow("pen") << QStringLiteral("pen") << false;
        QTest::newRow("mouse, right button") << QStringLiteral("mouse") << true;
    }
    void aLongPressOpensNoMenu() {
        QFETCH(QString, pointer);
        QFETCH(bool, menu);
        m_player->setMovie(movie(QStringLiteral("press.swf")));
        QVERIFY(waitFor([this] { return m_player->frameNum() > 0; }, 8000));
        const QString event = QStringLiteral(
            "(() => { const c = kibuState.player.shadowRoot.getElementById('container');"
            " const r = c.getBoundingClientRect();"
            " const at = {bubbles: true, composed: true, cancelable: true, pointerId: 7,"
            " isPrimary: true, pointerType: '%1', button: %2, clientX: r.x + r.width / 2,"
            " clientY: r.y + r.height / 2};"
            " c.dispatchEvent(new PointerEvent('%3', at));"
            " if ('%3' === 'pointerup' && '%1' === 'mouse')"
            "  c.dispatchEvent(new MouseEvent('contextmenu', at));"
            " return true; })()");
        const int button = pointer == QLatin1String("mouse") ? 2 : 0;
        pageValue(event.arg(pointer).arg(button).arg(QStringLiteral("pointerdown")));
        QTest::qWait(1000); // longer than the engine's long press
        pageValue(event.arg(pointer).arg(button).arg(QStringLiteral("pointerup")));
        const QString shown =
            QStringLiteral("!kibuState.player.shadowRoot.getElementById('context-menu-overlay')"
                           ".classList.contains('hidden')");
        QCOMPARE(pageValue(shown).toBool(), menu);
        pageValue(
            QStringLiteral("document.documentElement.dispatchEvent(new PointerEvent("
                           "'pointerup', {bubbles: true})); document.documentElement.click();"));
    }

    // A program is a guest, and each guard holds on its own (the end-to-end
    // run tries every way out at once): its script for the page never runs,
    // its loaders reach no file outside its folder (by file URL, up the
    // folders, through a link, or its folder's listing) while its sibling
    // loads; and the page's own script, were a program's to run, would read
    // no file outside either.
    void aProgramReachesOnlyItsOwnFolder() {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("guest/sub")));
        const QString secret =
            movie(QStringLiteral("outside.swf"), {"--action", "1:trace=outside"});
        const QString secretUrl = QUrl::fromLocalFile(secret).toString();
        movie(QStringLiteral("guest/sub/sibling.swf"), QStringLiteral("--action 1:trace=sibling"));
        QVERIFY(QFile::link(secret, m_dir.filePath(QStringLiteral("guest/link.swf"))));
        const QString script = QStringLiteral("(function(){document.title='escaped'})");
        QStringList options;
        for (const QString& action :
             {QStringLiteral("call=") + script, QStringLiteral("load=javascript:") + script + "(),",
              QStringLiteral("set=secret,none"), QStringLiteral("load-vars=") + secretUrl,
              QStringLiteral("load-vars=./"), QStringLiteral("load=link.swf,_level4"),
              QStringLiteral("load=../outside.swf,_level3"),
              QStringLiteral("load=") + secretUrl + QStringLiteral(",_level2"),
              QStringLiteral("load=sub/sibling.swf,_level1"),
              QStringLiteral("trace-expr=_root.secret")})
            options << QStringLiteral("--action") << QStringLiteral("1:") + action;
        const QString program = movie(QStringLiteral("guest/guest.swf"), options);

        QStringList traces;
        auto connection = connect(m_player, &RuffleFlashPlayer::traced, this,
                                  [&traces](const QString& m) { traces.append(m); });
        m_player->setTraceForwarding(true);
        m_player->setMovie(program);
        m_player->play();
        QVERIFY2(waitFor([&] { return traces.contains("sibling"); }, 10000),
                 qPrintable(traces.join(u',')));
        QTest::qWait(500); // the loads that should fail have had their time
        disconnect(connection);
        m_player->setTraceForwarding(false);
        QCOMPARE(traces, QStringList({"none", "sibling"}));
        QCOMPARE(pageValue(QStringLiteral("document.title")).toString(),
                 QStringLiteral("Kibu播放器"));

        const QString read = QStringLiteral(
            "(() => { try { const x = new XMLHttpRequest(); x.open('GET', '%1', false); x.send();"
            " return x.responseText.slice(0, 3); } catch (e) { return 'refused'; } })()");
        QCOMPARE(pageValue(read.arg(secretUrl)).toString(), QStringLiteral("refused"));
        QCOMPARE(pageValue(read.arg(QUrl::fromLocalFile(program).toString())).toString(),
                 QStringLiteral("FWS"));
    }

    // A program whose header claims more than the player takes is refused
    // on its header alone, and the player area says why; the next program
    // plays.
    void aProgramTooLargeIsRefused() {
        const QString path = movie(QStringLiteral("huge.swf"), QStringLiteral("--compress zlib"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(4) &&
                file.write("\xff\xff\xff\xff") == 4);
        file.close();
        m_player->setMovie(path);
        QCOMPARE(m_player->refusal(), RuffleFlashPlayer::kTooLarge);
        QCOMPARE(m_player->totalFrames(), 0);
        const auto* message = m_player->widget()->findChild<QLabel*>();
        QVERIFY(message->isVisible());
        QCOMPARE(message->text(), RuffleFlashPlayer::kTooLarge);
        m_player->play();
        QVERIFY(!m_player->playing());

        m_player->setMovie(movie(QStringLiteral("small.swf")));
        QVERIFY(m_player->refusal().isEmpty());
        QVERIFY(!message->isVisible());
        QVERIFY(waitFor([this] { return m_player->playing(); }, 8000));
    }

    void noProgramIsNotPlaying() {
        m_player->setMovie(QStringLiteral("http://"));
        QCOMPARE(m_player->movie(), QStringLiteral("http://"));
        QVERIFY(!m_player->playing());
        QCOMPARE(m_player->frameNum(), 0);
        m_player->play();
        QVERIFY(!m_player->playing());

        // A file that is missing or no movie at all plays nothing either,
        // and a pipe keeps nothing waiting.
        const QString text = m_dir.filePath(QStringLiteral("text.swf"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("<html>Not Found</html>") > 0);
        f.close();
        const QString pipe = m_dir.filePath(QStringLiteral("pipe.swf"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        for (const QString& path : {text, m_dir.filePath(QStringLiteral("missing.swf")), pipe}) {
            m_player->setMovie(path);
            m_player->play();
            QTest::qWait(1500);
            QVERIFY2(!m_player->playing(), qPrintable(path));
            QCOMPARE(m_player->frameNum(), 0);
        }
    }

    // When the page's renderer ends (killed here) or the engine stops, the
    // player area says so once, and the next program chosen plays on a
    // fresh page and engine. Last: it takes the engine down.
    void theEngineComesBack_data() {
        QTest::addColumn<bool>("killRenderer");
        QTest::newRow("the renderer killed") << true;
        QTest::newRow("the engine stopped") << false;
    }
    void theEngineComesBack() {
        QFETCH(bool, killRenderer);
        const QString first = movie(QStringLiteral("before.swf"));
        const QString second = movie(QStringLiteral("after.swf"));
        m_player->setMuted(true);
        m_player->setMovie(first);
        QVERIFY(waitFor([this] { return m_player->frameNum() > 0; }, 8000));
        QWebEnginePage* page = m_player->widget()->findChild<QWebEngineView*>()->page();
        if (killRenderer)
            QCOMPARE(::kill(pid_t(page->renderProcessPid()), SIGKILL), 0);
        else
            page->runJavaScript(QStringLiteral("kibuReport('engine stopped');"));
        QVERIFY(waitFor([this] { return !m_player->failure().isEmpty(); }, 8000));
        QVERIFY(!m_player->playing());
        const auto* message = m_player->widget()->findChild<QLabel*>();
        QVERIFY(message->isVisible());
        QCOMPARE(message->text(), QStringLiteral("这个节目没能播放。请再点一下节目。"));

        m_player->setMovie(second);
        m_player->play();
        QVERIFY2(waitFor([this] { return m_player->playing(); }, 20000),
                 qPrintable(m_player->failure()));
        QVERIFY(!message->isVisible());
        QCOMPARE(pageValue("kibuState.api.volume").toDouble(), 0.0);
    }
};

int main(int argc, char* argv[]) {
    // As in the program: Qt WebEngine shares its GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestEngine test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_engine.moc"
