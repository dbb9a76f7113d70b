#include "support/FormHarness.h"

#include "shell/Controls.h"
#include "shell/Form1.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>
#include <memory>

namespace {

const QString kWeb = FormHarness::kWeb;

} // namespace

// The main window against stand-ins: start-up, category switching, the link
// labels' hover, the layout and shutdown.
class TestForm1 : public QObject {
    Q_OBJECT

    using Harness = FormHarness;

private slots:
    void startUpShowsCategoryOneWithoutClip() {
        Harness h;
        h.folder.writeList(QStringLiteral("cons/b01.inb"),
                           {QStringLiteral("小星星"), QStringLiteral("两只老虎")});
        h.folder.cacheProgram(QStringLiteral("两只老虎"));
        Form1* f = h.load();

        QCOMPARE(h.player.movie(), QStringLiteral("http://"));
        QVERIFY(h.browser.silent);
        QCOMPARE(h.browser.urls, QStringList{kWeb + QStringLiteral("show1.htm")});
        QVERIFY(h.voice.clips.isEmpty());
        QCOMPARE(f->currentListKey(), QStringLiteral("/xiaogushi/"));
        QCOMPARE(rowTexts(f->List1),
                 (QStringList{QStringLiteral("* 小星星"), QStringLiteral("  两只老虎")}));
        QCOMPARE(f->List1->currentRow(), -1);
        QCOMPARE(f->Image(1)->picture(), QStringLiteral("201"));
        for (int n = 2; n <= 14; ++n)
            QCOMPARE(f->Image(n)->picture(), QString::number(100 + n));
        QCOMPARE(f->Image20->picture(), QStringLiteral("jingyin1"));
        QCOMPARE(f->serverFolder(), QStringLiteral("klmdef"));
        QCOMPARE(f->Combo1->currentText(), QStringLiteral("自定义节目"));
        QCOMPARE(f->Option1->text(), QStringLiteral("播放全部"));
        QCOMPARE(f->Option2->text(), QStringLiteral("单曲循环"));
        QCOMPARE(f->windowTitle(), QStringLiteral("Kibu播放器1.3"));
        QVERIFY(h.notifier.messages.isEmpty());
        QVERIFY(h.notifier.notices.isEmpty());
        QVERIFY(f->List2->isHidden());
        QCOMPARE(f->List2->count(), 0);
        QVERIFY(f->Command6->isHidden());
    }

    void tempFolderWarning_data() {
        QTest::addColumn<QString>("subfolder");
        QTest::addColumn<bool>("warned");
        QTest::newRow("Temp") << QStringLiteral("Temp/app") << true;
        QTest::newRow("inside a name") << QStringLiteral("MyTemplates/app") << true;
        QTest::newRow("lower case") << QStringLiteral("temp/app") << false;
        QTest::newRow("TEMP") << QStringLiteral("TEMP/app") << false;
    }
    void tempFolderWarning() {
        QFETCH(QString, subfolder);
        QFETCH(bool, warned);
        Harness h(subfolder);
        h.load();
        QCOMPARE(h.notifier.messages.size(), warned ? 1 : 0);
        if (warned)
            QCOMPARE(h.notifier.messages.first(),
                     QStringLiteral("请先解压缩再使用，不要直接运行压缩包！否则每次都要下载"));
        // Start-up goes on either way.
        QCOMPARE(h.form->Image(1)->picture(), QStringLiteral("201"));
    }

    void switchingCategories() {
        Harness h;
        h.folder.writeList(QStringLiteral("cons/b07.inb"), {QStringLiteral("静夜思")});
        h.folder.writeList(QStringLiteral("cons/b03.inb"), {QStringLiteral("伦敦桥")});
        Form1* f = h.load();
        f->Option1->setChecked(true);
        f->Combo1->setEditText(QStringLiteral("儿歌"));

        f->Image_Click(7);
        QCOMPARE(f->currentListKey(), QStringLiteral("/xuegushi/"));
        QCOMPARE(rowTexts(f->List1), QStringList{QStringLiteral("* 静夜思")});
        QCOMPARE(h.browser.urls.last(), kWeb + QStringLiteral("show7.htm"));
        QCOMPARE(h.voice.clips, QStringList{QStringLiteral("SOUND07")});
        for (int n = 1; n <= 14; ++n)
            QCOMPARE(f->Image(n)->picture(), QString::number(n == 7 ? 207 : 100 + n));
        for (QRadioButton* option : {f->Option1, f->Option2}) {
            QVERIFY(!option->isChecked());
            QVERIFY(!option->isEnabled());
        }
        QCOMPARE(f->Combo1->currentText(), QStringLiteral("自定义节目"));

        f->Image_Click(3);
        QCOMPARE(rowTexts(f->List1), QStringList{QStringLiteral("* 伦敦桥")});
        QCOMPARE(h.voice.clips.last(), QStringLiteral("SOUND03"));
        for (QRadioButton* option : {f->Option1, f->Option2}) {
            QVERIFY(option->isEnabled());
            QVERIFY(!option->isChecked());
        }

        // A mode chosen in one category is cleared by the next switch.
        f->Option2->setChecked(true);
        f->Image_Click(6);
        QVERIFY(!f->Option2->isChecked());
        QVERIFY(f->Option2->isEnabled());
    }

