// The real Flash engine, end to end: generated movies played through the
// player the window uses, checked by frame position, play state and what
// the stage shows.

#include "flash/RuffleFlashPlayer.h"

#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

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

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_window = new QWidget;
        m_window->resize(640, 480);
        m_player = new RuffleFlashPlayer(QStringLiteral(KIBU_ENGINE_DIR), m_window);
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
        QTest::newRow("SWF 6") << 6 << QStringLiteral("none");
        QTest::newRow("SWF 8, zlib") << 8 << QStringLiteral("zlib");
    }
    void playsStopsSeeksAndResumes() {
        QFETCH(int, version);
        QFETCH(QString, compression);
        const QString path =
            movie(QStringLiteral("v%1.swf").arg(version),
                  {QStringLiteral("--version"), QString::number(version),
                   QStringLiteral("--frames"), QStringLiteral("60"), QStringLiteral("--rate"),
                   QStringLiteral("12"), QStringLiteral("--compress"), compression,
                   QStringLiteral("--background"), QStringLiteral("ff0000")});
        m_player->setMovie(path);
        QCOMPARE(m_player->totalFrames(), 60);
        m_player->play();

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

    void aProgramThatStopsItselfIsNotPlaying() {
        const QString path =
            movie(QStringLiteral("stops.swf"),
                  {QStringLiteral("--frames"), QStringLiteral("24"), QStringLiteral("--rate"),
                   QStringLiteral("24"), QStringLiteral("--stop-at"), QStringLiteral("24")});
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

    // ActionScript 3 programs: the position follows playing time.
    void aTimedProgramCountsFramesByTime() {
        const QString path =
            movie(QStringLiteral("as3.swf"),
                  {QStringLiteral("--as3"), QStringLiteral("--frames"), QStringLiteral("30"),
                   QStringLiteral("--rate"), QStringLiteral("20")});
        m_player->setMovie(path);
        QCOMPARE(m_player->totalFrames(), 30);
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

    void noProgramIsNotPlaying() {
        m_player->setMovie(QStringLiteral("http://"));
        QCOMPARE(m_player->movie(), QStringLiteral("http://"));
        QVERIFY(!m_player->playing());
        QCOMPARE(m_player->frameNum(), 0);
        m_player->play();
        QVERIFY(!m_player->playing());
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
