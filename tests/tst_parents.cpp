// The parents' settings: the gate, the settings file, the rest clock and
// where long programs were left.

#include "support/Fakes.h"
#include "support/FaultServer.h"
#include "support/FormHarness.h"
#include "support/TempAppFolder.h"

#include "parents/ParentsGate.h"
#include "parents/ParentsSettings.h"
#include "parents/RestClock.h"
#include "parents/ResumeStore.h"
#include "parentsui/ParentsControls.h"
#include "parentsui/ParentsDialog.h"
#include "parentsui/ParentsGateDialog.h"
#include "parentsui/RestPicture.h"
#include "swf/SwfWriter.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
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
            parents = std::make_unique<ParentsControls>(
                ParentsControls::Hooks{folder.app(), &window, player.widget(), nullptr, &player,
                                       &notifier, [this] { ++pauses; }, [] { return false; },
                                       [this] { return now; }, nullptr, 1000, gate});
            parents->load();
        }
    };

    // A window whose first category lists 故事 and 儿歌, with these
    // parents' settings, programs of frames frames and a minute of minuteMs.
    static void prepareWindow(FormHarness& h, const ParentsSettings& settings, qint64 minuteMs,
                              int frames) {
        h.minuteMs = minuteMs;
        h.player.programFrames = frames;
        settings.write(h.folder.path(ParentsSettings::kFile));
        h.folder.writeList(QStringLiteral("cons/b01.inb"),
                           {QStringLiteral("故事"), QStringLiteral("儿歌")});
    }

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

    // Whatever a damaged state file held, it is written back with the
    // program's own values only.
    void stateFilesAreWrittenClean_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("damaged");
        QTest::addColumn<QByteArray>("written");
        QByteArray junk;
        for (int i = 0; i < 95; ++i)
            junk += "junk" + QByteArray::number(i) + "=" + QByteArray(600, 'x') + "\n";
        QTest::newRow("rest.ini") << QStringLiteral("cons/rest.ini")
                                  << "[rest]\nplayed=1000\n" + junk + "[other]\na=b\n"
                                  << QByteArray("[rest]\nplayed=0\nuntil=0\n");
        QTest::newRow("resume.json")
            << ResumeStore::kFile
            << QByteArray(R"([{"program":"a","frame":5,"extra":"x"},7,{"frame":3},"junk"])")
            << QByteArray(R"([{"frame":5,"program":"a"},{"frame":9,"program":"b"}])");
    }
    void stateFilesAreWrittenClean() {
        QFETCH(QString, file);
        QFETCH(QByteArray, damaged);
        QFETCH(QByteArray, written);
        TempAppFolder folder;
        folder.writeBytes(file, damaged);
        if (file == ResumeStore::kFile) {
            ResumeStore(folder.path(file)).remember(QStringLiteral("b"), 9);
        } else {
            RestClock clock(folder.path(file), 10'000, 3'000);
            clock.load(1'000'000);
            clock.endRest();
        }
        QCOMPARE(folder.readBytes(file), written);
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

    // During a rest nothing starts a program or moves it: not the position
    // bar, the play button or a play mode on the next tick, not a row (whose
    // highlight stays), and the rest picture never covers the way back out
    // of full screen.
    void aRestNothingCutsShort() {
        FormHarness h;
        ParentsSettings rest;
        rest.restReminder = true;
        prepareWindow(h, rest, 50, 600); // a play time of 0.5 s
        h.folder.cacheProgram(QStringLiteral("故事"));
        h.folder.cacheProgram(QStringLiteral("儿歌"));
        Form1* f = h.load();
        f->show();
        f->List1->setCurrentRow(0);
        h.player.frame = 100;
        for (int i = 0; i < 40 && !f->findChild<RestPicture*>(); ++i) {
            QTest::qWait(50);
            f->Timer1_Timer();
        }
        QVERIFY(f->findChild<RestPicture*>());
        h.player.calls.clear();

        f->HScroll1->setSliderDown(true);
        f->HScroll1->setSliderPosition(400);
        f->HScroll1->setSliderDown(false);
        for (QRadioButton* mode : {f->Option1, f->Option2}) {
            mode->click();
            f->Image15_Click();
            f->Timer1_Timer();
        }
        QCOMPARE(h.player.calls, QStringList());
        QCOMPARE(h.player.frame, 100);

        f->List1->setCurrentRow(1);
        QCOMPARE(f->selectedRow(), 0);
        QVERIFY(h.player.movie().endsWith(QStringLiteral("故事.swf")));

        f->Image17_Click();
        f->Timer1_Timer();
        const QPoint back = f->Command6->geometry().center();
        QCOMPARE(f->childAt(back), static_cast<QWidget*>(f->Command6));
        QVERIFY(f->findChild<RestPicture*>()->isVisible());
    }

    // Where a long program was left, on every way of leaving it: the frame
    // is read before the program is unloaded (the fake forgets its frames
    // on unload, as the engine does), and choosing it again goes there.
    void resumeOnEveryWayOfLeaving_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("remembered"); // -1: nothing
        QTest::newRow("a click on another row") << "click" << 500;
        QTest::newRow("play all moves on") << "play all" << 990;
        QTest::newRow("a download completes") << "download" << 500;
        QTest::newRow("a custom program") << "custom" << 500;
        QTest::newRow("closing the window") << "close" << 500;
        QTest::newRow("the session ends, playing on") << "session" << 500;
        QTest::newRow("the same row again: from its start") << "same" << -1;
        QTest::newRow("ActionScript 3 played as it is: never") << "as3" << -1;
        QTest::newRow("ActionScript 3 with the player's class") << "as3 class" << 500;
        QTest::newRow("within two frames of the end") << "end 998" << -1;
        QTest::newRow("three frames before the end") << "end 997" << 997;
        QTest::newRow("seen to the end, then round again") << "end 998 500" << -1;
    }
    void resumeOnEveryWayOfLeaving() {
        QFETCH(QString, way);
        QFETCH(int, remembered);
        FaultServer server;
        QVERIFY(server.listen());
        FormHarness h;
        h.downloadBase = server.baseUrl();
        ParentsSettings on;
        on.resumeLong = true;
        prepareWindow(h, on, 1000, 1000);
        Swf::SwfWriter as3(9, {0, 2000, 0, 2000}, 12);
        as3.fileAttributes(Swf::kActionScript3);
        if (way == "as3")
            as3.tag(Swf::kDoAbc, "unreadable"); // no class can be added
        as3.showFrame();
        h.folder.cacheProgram(QStringLiteral("故事"), way.startsWith("as3") ? as3.finish() : "FWS");
        if (way != "download")
            h.folder.cacheProgram(QStringLiteral("儿歌"));
        server.serveFile(QStringLiteral("/klmdef/fla/儿歌.swf"), "FWS");
        h.folder.writeBytes(QStringLiteral("自定义节目/组/歌.swf"), "FWS");
        Form1* f = h.load();

        f->List1->setCurrentRow(0);
        for (int i = 0; i < 3; ++i) // over a minute (1 s here)
            f->Timer1_Timer();
        h.player.frame = way.startsWith("end") ? way.section(u' ', 1, 1).toInt() : 500;
        if (way.count(u' ') == 2) { // seen there by a tick, then on to the last frame given
            f->Timer1_Timer();
            h.player.frame = way.section(u' ', 2).toInt();
        }
        if (way == "click" || way.startsWith("as3") || way.startsWith("end") || way == "download") {
            f->List1->setCurrentRow(1);
            QTRY_COMPARE(f->List2->count(), 0);
        } else if (way == "play all") {
            f->Option1->setChecked(true);
            h.player.frame = 990;
            f->Timer1_Timer();
            QCOMPARE(f->selectedRow(), 1);
        } else if (way == "custom") {
            f->Combo1->setCurrentIndex(f->Combo1->findText(QStringLiteral("组")));
            f->Combo1_Click();
            f->List1->setCurrentRow(0);
        } else if (way == "same") {
            f->selectRow(0);
        } else if (way == "close") {
            f->Form_Unload();
        } else if (way == "session") {
            f->saveState();
        }
        QVERIFY(h.player.movie() != FlashPlayer::kNoProgram);
        const QString program = QStringLiteral("res/fla/故事.swf");
        const ResumeStore store(h.folder.path(ResumeStore::kFile));
        QCOMPARE(store.frameOf(program).value_or(-1), remembered);
        if (way == "close" || way == "custom")
            return;
        // Chosen again by a click: where it was left, or its start.
        f->Option1->setChecked(false);
        f->List1->setCurrentRow(1);
        h.player.calls.clear();
        f->List1->setCurrentRow(0);
        QCOMPARE(h.player.calls.contains(QStringLiteral("goto %1").arg(remembered)),
                 remembered >= 0);
    }
};

QTEST_MAIN(TestParents)
#include "tst_parents.moc"
