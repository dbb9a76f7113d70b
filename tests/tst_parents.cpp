// The parents' settings: the gate, the settings file, the rest clock and
// where long programs were left.

#include "support/Fakes.h"
#include "support/TempAppFolder.h"

#include "flash/SwfWriter.h"
#include "parents/ParentsControls.h"
#include "parents/ParentsDialog.h"
#include "parents/ParentsGate.h"
#include "parents/ParentsGateDialog.h"
#include "parents/ParentsSettings.h"
#include "parents/RestClock.h"
#include "parents/RestPicture.h"
#include "parents/ResumeStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

class TestParents : public QObject {
    Q_OBJECT

    struct Controls {
        TempAppFolder folder;
        FakeFlashPlayer player;
        FakeNotifier notifier;
        QWidget window;
        qint64 now = 1'000'000;
        int pauses = 0;
        std::unique_ptr<ParentsControls> parents;

        explicit Controls(const ParentsSettings& settings = {}, bool write = true) {
            if (write)
                settings.write(folder.path(ParentsSettings::kFile));
            ParentsGate gate;
            gate.a = 12;
            gate.b = 30;
            parents = std::make_unique<ParentsControls>(ParentsControls::Hooks{
                folder.app(), &window, player.widget(), &player, &notifier, [this] { ++pauses; },
                [] { return false; }, [this] { return now; }, nullptr, 1000, gate});
            parents->load();
        }
    };

    // Answers the gate's dialog once it is up: with text, or by cancelling.
    static void answerGate(const QString& typed, bool cancel) {
        QTimer::singleShot(0, [typed, cancel] {
            auto* dialog = qobject_cast<ParentsGateDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>()->setText(typed);
            cancel ? dialog->reject() : dialog->accept();
        });
    }

private slots:
    void theQuestionIsForGrownUps() {
        QRandomGenerator rng(7);
        for (int i = 0; i < 200; ++i) {
            const ParentsGate g = ParentsGate::random(rng);
            QVERIFY(g.a >= 11 && g.a <= 99);
            QVERIFY(g.product ? g.b >= 3 && g.b <= 9 : g.b >= 11 && g.b <= 99);
            QVERIFY(g.accepts(QStringLiteral(" %1 ").arg(g.answer())));
            QVERIFY(!g.accepts(QString::number(g.answer() + 1)));
            QVERIFY(!g.accepts(QStringLiteral("abc")));
        }
        ParentsGate g;
        g.a = 23;
        g.b = 7;
        g.product = true;
        QCOMPARE(g.question(), QStringLiteral("23 × 7 = ?"));
    }

