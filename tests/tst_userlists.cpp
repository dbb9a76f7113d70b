#include "support/FormHarness.h"

#include "catalogue/TextFile.h"
#include "shell/Controls.h"
#include "shell/DesktopShortcut.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QtTest>

namespace {

const QString kFavourites = QStringLiteral("cons/shoucang.inb");
const QString kHistory = QStringLiteral("cons/lishi.inb");
const QString kList = QStringLiteral("cons/b01.inb");

QStringList linesOf(const FormHarness& h, const QString& file) {
    return TextFile::readLines(h.folder.path(file)).lines;
}

} // namespace

// The favourites, the history, the custom groups and the two links that
// leave the main list.
class TestUserLists : public QObject {
    Q_OBJECT

    static Form1* withCategory(FormHarness& h, const QStringList& programs,
                               const QStringList& cached) {
        h.folder.writeList(kList, programs);
        for (const QString& p : cached)
            h.folder.cacheProgram(p);
        return h.load();
    }

private slots:
    void addingTheSameProgramTwiceGivesTwoLines() {
        FormHarness h;
        Form1* f = withCategory(h, {QStringLiteral("abc")}, {QStringLiteral("abc")});
        f->List1->setCurrentRow(0);
        f->file1_3_Click();
        f->file1_3_Click();
        QCOMPARE(h.notifier.messages, (QStringList{QStringLiteral("  abc 成功加入到收藏"),
                                                   QStringLiteral("  abc 成功加入到收藏")}));
        QCOMPARE(linesOf(h, kFavourites),
                 (QStringList{QStringLiteral("abc"), QStringLiteral("abc")}));
        f->Label2_Click();
        QCOMPARE(rowTexts(f->List1),
                 (QStringList{QStringLiteral("  abc"), QStringLiteral("  abc")}));
        QCOMPARE(f->currentListKey(), QStringLiteral("shoucang"));
        QCOMPARE(h.browser.urls.last(), FormHarness::kWeb + QStringLiteral("show15.htm"));
    }

    void addingIsRefusedThreeWays() {
        FormHarness h;
        Form1* f =
            withCategory(h, {QStringLiteral("在"), QStringLiteral("缺")}, {QStringLiteral("在")});
        const QByteArray before = h.folder.readBytes(kFavourites);

        f->file1_3_Click();         // nothing selected
        f->List1->setCurrentRow(1); // missing: now queued
        f->file1_3_Click();
        f->setCurrentListKey(QStringLiteral("zidingyi"));
        f->List1->clearSelection();
        f->file1_3_Click(); // custom rows, even with none selected
        QCOMPARE(h.notifier.messages, (QStringList{QStringLiteral("请先选择节目"),
                                                   QStringLiteral("请下载完成后再加入“收藏”！"),
                                                   QStringLiteral("此类不能加入！")}));
        QCOMPARE(h.folder.readBytes(kFavourites), before);
    }

    void deletingRewritesTheRest() {
        FormHarness h;
        h.folder.writeBytes(kFavourites,
                            "\xd2\xbb\r\n\r\n\xb6\xfe\r\n\r\n\xc8\xfd\r\n"); // 一 二 三
        for (const char* name : {"\xe4\xb8\x80", "\xe4\xba\x8c", "\xe4\xb8\x89"})
            h.folder.cacheProgram(QString::fromUtf8(name));
        Form1* f = h.load();
        f->Label2_Click();
        QCOMPARE(f->List1->count(), 3);
        f->List1->setCurrentRow(1);
        const int played = h.player.movies.size();
        f->file2_3_Click();
        QCOMPARE(h.player.movies.size(), played); // the neighbour is not chosen
        QCOMPARE(f->selectedRow(), -1);
        QCOMPARE(h.folder.readBytes(kFavourites), QByteArray("\xd2\xbb\r\n\xc8\xfd\r\n"));
        QCOMPARE(f->List1->count(), 2);

        f->file2_3_Click(); // nothing selected any more
        QCOMPARE(f->List1->count(), 2);
        f->List1->setCurrentRow(0);
        f->file2_3_Click();
        f->List1->setCurrentRow(0);
        f->file2_3_Click();
        QCOMPARE(h.folder.readBytes(kFavourites), QByteArray());
        QVERIFY(QFile::exists(h.folder.path(kFavourites)));
        f->Label3_Click();
        f->Label2_Click();
        QCOMPARE(f->List1->count(), 0);
    }