    void clickingTheShownCategoryChangesNothing() {
        Harness h;
        Form1* f = h.load();
        f->Option1->setChecked(true);
        const int navigations = h.browser.urls.size();
        h.folder.writeList(QStringLiteral("cons/b01.inb"), {QStringLiteral("新节目")});

        f->Image_Click(1);
        QVERIFY(h.voice.clips.isEmpty());
        QCOMPARE(h.browser.urls.size(), navigations);
        QCOMPARE(f->List1->count(), 0); // not reloaded
        QVERIFY(f->Option1->isChecked());
    }

    void switchingIsRefusedWhileDownloading() {
        Harness h;
        h.folder.writeList(QStringLiteral("cons/b01.inb"), {QStringLiteral("小星星")});
        Form1* f = h.load();
        f->Option1->setChecked(true);
        f->List2->addItem(QStringLiteral("* 小星星"));

        f->Image_Click(2);
        QCOMPARE(h.notifier.notices, QStringList{QStringLiteral("正在下载，请稍候！")});
        QCOMPARE(f->currentListKey(), QStringLiteral("/xiaogushi/"));
        QCOMPARE(rowTexts(f->List1), QStringList{QStringLiteral("* 小星星")});
        QCOMPARE(f->Image(1)->picture(), QStringLiteral("201"));
        QCOMPARE(f->Image(2)->picture(), QStringLiteral("102"));
        QVERIFY(h.voice.clips.isEmpty());
        QVERIFY(f->Option1->isChecked());

        f->List2->clear();
        f->Image_Click(2);
        QCOMPARE(f->currentListKey(), QStringLiteral("/chengyugushi/"));
        QCOMPARE(h.notifier.notices.size(), 1);
    }

    void comingBackFromAnotherViewReloadsCategoryOne() {
        Harness h;
        Form1* f = h.load();
        f->setCurrentListKey(QStringLiteral("shoucang"));
        f->ResetCategoryPictures();
        h.folder.writeList(QStringLiteral("cons/b01.inb"), {QStringLiteral("拔萝卜")});

        f->Image_Click(1);
        QCOMPARE(rowTexts(f->List1), QStringList{QStringLiteral("* 拔萝卜")});
        QCOMPARE(f->Image(1)->picture(), QStringLiteral("201"));
        QCOMPARE(h.voice.clips, QStringList{QStringLiteral("SOUND01")});
    }

    void clickOnAPictureSwitches() {
        Harness h;
        Form1* f = h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QTest::mouseClick(f->Image(4), Qt::LeftButton);
        QCOMPARE(f->currentListKey(), QStringLiteral("/zhongwenerge/"));
        QCOMPARE(f->Image(4)->toolTip(), QStringLiteral("小故事"));
        QCOMPARE(f->Image(5)->toolTip(), QStringLiteral("成语故事"));
    }

    void unreadableListGivesEmptyListAndOneMessage() {
        Harness h;
        h.folder.writeList(QStringLiteral("cons/b01.inb"), {QStringLiteral("小星星")});
        Form1* f = h.load();
        QFile::remove(h.folder.path(QStringLiteral("cons/b05.inb")));

        f->Image_Click(5);
        QCOMPARE(f->List1->count(), 0);
        QCOMPARE(h.notifier.messages.size(), 1);
        QVERIFY(h.notifier.messages.first().contains(QStringLiteral("cons/b05.inb")));
        // The switch itself still happened.
        QCOMPARE(f->currentListKey(), QStringLiteral("/zhongwentongyao/"));
    }

    void linkLabelsHighlightUnderTheMouse() {
        Harness h;
        Form1* f = h.load();
        const QColor rest = QApplication::palette().color(QPalette::ButtonText);
        const QColor red(255, 0, 0);
        auto colour = [](QWidget* w) { return w->palette().color(QPalette::WindowText); };
        for (QWidget* label : {static_cast<QWidget*>(f->Label1), static_cast<QWidget*>(f->Label2),
                               static_cast<QWidget*>(f->Label3), static_cast<QWidget*>(f->Label4)})
            QCOMPARE(colour(label), rest);
        QCOMPARE(f->Label2->text(), QStringLiteral("收藏"));

        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QTest::mouseMove(f->Label2);
        QCOMPARE(colour(f->Label2), red);
        // Straight onto another label: both stay red until the bare window.
        QTest::mouseMove(f->Label3);
        QCOMPARE(colour(f->Label2), red);
        QCOMPARE(colour(f->Label3), red);
        // Over another control nothing resets.
        QTest::mouseMove(f->List1);
        QCOMPARE(colour(f->Label3), red);
        // The bare window surface between the option buttons and the bar.
        QTest::mouseMove(f, QPoint(f->Option1->x() - 10, f->Option1->y() + 2));
        QCOMPARE(colour(f->Label2), rest);
        QCOMPARE(colour(f->Label3), rest);
    }

