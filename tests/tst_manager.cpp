#include "manager/Dialog.h"
#include "support/Fakes.h"
#include "support/TempAppFolder.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QStringEncoder>
#include <QtTest>

namespace {

const QString kB01 = QStringLiteral("cons/b01.inb");
const QStringList kSongs{"小星星", "两只老虎", "拔萝卜", "小燕子"};

// Encoded here rather than through TextFile, so that a fault in the writer
// cannot also sit in the expectation.
QByteArray listBytes(const QStringList& names) {
    QStringEncoder gbk("GBK");
    QByteArray bytes;
    for (const QString& name : names)
        bytes += QByteArray(gbk.encode(name)) + "\r\n";
    return bytes;
}

// A shown dialog, 中文儿歌 (holding kSongs) loaded and the given row selected.
struct Fixture {
    TempAppFolder folder;
    FakeNotifier notifier;
    Dialog dialog{folder.app(), notifier};

    explicit Fixture(int row = -1) {
        folder.writeList(kB01, kSongs);
        dialog.show();
        dialog.Command(1)->click();
        dialog.List1->setCurrentRow(row);
    }
    QStringList rows() const {
        QStringList texts;
        for (int i = 0; i < dialog.List1->count(); ++i)
            texts.append(dialog.List1->item(i)->text());
        return texts;
    }
    int selected() const {
        const auto items = dialog.List1->selectedItems();
        return items.size() == 1 ? dialog.List1->row(items.first()) : -1;
    }
};

} // namespace

// The program-list manager: loading a category, moving and deleting rows,
// and when the list file is (and is not) written.
class TestManager : public QObject {
    Q_OBJECT

private slots:
    void layout() {
        Fixture f;
        QCOMPARE(f.dialog.size(), QSize(375, 627));
        QCOMPARE(f.dialog.Command(14)->text(), QStringLiteral("英语游戏"));
        QCOMPARE(f.dialog.Command(14)->geometry(), QRect(16, 296, 81, 17));
        QCOMPARE(f.dialog.List1->parentWidget(), f.dialog.Command(14)->parentWidget());
        QCOMPARE(f.dialog.OKButton->parentWidget(), &f.dialog);
    }

    void moving() {
        Fixture f(2);
        for (int i = 0; i < 3; ++i) // the third finds it first already
            f.dialog.Command18_Click();
        QCOMPARE(f.rows(), (QStringList{"拔萝卜", "小星星", "两只老虎", "小燕子"}));
        QCOMPARE(f.selected(), 0);
        f.dialog.List1->setCurrentRow(1);
        for (int i = 0; i < 3; ++i)
            f.dialog.Command19_Click();
        QCOMPARE(f.rows(), (QStringList{"拔萝卜", "两只老虎", "小燕子", "小星星"}));
        QCOMPARE(f.selected(), 3);
    }

    void savingKeepsBytesThatAreNotGbk() {
        Fixture f;
        const QByteArray damaged("\xD0\xA1\xFF\x81"), song = listBytes({"小燕子"});
        f.folder.writeBytes(kB01, damaged + "\r\n" + song);
        f.dialog.Command(1)->click();
        f.dialog.List1->setCurrentRow(1);
        f.dialog.Command18_Click();
        f.dialog.OKButton->click();
        QCOMPARE(f.folder.readBytes(kB01), song + damaged + "\r\n");
        QVERIFY(f.notifier.messages.isEmpty());
    }

    void nothingSelectedNothingHappens() {
        Fixture f;
        // Keyboard focus alone makes a current row without selecting it.
        f.dialog.List1->selectionModel()->setCurrentIndex(f.dialog.List1->model()->index(1, 0),
                                                          QItemSelectionModel::NoUpdate);
        f.notifier.answer = true;
        f.dialog.Command18_Click();
        f.dialog.Command19_Click();
        f.dialog.Command20_Click();
        QCOMPARE(f.rows(), kSongs);
        QVERIFY(f.notifier.questions.isEmpty());
    }

