#include "support/FormHarness.h"

#include "catalogue/TextFile.h"
#include "shell/Controls.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

namespace {

const QString kList = QStringLiteral("cons/b01.inb");
const QString kHistory = QStringLiteral("cons/lishi.inb");

QStringList names(int count, const QString& stem = QStringLiteral("节目")) {
    QStringList result;
    for (int i = 1; i <= count; ++i)
        result.append(stem + QString::number(i));
    return result;
}

QStringList historyOf(const FormHarness& h) {
    return TextFile::readLines(h.folder.path(kHistory)).lines;
}

} // namespace

// Choosing programs, the half-second tick, seeking and the player buttons,
// against a recording player.
class TestPlayback : public QObject {
    Q_OBJECT

    // A loaded window whose first category lists these programs, all cached.
    static Form1* withPrograms(FormHarness& h, const QStringList& programs) {
        h.folder.writeList(kList, programs);
        for (const QString& p : programs)
            h.folder.cacheProgram(p);
        return h.load();
    }

private slots:
    void theTickRunsFromCreation() {
        FormHarness h;
        Form1* f = h.make(false);
        QVERIFY(f->Timer1->isActive());
        QCOMPARE(f->Timer1->interval(), 500);
    }

    void clickingACachedProgramPlaysAndRecordsIt() {
        FormHarness h;
        h.player.programFrames = 240;
        Form1* f = withPrograms(h, {QStringLiteral("小星星"), QStringLiteral("两只老虎")});
        f->List1->setCurrentRow(1);

        const QString path = f->cacheFolder() + QStringLiteral("两只老虎.swf");
        QCOMPARE(h.player.movies,
                 (QStringList{QStringLiteral("http://"), QStringLiteral("http://"), path}));
        QCOMPARE(h.player.calls, QStringList{QStringLiteral("play")});
        QCOMPARE(f->HScroll1->maximum(), 240);
        QCOMPARE(historyOf(h), QStringList{QStringLiteral("两只老虎")});

        // Again after another row: a second identical line on top.
        f->List1->setCurrentRow(0);
        f->List1->setCurrentRow(1);
        QCOMPARE(historyOf(h), (QStringList{QStringLiteral("两只老虎"), QStringLiteral("小星星"),
                                            QStringLiteral("两只老虎")}));
    }