    void theGateDialog_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("passed");
        QTest::addColumn<int>("messages");
        QTest::newRow("right") << QStringLiteral("42") << false << true << 0;
        QTest::newRow("wrong") << QStringLiteral("41") << false << false << 1;
        QTest::newRow("cancelled") << QStringLiteral("42") << true << false << 0;
    }
    void theGateDialog() {
        QFETCH(QString, typed);
        QFETCH(bool, cancel);
        QFETCH(bool, passed);
        QFETCH(int, messages);
        Controls c;
        answerGate(typed, cancel);
        QCOMPARE(c.parents->passGate(&c.window), passed);
        QCOMPARE(c.notifier.messages.size(), messages);
    }

    void theSettingsFile() {
        Controls missing({}, false);
        QCOMPARE(missing.parents->settings(), ParentsSettings());
        QVERIFY(missing.notifier.messages.isEmpty());

        ParentsSettings on;
        on.childLock = on.restReminder = on.resumeLong = true;
        on.playMinutes = 45;
        on.restMinutes = 10;
        Controls saved(on);
        QCOMPARE(saved.parents->settings(), on);
        QVERIFY(
            !QFile::exists(saved.folder.path(ParentsSettings::kFile) + QStringLiteral(".lock")));

        // Damaged: everything off, one message, and the file as it was until
        // a parent saves.
        for (const QByteArray& bad : {QByteArray("[parents]\nchildLock=true\nplayMinutes=500\n"),
                                      QByteArray("\xff\xfe\x00garbage", 11)}) {
            Controls damaged({}, false);
            damaged.folder.writeBytes(ParentsSettings::kFile, bad);
            damaged.parents->load();
            QCOMPARE(damaged.parents->settings(), ParentsSettings());
            QCOMPARE(damaged.notifier.messages.size(), 1);
            QCOMPARE(damaged.folder.readBytes(ParentsSettings::kFile), bad);
        }
    }

    void theRestClockCountsOnlyPlay() {
        TempAppFolder folder;
        const QString state = folder.path(QStringLiteral("cons/rest.ini"));
        RestClock clock(state, 10'000, 3'000);
        qint64 now = 5'000'000;
        clock.load(now);
        for (int i = 0; i < 8; ++i) // paused or minimised: nothing counts
            QVERIFY(!clock.advance(now += 1000, false));
        for (int i = 0; i < 9; ++i)
            QVERIFY(!clock.advance(now += 1000, true));
        QCOMPARE(clock.played(), qint64(9000));
        QVERIFY(!clock.advance(now += 60'000, true)); // a long gap is no play
        QVERIFY(clock.advance(now += 1000, true));
        QVERIFY(clock.resting(now));

        // Closed and opened again within the rest: the rest goes on.
        RestClock again(state, 10'000, 3'000);
        again.load(now + 1000);
        QVERIFY(again.resting(now + 1000));
        QCOMPARE(again.restLeft(now + 1000), qint64(2000));
        QVERIFY(!again.advance(now + 2000, true));
        // After it, a new play time begins.
        QVERIFY(!again.advance(now + 4000, true));
        QVERIFY(!again.resting(now + 4000));
        QCOMPARE(again.played(), qint64(1000)); // since the rest ended
    }

    void aRestPausesAndStopsProgramsStarting() {
        ParentsSettings rest;
        rest.restReminder = true;
        rest.playMinutes = 10; // 10 s here
        rest.restMinutes = 1;
        Controls c(rest);
        c.player.setMovie(QStringLiteral("/x.swf"));
        c.player.isPlaying = true;
        for (int i = 0; i < 20; ++i) {
            c.now += 500;
            c.parents->tick();
        }
        QVERIFY(c.parents->resting());
        QCOMPARE(c.pauses, 1);
        QVERIFY(!c.parents->mayStartProgram());
        c.now += 1001;
        c.parents->tick();
        QVERIFY(c.parents->mayStartProgram());
    }

    void whereLongProgramsWereLeft() {
        TempAppFolder folder;
        const QString file = folder.path(ResumeStore::kFile);
        ResumeStore store(file);
        for (int i = 0; i < ResumeStore::kMaxEntries + 5; ++i)
            store.remember(QString::number(i), i);
        store.remember(QStringLiteral("10"), 99); // moves to the newest
        const ResumeStore read(file);
        QCOMPARE(read.programs().size(), ResumeStore::kMaxEntries);
        QCOMPARE(read.programs().first(), QStringLiteral("5"));
        QCOMPARE(read.programs().last(), QStringLiteral("10"));
        QCOMPARE(read.frameOf(QStringLiteral("10")), std::optional<int>(99));
        QCOMPARE(read.frameOf(QStringLiteral("3")), std::nullopt);
    }

    void resumingThroughTheWindowsEvents() {
        ParentsSettings resume;
        resume.resumeLong = true;
        Controls c(resume);
        Swf::SwfWriter plain(8, {0, 2000, 0, 2000}, 12);
        Swf::SwfWriter as3(9, {0, 2000, 0, 2000}, 12);
        as3.fileAttributes(Swf::kActionScript3);
        for (auto [writer, name] : {std::pair{&plain, "story"}, std::pair{&as3, "game"}}) {
            writer->showFrame();
            c.folder.writeBytes(QStringLiteral("res/fla/%1.swf").arg(name), writer->finish());
        }
        const QString story = c.folder.path(QStringLiteral("res/fla/story.swf"));
        const QString game = c.folder.path(QStringLiteral("res/fla/game.swf"));
        auto play = [&](const QString& name, const QString& file, int ticks, int frame) {
            c.parents->programStarted(name, file, true);
            c.player.total = 1000;
            c.player.isPlaying = true;
            c.player.setMovie(file);
            for (int i = 0; i < ticks; ++i)
                c.parents->tick();
            c.player.frame = frame;
            c.parents->programLeaving();
        };
        play(QStringLiteral("story"), story, 1, 300); // half a minute: not long
        play(QStringLiteral("story"), story, 3, 400); // over a minute (1 s here)
        play(QStringLiteral("game"), game, 3, 500);   // ActionScript 3: never
        c.player.calls.clear();
        c.parents->programStarted(QStringLiteral("story"), story, true);
        QCOMPARE(c.player.calls, QStringList{QStringLiteral("goto 400")});
        c.parents->programStarted(QStringLiteral("story"), story, false); // play all
        c.parents->programStarted(QStringLiteral("game"), game, true);
        QCOMPARE(c.player.calls.size(), 1);
        // Seen to its end: forgotten.
        c.parents->programStarted(QStringLiteral("story"), story, true);
        c.player.frame = 999;
        c.parents->tick();
        const ResumeStore read(c.folder.path(ResumeStore::kFile));
        QCOMPARE(read.frameOf(QStringLiteral("story")), std::nullopt);
    }
};

QTEST_MAIN(TestParents)
#include "tst_parents.moc"