    void deleteAsksFirst_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void deleteAsksFirst() {
        QFETCH(bool, yes);
        Fixture f(1);
        f.folder.cacheProgram(QStringLiteral("两只老虎"));
        f.notifier.answer = yes;
        f.dialog.Command20_Click();
        QCOMPARE(f.notifier.questions, QStringList{QStringLiteral("确实要删除这个节目吗？")});
        const QStringList left = yes ? QStringList{"小星星", "拔萝卜", "小燕子"} : kSongs;
        QCOMPARE(f.rows(), left);
        QCOMPARE(f.folder.readBytes(kB01), listBytes(kSongs)); // not until saved
        f.dialog.OKButton_Click();
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.folder.readBytes(kB01), listBytes(left));
        QCOMPARE(f.folder.readBytes(QStringLiteral("res/fla/两只老虎.swf")), QByteArray("FWS"));
    }

    void emptiedListSavesEmptyFile() {
        Fixture f;
        f.notifier.answer = true;
        while (f.dialog.List1->count() > 0) {
            f.dialog.List1->setCurrentRow(0);
            f.dialog.Command20_Click();
        }
        f.dialog.OKButton_Click();
        QVERIFY(QFileInfo(f.folder.path(kB01)).isFile());
        QCOMPARE(f.folder.readBytes(kB01), QByteArray());
    }

    void onlyTheLastLoadedListIsSaved() {
        Fixture f(3);
        f.dialog.Command18_Click();
        // 童话故事 is b05; empty lines go, and the last line gets its CR LF.
        f.folder.writeBytes(QStringLiteral("cons/b05.inb"),
                            "\r\nab\r\n\r\n\xD0\xA1\xD0\xC7\xD0\xC7");
        f.dialog.Command(5)->click();
        QCOMPARE(f.dialog.loadedFileName(), QStringLiteral("b05.inb"));
        f.dialog.OKButton_Click();
        QCOMPARE(f.folder.readBytes(kB01), listBytes(kSongs));
        QCOMPARE(f.folder.readBytes(QStringLiteral("cons/b05.inb")),
                 QByteArray("ab\r\n\xD0\xA1\xD0\xC7\xD0\xC7\r\n"));
    }

    void leavingWithoutSaving_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("取消") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("close button") << 2;
        QTest::newRow("enter neither saves nor reloads") << 3;
    }
    void leavingWithoutSaving() {
        QFETCH(int, how);
        Fixture f(0);
        f.dialog.Command19_Click();
        if (how == 0)
            f.dialog.CancelButton->click();
        else if (how == 1)
            QTest::keyClick(&f.dialog, Qt::Key_Escape);
        else if (how == 2)
            f.dialog.close();
        else
            QTest::keyClick(f.dialog.List1, Qt::Key_Return);
        QCOMPARE(f.dialog.isVisible(), how == 3);
        QCOMPARE(f.rows().first(), QStringLiteral("两只老虎"));
        QCOMPARE(f.folder.readBytes(kB01), listBytes(kSongs));
    }

    void reopenedWithNothingLoadedWritesNothing() {
        Fixture f(0);
        f.dialog.Command19_Click();
        f.dialog.hide();
        f.dialog.show();
        QCOMPARE(f.dialog.loadedFileName(), QStringLiteral("none"));
        QCOMPARE(f.dialog.List1->count(), 0);
        const QStringList before = QDir(f.folder.path("cons")).entryList();
        f.dialog.OKButton_Click();
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QDir(f.folder.path("cons")).entryList(), before);
        QCOMPARE(f.folder.readBytes(kB01), listBytes(kSongs));
    }

    void unreadableListKeepsTheOpenOne() {
        Fixture f;
        const QString b02 = QStringLiteral("cons/b02.inb");
        QVERIFY(QFile::remove(f.folder.path(b02)) && QDir().mkpath(f.folder.path(b02)));
        f.dialog.Command(2)->click();
        QCOMPARE(f.notifier.messages.size(), 1);
        QVERIFY(f.notifier.messages.first().contains(b02));
        QCOMPARE(f.rows(), kSongs);
        QCOMPARE(f.dialog.loadedFileName(), QStringLiteral("b01.inb"));
    }

    void failedSaveStaysOpen() {
        Fixture f;
        // A directory in the list's place defeats the write even for root.
        QVERIFY(QFile::remove(f.folder.path(kB01)));
        QVERIFY(QDir().mkpath(f.folder.path(kB01 + "/keep")));
        f.dialog.OKButton_Click();
        QCOMPARE(f.notifier.messages.size(), 1);
        QVERIFY(f.notifier.messages.first().contains(kB01));
        QVERIFY(f.dialog.isVisible());
        QCOMPARE(f.rows(), kSongs);
        QVERIFY(QFileInfo(f.folder.path(kB01 + "/keep")).isDir());
    }
};

QTEST_MAIN(TestManager)
#include "tst_manager.moc"