    void everyWayOfChoosingARowStartsIt() {
        FormHarness h;
        Form1* f = withPrograms(h, names(3));
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));

        // A click on a row, and another click on the same row.
        const QRect second = f->List1->visualItemRect(f->List1->item(1));
        QTest::mouseClick(f->List1->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(h.player.movies.size(), 3);
        QTest::mouseClick(f->List1->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(h.player.movies.size(), 5);
        QVERIFY(h.player.movies.last().endsWith(QStringLiteral("节目2.swf")));

        // The keyboard.
        f->List1->setFocus();
        QTest::keyClick(f->List1, Qt::Key_Down);
        QVERIFY(h.player.movies.last().endsWith(QStringLiteral("节目3.swf")));

        // A click below the last row selects nothing and plays nothing.
        f->List1->clearSelection();
        const int before = h.player.movies.size();
        QTest::mouseClick(f->List1->viewport(), Qt::LeftButton, {},
                          QPoint(5, f->List1->viewport()->height() - 3));
        QCOMPARE(h.player.movies.size(), before);
        f->List1_Click(); // no row selected
        QCOMPARE(h.player.movies.size(), before);
    }

    void historyKeepsTwentyNewestFirst() {
        FormHarness h;
        const QStringList old = names(20, QStringLiteral("旧"));
        h.folder.writeList(kHistory, old);
        Form1* f = withPrograms(h, {QStringLiteral("新歌")});
        f->List1->setCurrentRow(0);
        QStringList expected = QStringList{QStringLiteral("新歌")} + old.mid(0, 19);
        QCOMPARE(historyOf(h), expected);
    }

    void historyUnchangedFromItsOwnViews_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("favourites") << QStringLiteral("shoucang");
        QTest::newRow("history") << QStringLiteral("lishi");
    }
    void historyUnchangedFromItsOwnViews() {
        QFETCH(QString, key);
        FormHarness h;
        h.folder.writeList(kHistory, {QStringLiteral("甲"), QStringLiteral("乙")});
        const QByteArray before = h.folder.readBytes(kHistory);
        Form1* f = withPrograms(h, {QStringLiteral("乙")});
        f->setCurrentListKey(key);
        f->List1->setCurrentRow(0);
        QVERIFY(h.player.movies.last().endsWith(QStringLiteral("乙.swf")));
        QCOMPARE(h.folder.readBytes(kHistory), before);
    }

    void aMissingHistoryFileIsNotCreated() {
        FormHarness h;
        Form1* f = withPrograms(h, {QStringLiteral("甲")});
        QFile::remove(h.folder.path(kHistory));
        f->List1->setCurrentRow(0);
        QVERIFY(h.player.movies.last().endsWith(QStringLiteral("甲.swf")));
        QVERIFY(!QFile::exists(h.folder.path(kHistory)));
    }

    void customRowsPlayFromTheirGroupFolder() {
        FormHarness h;
        h.player.programFrames = 30;
        Form1* f = h.load();
        h.folder.writeBytes(QStringLiteral("自定义节目/儿歌/abc.swf"), "FWS");
        const QByteArray history = h.folder.readBytes(kHistory);
        f->setCurrentListKey(QStringLiteral("zidingyi"));
        f->Combo1->setEditText(QStringLiteral("儿歌"));
        f->List1->clear();
        f->List1->addItems({QStringLiteral("abc"), QStringLiteral("gone")});
        h.player.movies.clear();

        f->List1->setCurrentRow(0);
        QCOMPARE(h.player.movies,
                 (QStringList{QStringLiteral("http://"),
                              h.folder.path(QStringLiteral("自定义节目/儿歌/abc.swf"))}));
        QVERIFY(h.player.calls.isEmpty()); // the player starts it by itself
        QCOMPARE(f->HScroll1->maximum(), 30);
        QCOMPARE(h.folder.readBytes(kHistory), history);

        // A vanished file only empties the player, silently.
        f->List1->setCurrentRow(1);
        QCOMPARE(h.player.movie(), QStringLiteral("http://"));
        QVERIFY(h.notifier.messages.isEmpty());

        // A typed group name may not lead out of the folder.
        h.folder.writeBytes(QStringLiteral("outside.swf"), "FWS");
        f->Combo1->setEditText(QStringLiteral(".."));
        f->List1->clear();
        f->List1->addItems({QStringLiteral("outside")});
        f->List1->setCurrentRow(0);
        QCOMPARE(h.player.movie(), QStringLiteral("http://"));
    }

    void aMissingProgramIsQueuedOnce() {
        FormHarness h;
        h.folder.writeList(kList, {QStringLiteral("小燕子"), QStringLiteral("找朋友")});
        Form1* f = h.load();
        f->List1->setCurrentRow(1);
        QCOMPARE(rowTexts(f->List1),
                 (QStringList{QStringLiteral("* 小燕子"), QStringLiteral("开始下载")}));
        QCOMPARE(f->List2->count(), 1);
        QCOMPARE(f->List2->item(0)->text(), QStringLiteral("* 找朋友"));
        QCOMPARE(f->List2->item(0)->data(Qt::UserRole).toInt(), 1);

        f->selectRow(1); // clicked again while queued
        QCOMPARE(f->List2->count(), 1);
        QCOMPARE(h.player.movies, QStringList{QStringLiteral("http://")});
    }

    void ticksWithoutAProgramOnlyCount() {
        FormHarness h;
        Form1* f = withPrograms(h, names(2));
        f->Option1->setChecked(true);
        f->HScroll1->setMaximum(100);
        f->HScroll1->setValue(7);
        h.player.frame = 50;
        for (int i = 0; i < 599; ++i)
            f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 0);
        QCOMPARE(f->HScroll1->value(), 7);
        QCOMPARE(f->selectedRow(), -1);
        QVERIFY(h.player.calls.isEmpty());
        f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 1);
        f->Timer1_Timer();
        QCOMPARE(h.updateChecks, 1);
    }

    void theBarFollowsTheFrameWithinItsRange() {
        FormHarness h;
        h.player.programFrames = 100;
        Form1* f = withPrograms(h, names(1));
        f->List1->setCurrentRow(0);
        h.player.frame = 42;
        f->Timer1_Timer();
        QCOMPARE(f->HScroll1->value(), 42);
        h.player.frame = 250; // read before the bar knew the new program
        f->Timer1_Timer();
        QCOMPARE(f->HScroll1->value(), 100);

        // A program that loaded a longer movie in its own place: the bar
        // takes the count the player has now.
        h.player.total = 240;
        f->Timer1_Timer();
        QCOMPARE(f->HScroll1->maximum(), 240);
        QCOMPARE(f->HScroll1->value(), 240);

        // The 16-bit bar takes a program of more frames at its largest.
        h.player.programFrames = 50000;
        f->selectRow(0);
        QCOMPARE(f->HScroll1->maximum(), 32767);
    }

    void playAllAdvancesAtTwelveFramesLeft() {
        FormHarness h;
        h.player.programFrames = 100;
        Form1* f = withPrograms(h, names(3));
        f->List1->setCurrentRow(0);
        f->Option1->setChecked(true);
        h.player.calls.clear();

        h.player.frame = 87; // 13 left
        f->Timer1_Timer();
        QCOMPARE(f->selectedRow(), 0);
        QVERIFY(h.player.calls.isEmpty());

        h.player.frame = 88; // 12 left
        h.player.isPlaying = false;
        f->Timer1_Timer();
        QCOMPARE(f->HScroll1->value(), 88); // the bar first
        QCOMPARE(f->selectedRow(), 1);
        QVERIFY(h.player.movie().endsWith(QStringLiteral("节目2.swf")));
        // The new program's own start, no resume of the old one before it.
        QCOMPARE(h.player.calls, QStringList{QStringLiteral("play")});

        // From the last row back to the first.
        f->selectRow(2);
        h.player.frame = 99;
        f->Timer1_Timer();
        QCOMPARE(f->selectedRow(), 0);
        QVERIFY(h.player.movie().endsWith(QStringLiteral("节目1.swf")));

        // With nothing selected the first row starts.
        f->List1->clearSelection();
        h.player.frame = 99;
        f->Timer1_Timer();
        QCOMPARE(f->selectedRow(), 0);
    }

    void playAllOnAShortProgramOrAnEmptyList() {
        FormHarness h;
        h.player.programFrames = 12;
        Form1* f = withPrograms(h, names(2));
        f->List1->setCurrentRow(0);
        f->Option1->setChecked(true);
        h.player.frame = 0;
        f->Timer1_Timer();
        QCOMPARE(f->selectedRow(), 1);

        f->List1->clear();
        h.player.isPlaying = false;
        h.player.calls.clear();
        f->Timer1_Timer();
        // Nothing to advance to; the program that is loaded resumes.
        QCOMPARE(h.player.calls, QStringList{QStringLiteral("play")});
    }

    void playModesResumeAStoppedProgram_data() {
        QTest::addColumn<int>("mode"); // 0 none, 1 play all, 2 repeat one
        QTest::addColumn<bool>("resumed");
        QTest::newRow("no mode") << 0 << false;
        QTest::newRow("play all") << 1 << true;
        QTest::newRow("repeat one") << 2 << true;
    }
    void playModesResumeAStoppedProgram() {
        QFETCH(int, mode);
        QFETCH(bool, resumed);
        FormHarness h;
        h.player.programFrames = 100;
        Form1* f = withPrograms(h, names(2));
        f->List1->setCurrentRow(0);
        f->Option1->setChecked(mode == 1);
        f->Option2->setChecked(mode == 2);
        h.player.frame = 99; // stopped itself at its end
        h.player.isPlaying = false;
        h.player.calls.clear();
        f->Timer1_Timer();
        if (mode == 2) {
            QCOMPARE(f->selectedRow(), 0); // repeat one never moves on
            QCOMPARE(h.player.calls, QStringList{QStringLiteral("play")});
        } else if (mode == 0) {
            QVERIFY(h.player.calls.isEmpty());
        }
        QCOMPARE(h.player.isPlaying, resumed);
    }

    void pauseClearsTheModesSoTheTickDoesNotResume() {
        FormHarness h;
        h.player.programFrames = 100;
        Form1* f = withPrograms(h, names(2));
        f->List1->setCurrentRow(0);
        f->Option1->setChecked(true);
        f->Image16_Click();
        QVERIFY(!f->Option1->isChecked());
        QVERIFY(!f->Option2->isChecked());
        QCOMPARE(h.player.calls.last(), QStringLiteral("stop"));
        h.player.calls.clear();
        f->Timer1_Timer();
        f->Timer1_Timer();
        QVERIFY(h.player.calls.isEmpty());
        QVERIFY(!h.player.isPlaying);

        f->Image15_Click();
        QCOMPARE(h.player.calls, QStringList{QStringLiteral("play")});
        QVERIFY(!f->Option1->isChecked());
    }

    void draggingTheThumbSeeksButArrowsDoNot() {
        FormHarness h;
        h.player.programFrames = 100;
        Form1* f = withPrograms(h, names(1));
        f->List1->setCurrentRow(0);
        f->Image16_Click(); // paused
        h.player.calls.clear();
        h.player.frame = 10;

        f->HScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        f->HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QVERIFY(f->HScroll1->value() > 10);
        QVERIFY(h.player.calls.isEmpty());
        f->Timer1_Timer();
        QCOMPARE(f->HScroll1->value(), 10);

        f->HScroll1->setSliderDown(true);
        f->HScroll1->setSliderPosition(60);
        f->HScroll1->setSliderDown(false);
        QCOMPARE(h.player.calls, (QStringList{QStringLiteral("goto 60"), QStringLiteral("play")}));
        QVERIFY(h.player.isPlaying);
    }

    void muteTwiceRestoresFlagAndPicture() {
        FormHarness h;
        Form1* f = h.load();
        f->Image20_Click();
        QVERIFY(f->muted());
        QVERIFY(h.player.muted);
        QVERIFY(h.voice.muted);
        QCOMPARE(f->Image20->picture(), QStringLiteral("jingyin2"));
        f->Image20_Click();
        QVERIFY(!f->muted());
        QVERIFY(!h.player.muted);
        QVERIFY(!h.voice.muted);
        QCOMPARE(f->Image20->picture(), QStringLiteral("jingyin1"));
    }

    void buttonsShowABorderOnlyWhilePressed() {
        FormHarness h;
        Form1* f = h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        for (PictureBox* b : {f->Image15, f->Image16, f->Image20}) {
            QTest::mousePress(b, Qt::LeftButton);
            QCOMPARE(b->borderStyle(), 1);
            QTest::mouseRelease(b, Qt::LeftButton);
            QCOMPARE(b->borderStyle(), 0);
        }
        QTest::mousePress(f->Image17, Qt::LeftButton);
        QCOMPARE(f->Image17->borderStyle(), 0);
        QTest::mouseRelease(f->Image17, Qt::LeftButton);
        QCOMPARE(f->Image15->toolTip(), QStringLiteral("播放"));
        QCOMPARE(f->Image16->toolTip(), QStringLiteral("暂停"));
        QCOMPARE(f->Image17->toolTip(), QStringLiteral("全屏显示"));
        QCOMPARE(f->Image20->toolTip(), QStringLiteral("静音"));
    }

    void fullScreenAndBack() {
        FormHarness h;
        Form1* f = withPrograms(h, names(2));
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->Option2->setChecked(true);
        // The pile of controls from bottom to top, but for the way back.
        auto pile = [f] {
            QObjectList controls = f->children();
            controls.removeAll(f->Command6);
            return controls;
        };
        const QObjectList before = pile();

        f->Image17_Click();
        QVERIFY(f->isFullScreenMode());
        QVERIFY(f->Option2->isChecked()); // the mode stays
        QVERIFY(!f->Option1->isChecked());
        for (QWidget* w : std::initializer_list<QWidget*>{f->List1, f->WebBrowser1, f->HScroll1,
                                                          f->Combo1, f->Option1, f->Option2})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
        QVERIFY(!f->Command6->isHidden());
        QTRY_COMPARE(f->ShockwaveFlash1->geometry(), f->rect());
        QVERIFY(f->Command6->hasFocus() || !QApplication::focusWindow());
        // Only the way back lies above the player; the rest is under it.
        auto topAt = [f](QWidget* control) {
            QWidget* top = f->childAt(control->geometry().center());
            while (top && top->parentWidget() != f)
                top = top->parentWidget();
            return top;
        };
        const std::initializer_list<QWidget*> covered{
            f->Label1,  f->Label2,  f->Label3,  f->Label4,   f->Image15,
            f->Image16, f->Image17, f->Image20, f->Image(1), f->Image(14)};
        for (QWidget* w : covered)
            QVERIFY2(topAt(w) == f->ShockwaveFlash1 || (w == f->Label1 && topAt(w) == f->Command6),
                     qPrintable(w->objectName()));
        QCOMPARE(topAt(f->Command6), f->Command6);

        f->Command6_Click();
        QVERIFY(!f->isFullScreenMode());
        QTRY_VERIFY(f->windowState() & Qt::WindowMaximized);
        for (QWidget* w : std::initializer_list<QWidget*>{f->List1, f->WebBrowser1, f->HScroll1,
                                                          f->Combo1, f->Option1, f->Option2})
            QVERIFY(!w->isHidden());
        QVERIFY(f->Command6->isHidden());
        QVERIFY(f->Option2->isChecked());
        QVERIFY(f->ShockwaveFlash1->geometry() != f->rect());
        for (QWidget* w : covered)
            QCOMPARE(topAt(w), w);
        QCOMPARE(pile(), before);
    }

    void aFailedPageShowsTheOfflinePageOnce() {
        FormHarness h;
        h.load();
        emit h.browser.navigateError();
        const QString offline = h.folder.path(QStringLiteral("res/showoff.htm"));
        QCOMPARE(h.browser.urls.last(), offline);
        const int count = h.browser.urls.size();
        emit h.browser.navigateError(); // the offline page failing too
        QCOMPARE(h.browser.urls.size(), count);

        // The next category page is tried again, and its failure handled.
        h.form->Image_Click(3);
        emit h.browser.navigateError();
        QCOMPARE(h.browser.urls.last(), offline);
        QCOMPARE(h.browser.urls.size(), count + 2);
    }
};

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