    void aListFileThatCannotBeWrittenChangesNothing() {
        FormHarness h;
        h.folder.writeList(kFavourites, {QStringLiteral("一"), QStringLiteral("二")});
        h.folder.cacheProgram(QStringLiteral("一"));
        Form1* f = h.load();
        f->Label2_Click();
        // A folder in the file's place defeats every write, also as root.
        QVERIFY(QFile::remove(h.folder.path(kFavourites)));
        QVERIFY(QDir().mkpath(h.folder.path(kFavourites + QStringLiteral("/x"))));
        f->List1->setCurrentRow(0);
        f->file2_3_Click();
        h.notifier.answer = true;
        f->file2_4_Click();
        QCOMPARE(h.notifier.messages.size(), 2);
        QVERIFY(h.notifier.messages.first().contains(kFavourites));
        QCOMPARE(f->List1->count(), 2);
        QVERIFY(QFileInfo(h.folder.path(kFavourites + QStringLiteral("/x"))).isDir());

        f->Image_Click(1);
        h.folder.writeList(kList, {QStringLiteral("一")});
        f->LoadList(kList);
        f->List1->setCurrentRow(0);
        f->file1_3_Click();
        QCOMPARE(h.notifier.messages.size(), 3);
        QVERIFY(!h.notifier.messages.last().contains(QStringLiteral("成功")));
    }

    void clearingAsksFirst() {
        FormHarness h;
        h.folder.writeList(kHistory, {QStringLiteral("甲"), QStringLiteral("乙")});
        Form1* f = h.load();
        f->Label3_Click();
        const QByteArray before = h.folder.readBytes(kHistory);
        h.notifier.answer = false;
        f->file3_4_Click();
        QCOMPARE(h.notifier.questions, QStringList{QStringLiteral("确实要清空历史记录吗？")});
        QCOMPARE(h.folder.readBytes(kHistory), before);
        QCOMPARE(f->List1->count(), 2);

        h.notifier.answer = true;
        f->file3_4_Click();
        QCOMPARE(h.folder.readBytes(kHistory), QByteArray());
        QCOMPARE(f->List1->count(), 0);
    }

    void listChangesAreRefusedWhileDownloading() {
        FormHarness h;
        h.folder.writeList(kFavourites, {QStringLiteral("甲")});
        Form1* f = h.load();
        f->Label2_Click();
        f->List1->setCurrentRow(0); // not cached: its download starts
        QCOMPARE(f->List2->count(), 1);
        const QByteArray before = h.folder.readBytes(kFavourites);

        f->Label2_Click(); // already shown: nothing at all
        QVERIFY(h.notifier.notices.isEmpty());
        h.notifier.answer = true;
        f->file2_3_Click();
        f->file2_4_Click();
        f->Label3_Click();
        QCOMPARE(h.notifier.notices, QStringList(3, QStringLiteral("正在下载，请稍候！")));
        QVERIFY(h.notifier.questions.isEmpty());
        QCOMPARE(h.folder.readBytes(kFavourites), before);
        QCOMPARE(f->currentListKey(), QStringLiteral("shoucang"));
        QCOMPARE(f->List1->count(), 1);

        // A group can neither be opened nor chosen from the keys.
        f->Image_Click(2);
        QCOMPARE(f->currentListKey(), QStringLiteral("shoucang"));
        f->Combo1->addItem(QStringLiteral("儿歌"));
        f->Combo1->setCurrentIndex(f->Combo1->count() - 1);
        f->Combo1_Click();
        QCOMPARE(f->currentListKey(), QStringLiteral("shoucang"));
        QCOMPARE(f->Combo1->currentText(), QStringLiteral("自定义节目"));
    }

    void theRightButtonChoosesTheRowThenOpensItsMenu() {
        FormHarness h;
        h.folder.writeList(kFavourites, {QStringLiteral("收")});
        Form1* f = withCategory(h, {QStringLiteral("一"), QStringLiteral("二")},
                                {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("收")});
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        const QPoint second = f->List1->visualItemRect(f->List1->item(1)).center();
        QTest::mouseClick(f->List1->viewport(), Qt::RightButton, {}, second);
        QCOMPARE(f->selectedRow(), 1);
        QVERIFY(h.player.movie().endsWith(QStringLiteral("二.swf")));
        QTRY_VERIFY(f->file1->isVisible());
        f->file1->close();

        // Also on the row already selected: played again.
        const int movies = h.player.movies.size();
        QTest::mouseClick(f->List1->viewport(), Qt::RightButton, {}, second);
        QCOMPARE(h.player.movies.size(), movies + 2);
        f->file1->close();

        f->Label2_Click();
        QTest::mouseClick(f->List1->viewport(), Qt::RightButton, {}, QPoint(5, 200)); // no row
        QCOMPARE(f->selectedRow(), -1);
        QTRY_VERIFY(f->file2->isVisible());
        f->file2->close();
        f->Label3_Click();
        QTest::mouseClick(f->List1->viewport(), Qt::RightButton, {}, QPoint(5, 200));
        QTRY_VERIFY(f->file3->isVisible());
        f->file3->close();

        QCOMPARE(f->file2_4->text(), QStringLiteral("清空收藏列表"));
        QCOMPARE(f->file3_3->text(), QStringLiteral("从历史记录删除"));
    }