    void pinkOnlyWhereDesigned() {
        Harness h;
        Form1* f = h.load();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        const QColor pink(255, 192, 255);
        auto pinkShare = [&](QWidget* w, QRect area = {}) {
            const QImage image = w->grab(area.isNull() ? w->rect() : area).toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += image.pixelColor(x, y) == pink;
            return double(count) / (image.width() * image.height());
        };
        QCOMPARE(pinkShare(f, QRect(f->Option1->x() - 12, f->Option1->y(), 8, 8)), 1.0);
        QVERIFY(pinkShare(f->List1) > 0.9);
        QVERIFY(pinkShare(f->Combo1) > 0.3);
        // The options' text background is pink, their circles are not.
        QStyleOptionButton option;
        option.initFrom(f->Option1);
        const QRect circle = f->Option1->style()->subElementRect(QStyle::SE_RadioButtonIndicator,
                                                                 &option, f->Option1);
        QVERIFY(pinkShare(f->Option1) > 0.5);
        QCOMPARE(pinkShare(f->Option1, QRect(circle.center() - QPoint(1, 1), QSize(3, 3))), 0.0);
        // The bar is drawn exactly as a bar of the system's own.
        QScrollBar plain(Qt::Horizontal);
        plain.setRange(f->HScroll1->minimum(), f->HScroll1->maximum());
        plain.resize(f->HScroll1->size());
        QCOMPARE(f->HScroll1->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 plain.grab().toImage().convertToFormat(QImage::Format_RGB32));
        const QPalette system = QApplication::palette();
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            QCOMPARE(f->Command6->palette().color(role), system.color(role));
    }

    void designGeometryAndScaling() {
        Harness h;
        Form1* f = h.load();
        QCOMPARE(f->size(), QSize(1016, 711));
        QCOMPARE(f->List1->geometry(), QRect(845, 72, 167, 578));
        QCOMPARE(f->Image(1)->geometry(), QRect(2, 0, 71, 71));
        QCOMPARE(f->Image(14)->geometry(), QRect(938, 0, 73, 71));
        QCOMPARE(f->ShockwaveFlash1->geometry(), QRect(1, 72, 842, 571));
        QCOMPARE(f->Image15->geometry(), QRect(100, 654, 27, 27));
        QCOMPARE(f->WebBrowser1->geometry(), QRect(6, 690, 1000, 19));
        QCOMPARE(f->HScroll1->height(), 5);
        const QList<QRect> design = [f] {
            QList<QRect> g;
            for (QWidget* w : f->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                g.append(w->geometry());
            return g;
        }();

        // Half as wide again: factor 150 for left and width, heights as before.
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f));
        f->resize(1524, 711);
        QCOMPARE(f->List1->geometry(), QRect(1267, 72, 250, 578));
        QCOMPARE(f->Image15->size(), QSize(27, 27));
        QCOMPARE(f->Image15->x(), 150);
        QCOMPARE(f->WebBrowser1->height(), 19);
        QCOMPARE(f->WebBrowser1->width(), 1500);
        QCOMPARE(f->Command6->size(), QSize(47, 27));

        for (const QSize& size : {QSize(640, 480), QSize(1919, 1080), QSize(1017, 700)})
            f->resize(size);
        f->resize(1016, 711);
        QList<QRect> after;
        for (QWidget* w : f->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            after.append(w->geometry());
        QCOMPARE(after, design);
    }

    void shutdown_data() {
        QTest::addColumn<QByteArray>("dateFile"); // empty: no file at all
        QTest::addColumn<bool>("pageOpened");
        QTest::newRow("yesterday") << QByteArray("2026-12-06\r\n") << true;
        QTest::newRow("today") << QByteArray("2026-12-07\r\n") << false;
        QTest::newRow("today, no line end") << QByteArray("2026-12-07") << false;
        QTest::newRow("another form") << QByteArray("2026/12/7\r\n") << true;
        QTest::newRow("no file") << QByteArray() << false;
        QTest::newRow("empty file") << QByteArray("\r\n") << false;
    }
    void shutdown() {
        QFETCH(QByteArray, dateFile);
        QFETCH(bool, pageOpened);
        Harness h;
        if (!dateFile.isEmpty())
            h.folder.writeBytes(QStringLiteral("cons/date.inb"), dateFile);
        Form1* f = h.load();

        f->close();
        QCOMPARE(h.opener.urls,
                 pageOpened ? QStringList{kWeb + QStringLiteral("a.htm")} : QStringList{});
        QCOMPARE(h.folder.readBytes(QStringLiteral("cons/date.inb")), QByteArray("2026-12-07\r\n"));
        QCOMPARE(h.ended, 1);

        // A second close on the same day opens nothing more.
        Harness again;
        again.folder.writeBytes(QStringLiteral("cons/date.inb"),
                                h.folder.readBytes(QStringLiteral("cons/date.inb")));
        again.load()->close();
        QVERIFY(again.opener.urls.isEmpty());
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