    void menuPauseAndFullScreenRunTheButtons() {
        FormHarness h;
        Form1* f = withCategory(h, {QStringLiteral("一")}, {QStringLiteral("一")});
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->List1->setCurrentRow(0);
        f->Option1->setChecked(true);
        f->file2_1->trigger();
        QVERIFY(!f->Option1->isChecked());
        QCOMPARE(h.player.calls.last(), QStringLiteral("stop"));
        f->file3_2->trigger();
        QVERIFY(f->isFullScreenMode());
        f->Command6_Click();
    }

    void groupsAndTheirPrograms() {
        FormHarness h;
        h.folder.writeBytes(QStringLiteral("自定义节目/儿歌/x.swf"), "FWS");
        h.folder.writeBytes(QStringLiteral("自定义节目/儿歌/Y.SWF"), "FWS");
        h.folder.writeBytes(QStringLiteral("自定义节目/儿歌/notes.txt"), "-");
        h.folder.writeBytes(QStringLiteral("自定义节目/空/readme.txt"), "-");
        h.folder.writeBytes(QStringLiteral("自定义节目/loose.swf"), "FWS");
        Form1* f = h.load();
        QStringList groups;
        for (int i = 0; i < f->Combo1->count(); ++i)
            groups.append(f->Combo1->itemText(i));
        groups.sort();
        // The sample group the folder helper lays out, and ours.
        QVERIFY(groups.contains(QStringLiteral("儿歌")));
        QVERIFY(groups.contains(QStringLiteral("空")));
        QVERIFY(!groups.contains(QStringLiteral(".")) && !groups.contains(QStringLiteral("..")));
        QVERIFY(!groups.contains(QStringLiteral("loose.swf")));
        QCOMPARE(f->Combo1->currentText(), QStringLiteral("自定义节目"));

        f->Option2->setChecked(true);
        f->Image_Click(3);
        f->Combo1->setCurrentIndex(f->Combo1->findText(QStringLiteral("儿歌")));
        f->Combo1_Click();
        QCOMPARE(f->currentListKey(), QStringLiteral("zidingyi"));
        QStringList rows = rowTexts(f->List1);
        rows.sort();
        QCOMPARE(rows, (QStringList{QStringLiteral("Y"), QStringLiteral("x")}));
        QVERIFY(!f->Option2->isChecked());
        for (int n = 1; n <= 14; ++n)
            QCOMPARE(f->Image(n)->picture(), QString::number(100 + n));
        QCOMPARE(h.browser.urls.last(), FormHarness::kWeb + QStringLiteral("show15.htm"));

        // The upper-case file plays under its real name.
        f->List1->setCurrentRow(rowTexts(f->List1).indexOf(QStringLiteral("Y")));
        QCOMPARE(h.player.movie(), h.folder.path(QStringLiteral("自定义节目/儿歌/Y.SWF")));

        f->Combo1->setCurrentIndex(f->Combo1->findText(QStringLiteral("空")));
        f->Combo1_Click();
        QCOMPARE(f->List1->count(), 0);
        QCOMPARE(f->currentListKey(), QStringLiteral("zidingyi"));
        QCOMPARE(h.notifier.messages, QStringList{QStringLiteral(
                                          "您可以把喜欢的swf格式flash放在\"Kibu播放器\\自定义节目\""
                                          "各分类文件夹下,请参照使用帮助")});
        QVERIFY(f->Combo1_DropDown()); // a group is shown: it opens
    }

    void historyWithBytesThatAreNotGbkKeepsWorking() {
        FormHarness h;
        const QByteArray damaged1("\xD0\xA1\x81"), damaged2("x\xFE\x30");
        h.folder.writeBytes(kHistory, damaged1 + "\r\n\xBC\xD7\r\n" + damaged2 + "\r\n"); // 甲
        Form1* f =
            withCategory(h, {QStringLiteral("乙")}, {QStringLiteral("乙"), QStringLiteral("甲")});
        f->List1->setCurrentRow(0);
        const QByteArray yi("\xD2\xD2"); // 乙
        QCOMPARE(h.folder.readBytes(kHistory),
                 yi + "\r\n" + damaged1 + "\r\n\xBC\xD7\r\n" + damaged2 + "\r\n");
        f->Label3_Click();
        f->List1->setCurrentRow(2); // 甲, between the damaged lines
        f->file3_3_Click();
        QCOMPARE(h.folder.readBytes(kHistory), yi + "\r\n" + damaged1 + "\r\n" + damaged2 + "\r\n");
        QVERIFY(h.notifier.messages.isEmpty());
    }

    void typingInTheComboChoosesNothing() {
        FormHarness h;
        h.folder.writeBytes(QStringLiteral("自定义节目/故事/x.swf"), "FWS");
        h.folder.writeBytes(QStringLiteral("自定义节目/儿歌/y.swf"), "FWS");
        Form1* f = h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowActive(f));
        const int groups = f->Combo1->count();
        const QStringList rows = rowTexts(f->List1);
        QLineEdit* edit = f->Combo1->lineEdit();
        // A group's name, a new name: Enter, then leaving the field.
        for (const QString& typed : {QStringLiteral("故事"), QStringLiteral("新的一组")}) {
            f->Combo1->setFocus();
            edit->selectAll();
            edit->insert(typed); // as typed: QTest types Latin-1 only
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Enter);
            f->List1->setFocus();
            QCOMPARE(f->Combo1->count(), groups);
            QCOMPARE(f->currentListKey(), QStringLiteral("/xiaogushi/"));
            QCOMPARE(rowTexts(f->List1), rows);
            QVERIFY(h.notifier.messages.isEmpty());
        }
        // The arrow keys still choose, as the list does.
        f->Combo1->setFocus();
        QTest::keyClick(f->Combo1, Qt::Key_Down);
        QCOMPARE(f->currentListKey(), QStringLiteral("zidingyi"));
    }

    void theDesktopLauncher_data() {
        QTest::addColumn<QString>("appSubfolder");
        QTest::addColumn<bool>("trailingSeparator");
        QTest::addColumn<bool>("written");
        QTest::newRow("plain") << QStringLiteral("app") << false << true;
        QTest::newRow("desktop path ending in /") << QStringLiteral("app") << true << true;
        QTest::newRow("Temp") << QStringLiteral("Temp/app") << false << false;
        QTest::newRow("temp") << QStringLiteral("temp/app") << false << true;
    }
    void theDesktopLauncher() {
        QFETCH(QString, appSubfolder);
        QFETCH(bool, trailingSeparator);
        QFETCH(bool, written);
        QTemporaryDir desktop;
        FormHarness h(appSubfolder);
        const QString desktopPath =
            desktop.path() + (trailingSeparator ? QStringLiteral("/") : QString());
        h.desktopFolder = [desktopPath] { return desktopPath; };
        Form1& form = *h.make();
        form.Label1_Click();
        form.Label1_Click();
        const QString launcher = desktop.filePath(QStringLiteral("Kibu播放器.desktop"));
        QCOMPARE(QFile::exists(launcher), written);
        if (!written) {
            QCOMPARE(h.notifier.messages,
                     QStringList{QStringLiteral("请先解压缩再使用，不要直接运行压缩包！")} +
                         QStringList{QStringLiteral("请先解压缩再使用，不要直接运行压缩包！")});
            return;
        }
        QCOMPARE(h.notifier.messages,
                 QStringList(2, QStringLiteral("已经成功在桌面上创建了快捷方式！")));
        QVERIFY(QFileInfo(launcher).isExecutable());
        QFile file(launcher);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(text.contains(QStringLiteral("\nType=Application\n")));
        QVERIFY(text.contains(QStringLiteral("\nName=Kibu播放器\n")));
        QVERIFY(text.contains(QStringLiteral("\nExec=\"") + h.folder.app().root() +
                              QStringLiteral("/kibu-player\"\n")));
    }

    void launcherExecQuoting() {
        const QString text =
            DesktopShortcut::entryText(QStringLiteral("/home/a b/$x\"q\\100%/kibu-player"));
        QVERIFY2(text.contains(
                     QStringLiteral("Exec=\"/home/a b/\\\\$x\\\\\"q\\\\\\\\100%%/kibu-player\"\n")),
                 qPrintable(text));
    }

    void aMissingDesktopIsSilent() {
        FormHarness h;
        Form1* f = h.load(); // no desktop folder given
        f->Label1_Click();
        QVERIFY(h.notifier.messages.isEmpty());
    }

    void theSettingsLinkOpensTheDialogModally() {
        FormHarness h;
        Form1* f = h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QString title;
        QTimer::singleShot(0, f, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal) {
                title = modal->windowTitle();
                modal->close();
            }
        });
        f->Label4_Click();
        QCOMPARE(title, QStringLiteral("设置"));
    }
};

QTEST_MAIN(TestUserLists)
#include "tst_userlists.moc"
