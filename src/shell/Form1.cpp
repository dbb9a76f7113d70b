#include "Form1.h"

#include "catalogue/CategoryTable.h"
#include "catalogue/CustomPrograms.h"
#include "catalogue/History.h"
#include "catalogue/ListLoader.h"
#include "catalogue/ProgramName.h"
#include "catalogue/TextFile.h"
#include "manager/Dialog.h"
#include "net/FileDownload.h"
#include "net/ProgramDownload.h"
#include "net/ServerAddress.h"
#include "shell/Controls.h"
#include "shell/DesktopServices.h"
#include "shell/DesktopShortcut.h"
#include "flash/FlashPlayer.h"
#include "shell/InfoBrowser.h"
#include "ui/Notifier.h"
#include "shell/StartupChecks.h"
#include "shell/VoicePlayer.h"
#include "shell/WidgetLayout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

namespace {

// Colours of the window, given as red, green, blue.
const QColor kPink(255, 192, 255);
const QColor kRed(255, 0, 0);

const QString kDownloading = QStringLiteral("正在下载，请稍候！");
const QString kCustomFolder = CustomPrograms::kFolder;
const QString kFavouritesFile = QStringLiteral("cons/shoucang.inb");
const QString kHistoryFile = QStringLiteral("cons/lishi.inb");
const QString kUserListPage = QStringLiteral("show15.htm");
const QString kOfflinePage = QStringLiteral("res/showoff.htm");
const QString kTempWarning =
    QStringLiteral("请先解压缩再使用，不要直接运行压缩包！否则每次都要下载");

// Names a widget after its control and puts it at its design geometry.
template <typename W> W* placed(W* widget, const char* name, const TwipsRect& d) {
    return placedTwips(widget, QString::fromLatin1(name), d);
}

// Paints the given roles of a control in a colour of its own; the other
// roles keep the system's.
void setBackground(QWidget* w, const QColor& colour,
                   std::initializer_list<QPalette::ColorRole> roles) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles)
        p.setColor(role, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A control drawn as the system draws it, whatever the window's colours.
void keepSystemLook(QWidget* w) {
    QPalette p = QApplication::palette();
    // Naming every role keeps the window's palette from reaching it.
    for (int group = 0; group < QPalette::NColorGroups; ++group)
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            p.setBrush(g, r, p.brush(g, r));
        }
    w->setPalette(p);
    // Its own background too, not the window's pink through its corners.
    w->setAutoFillBackground(true);
}

} // namespace

Form1::Form1(AppSettings settings, Form1Services services, QWidget* parent)
    : QWidget(parent), m_settings(std::move(settings)), m_services(std::move(services)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    resize(pixelsFromTwips(kDesignInnerWidth), pixelsFromTwips(kDesignInnerHeight));
    setMouseTracking(true);
    createControls();
    applyAppearance();
    buildLayoutWindow();
    connectHandlers();
    // The tick runs from the window's creation until it closes.
    Timer1->start();
}

// The window as the half-second tick sees it.
class Form1::TickWindow : public PlaybackTick::Window {
public:
    explicit TickWindow(Form1& form) : m_form(form) {}
    FlashPlayer& player() override { return *m_form.m_services.player; }
    void showFrame(int frame) override {
        // While the user holds the thumb, the thumb is the user's.
        QScrollBar* bar = m_form.HScroll1;
        if (!bar->isSliderDown())
            bar->setValue(PositionBar::valueFor(frame, bar->maximum()));
    }
    PlayMode playMode() const override { return m_form.playMode(); }
    int selectedRow() const override { return m_form.selectedRow(); }
    int rowCount() const override { return m_form.List1->count(); }
    void selectRow(int row) override { m_form.selectRow(row); }
    void checkForUpdate() override {
        if (m_form.m_services.checkForUpdate)
            m_form.m_services.checkForUpdate();
    }

private:
    Form1& m_form;
};

Form1::~Form1() = default;

PictureBox* Form1::Image(int n) const {
    return categoryImages.at(static_cast<size_t>(n - 1));
}

void Form1::createControls() {
    for (const Category& c : CategoryTable::all()) {
        auto* image = new PictureBox(this);
        placeTwips(image, QStringLiteral("Image%1").arg(c.number),
                   {30 + 1080 * (c.number - 1), 0, c.number == 14 ? 1095 : 1065, 1065});
        image->setToolTip(QString::fromUtf16(c.tooltip));
        image->setCursor(Qt::PointingHandCursor);
        const int n = c.number;
        connect(image, &PictureBox::clicked, this, [this, n] { Image_Click(n); });
        categoryImages[static_cast<size_t>(n - 1)] = image;
    }

    ShockwaveFlash1 = m_services.player->widget();
    ShockwaveFlash1->setParent(this);
    placed(ShockwaveFlash1, "ShockwaveFlash1", {15, 1080, 12630, 8565});
    List1 = placed(new QListWidget(this), "List1", {12675, 1080, 2505, 8670});

    auto button = [this](const char* name, const QString& picture, int left) {
        auto* box = placed(new PictureBox(this), name, {left, 9810, 405, 405});
        box->setPicture(picture);
        return box;
    };
    Image17 = button("Image17", QStringLiteral("fullscreen"), 540);
    Image20 = button("Image20", QStringLiteral("jingyin1"), 1020);
    Image15 = button("Image15", QStringLiteral("play"), 1500);
    Image16 = button("Image16", QStringLiteral("pause"), 1980);
    Image15->setToolTip(QStringLiteral("播放"));
    Image16->setToolTip(QStringLiteral("暂停"));
    Image17->setToolTip(QStringLiteral("全屏显示"));
    Image20->setToolTip(QStringLiteral("静音"));

    HScroll1 = placed(new QScrollBar(Qt::Horizontal, this), "HScroll1", {2610, 9960, 5200, 75});
    Option1 = placed(new QRadioButton(QStringLiteral("播放全部"), this), "Option1",
                     {8100, 9780, 1035, 375});
    Option2 = placed(new QRadioButton(QStringLiteral("单曲循环"), this), "Option2",
                     {9270, 9780, 1035, 375});
    // The two modes exclude each other, yet code must be able to clear both,
    // which Qt's automatic exclusivity does not allow.
    for (auto [option, other] : {std::pair{Option1, Option2}, std::pair{Option2, Option1}}) {
        option->setAutoExclusive(false);
        connect(option, &QRadioButton::toggled, other, [other = other](bool on) {
            if (on)
                other->setChecked(false);
        });
    }

    auto* combo = placed(new DropDownComboBox(this), "Combo1", {10680, 9840, 1695, 300});
    combo->beforeDropDown = [this] { return Combo1_DropDown(); };
    Combo1 = combo;
    Combo1->setEditText(QStringLiteral("自定义节目"));

    auto link = [this](const char* name, const QString& text, const TwipsRect& d,
                       void (Form1::*onMove)()) {
        auto* label = placed(new LinkLabel(text, this), name, d);
        connect(label, &LinkLabel::mouseMoved, this, onMove);
        return label;
    };
    Label2 =
        link("Label2", QStringLiteral("收藏"), {12720, 9840, 495, 255}, &Form1::Label2_MouseMove);
    Label3 =
        link("Label3", QStringLiteral("历史"), {13320, 9840, 495, 255}, &Form1::Label3_MouseMove);
    Label4 =
        link("Label4", QStringLiteral("设置"), {13920, 9840, 495, 255}, &Form1::Label4_MouseMove);
    Label1 =
        link("Label1", QStringLiteral("桌面"), {14520, 9840, 840, 240}, &Form1::Label1_MouseMove);

    Command6 = placed(new QPushButton(this), "Command6", {14400, 9960, 705, 405});
    Command6->setIcon(QIcon(bitmapResource(QStringLiteral("back"))));
    Command6->setIconSize(QSize(47, 27));
    Command6->hide();

    WebBrowser1 = m_services.browser->widget();
    WebBrowser1->setParent(this);
    placed(WebBrowser1, "WebBrowser1", {90, 10350, 15000, 285});

    List2 = placed(new QListWidget(this), "List2", {0, 9720, 150, 240});
    List2->hide();
    List3 = placed(new QListWidget(this), "List3", {240, 9720, 150, 240});
    List3->hide();

    createMenus();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
}

void Form1::createMenus() {
    auto menu = [this](const char* name, const QString& title) {
        auto* m = new QMenu(title, this);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto entry = [this](QMenu* m, const char* name, const QString& text, void (Form1::*slot)()) {
        QAction* a = m->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    file1 = menu("file1", QStringLiteral("菜单1"));
    file1_1 = entry(file1, "file1_1", QStringLiteral("暂停"), &Form1::Image16_Click);
    file1_2 = entry(file1, "file1_2", QStringLiteral("全屏"), &Form1::Image17_Click);
    file1_3 = entry(file1, "file1_3", QStringLiteral("加入收藏"), &Form1::file1_3_Click);
    file2 = menu("file2", QStringLiteral("菜单2"));
    file2_1 = entry(file2, "file2_1", QStringLiteral("暂停"), &Form1::Image16_Click);
    file2_2 = entry(file2, "file2_2", QStringLiteral("全屏"), &Form1::Image17_Click);
    file2_3 = entry(file2, "file2_3", QStringLiteral("从收藏列表删除"), &Form1::file2_3_Click);
    file2_4 = entry(file2, "file2_4", QStringLiteral("清空收藏列表"), &Form1::file2_4_Click);
    file3 = menu("file3", QStringLiteral("菜单3"));
    file3_1 = entry(file3, "file3_1", QStringLiteral("暂停"), &Form1::Image16_Click);
    file3_2 = entry(file3, "file3_2", QStringLiteral("全屏"), &Form1::Image17_Click);
    file3_3 = entry(file3, "file3_3", QStringLiteral("从历史记录删除"), &Form1::file3_3_Click);
    file3_4 = entry(file3, "file3_4", QStringLiteral("清空历史记录"), &Form1::file3_4_Click);
}

void Form1::applyAppearance() {
    // Pink: the window's surface, the text background of the two options,
    // the combo box and the list; the rest keeps the system's look.
    setBackground(this, kPink, {QPalette::Window});
    setBackground(Option1, kPink, {QPalette::Window, QPalette::Button});
    setBackground(Option2, kPink, {QPalette::Window, QPalette::Button});
    setBackground(Combo1, kPink, {QPalette::Window, QPalette::Base, QPalette::Button});
    for (QWidget* w : {static_cast<QWidget*>(HScroll1), static_cast<QWidget*>(Command6)})
        keepSystemLook(w);

    QPalette listPalette = List1->palette();
    listPalette.setColor(QPalette::Base, kPink);
    listPalette.setColor(QPalette::Text, kRed);
    List1->setPalette(listPalette);
    QFont listFont;
    listFont.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                          QStringLiteral("NSimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    listFont.setPointSizeF(10.5);
    listFont.setWeight(QFont::Normal);
    List1->setFont(listFont);

    for (LinkLabel* label : {Label1, Label2, Label3, Label4})
        setLabelHighlight(label, false);
}

void Form1::buildLayoutWindow() {
    m_layoutWindow = std::make_unique<WidgetLayoutWindow>(this, objectName());
    auto add = [this](QWidget* w) {
        m_layoutWindow->add(std::make_unique<WidgetLayoutControl>(w, w->objectName()));
    };
    for (PictureBox* image : categoryImages)
        add(image);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ShockwaveFlash1, List1, Image17, Image20, Image15, Image16, HScroll1, Option1, Option2,
             Combo1, Label2, Label3, Label4, Label1, Command6, WebBrowser1, List2, List3})
        add(w);
    m_layoutWindow->add(std::make_unique<PlacelessLayoutControl>(Timer1->objectName()));
}

void Form1::connectHandlers() {
    m_tickWindow = std::make_unique<TickWindow>(*this);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);

    // A selection by click, keyboard or code starts the row's program; a
    // click on the row already selected starts it again (see eventFilter).
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        if (selectedRow() >= 0)
            List1_Click();
    });
    List1->viewport()->installEventFilter(this);

    // Only dragging the thumb seeks; arrows and track just move it.
    connect(HScroll1, &QScrollBar::sliderMoved, this, &Form1::HScroll1_Scroll);
    connect(m_services.browser, &InfoBrowser::navigateError, this,
            &Form1::WebBrowser1_NavigateError);

    connect(Label1, &LinkLabel::clicked, this, &Form1::Label1_Click);
    connect(Label2, &LinkLabel::clicked, this, &Form1::Label2_Click);
    connect(Label3, &LinkLabel::clicked, this, &Form1::Label3_Click);
    connect(Label4, &LinkLabel::clicked, this, &Form1::Label4_Click);
    // A group chosen from the list or with the keys.
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });

    connect(Image15, &PictureBox::clicked, this, &Form1::Image15_Click);
    connect(Image16, &PictureBox::clicked, this, &Form1::Image16_Click);
    connect(Image17, &PictureBox::clicked, this, &Form1::Image17_Click);
    connect(Image20, &PictureBox::clicked, this, &Form1::Image20_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    // The pressed button shows a thin border until the mouse is released.
    for (PictureBox* button : {Image15, Image16, Image20}) {
        connect(button, &PictureBox::pressed, button, [button] { button->setBorderStyle(1); });
        connect(button, &PictureBox::released, button, [button] { button->setBorderStyle(0); });
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                List1_MouseDown(mouse->button(), mouse->position().toPoint());
                return true;
            }
            m_rowAtPress = selectedRow();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                List1_MouseUp(mouse->button(), mouse->globalPosition().toPoint());
                return true;
            }
            const QListWidgetItem* item = List1->itemAt(mouse->position().toPoint());
            // A new row was handled by the selection change already.
            if (mouse->button() == Qt::LeftButton && item && List1->row(item) == m_rowAtPress &&
                selectedRow() == m_rowAtPress)
                List1_Click();
            m_rowAtPress = -1;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::setLabelHighlight(LinkLabel* label, bool highlighted) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               highlighted ? kRed : QApplication::palette().color(QPalette::ButtonText));
    label->setPalette(p);
}

// ---- start-up and shutdown ----

void Form1::Form_Load() {
    m_cacheFolder = m_settings.app.cacheFolder();
    m_loaded = true;
    Form_Resize();
    ReadServerFolder();
    m_services.player->setMovie(FlashPlayer::kNoProgram);
    Image20->setPicture(QStringLiteral("jingyin1"));
    m_services.browser->setSilent(true);
    SelectFirstCategory();
    CheckTempFolder();
    ScanCustomGroups();
}

void Form1::ReadServerFolder() {
    if (const auto folder = ServerAddress::readServerFolder(m_settings.app))
        m_serverFolder = *folder;
}

void Form1::CheckTempFolder() {
    if (StartupChecks::runsFromTemp(m_settings.app.root()))
        m_services.notifier->message(kTempWarning);
}

void Form1::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    const QString datePath = m_settings.app.path(StartupChecks::kDateFile);
    const QDate today = m_services.today ? m_services.today() : QDate::currentDate();
    if (StartupChecks::dailyPageDue(TextFile::readFirstField(datePath), today))
        m_services.urlOpener->open(m_settings.webBase + QStringLiteral("a.htm"));
    // The program ends whether or not the date could be written.
    TextFile::rewrite(datePath, {StartupChecks::dateText(today)});
    if (m_services.endProcess)
        m_services.endProcess();
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

// ---- layout ----

void Form1::Form_Resize() {
    m_module1.proportionalPass(*m_layoutWindow);
    // The player buttons keep 27 x 27 pixels, the strip and the bar their
    // height, at any window size; their places still scale.
    for (PictureBox* button : {Image15, Image16, Image17, Image20})
        setSizeTwips(button, 405, 405);
    setHeightTwips(WebBrowser1, 285);
    setHeightTwips(HScroll1, 75);
    setSizeTwips(Command6, 704, 405);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Loading runs the first pass itself, so that the design geometry is
    // what gets recorded.
    if (m_loaded)
        Form_Resize();
    // In full screen the player takes the whole window, over the rest.
    if (m_fullScreen)
        fitPlayerToWindow();
}

// ---- link labels ----

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Moves over child controls that do not track the mouse reach the window
    // too; only the window's own surface resets the links.
    if (!childAt(event->position().toPoint()))
        Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void Form1::Form_MouseMove() {
    for (LinkLabel* label : {Label1, Label2, Label3, Label4})
        setLabelHighlight(label, false);
}

void Form1::Label1_MouseMove() {
    setLabelHighlight(Label1, true);
}

void Form1::Label2_MouseMove() {
    setLabelHighlight(Label2, true);
}

void Form1::Label3_MouseMove() {
    setLabelHighlight(Label3, true);
}

void Form1::Label4_MouseMove() {
    setLabelHighlight(Label4, true);
}

// ---- categories ----

void Form1::Image_Click(int n) {
    const Category& category = CategoryTable::byNumber(n);
    const QString key = QString::fromUtf16(category.listKey);
    if (m_currentListKey == key)
        return;
    if (List2->count() > 0) {
        m_services.notifier->notice(kDownloading);
        return;
    }
    m_currentListKey = key;
    LoadList(category.listFile());
    navigateInfo(m_settings.webBase + category.infoPage());
    ResetCategoryPictures();
    Image(n)->setPicture(QString::number(category.selectedBitmap()));
    PlayCategoryVoice(category.voiceClip());
    setPlayModeButtons(category.playModes);
    Combo1->setEditText(QStringLiteral("自定义节目"));
}

void Form1::setPlayModeButtons(bool enabled) {
    for (QRadioButton* option : {Option1, Option2}) {
        option->setChecked(false);
        option->setEnabled(enabled);
    }
}

void Form1::SelectFirstCategory() {
    const Category& first = CategoryTable::byNumber(1);
    m_currentListKey = QString::fromUtf16(first.listKey);
    LoadList(first.listFile());
    navigateInfo(m_settings.webBase + first.infoPage());
    ResetCategoryPictures();
    Image(1)->setPicture(QString::number(first.selectedBitmap()));
}

void Form1::ResetCategoryPictures() {
    for (const Category& c : CategoryTable::all())
        Image(c.number)->setPicture(QString::number(c.normalBitmap()));
}

void Form1::PlayCategoryVoice(const QString& clip) {
    m_services.voice->play(clip);
}

// ---- lists ----

void Form1::LoadList(const QString& relativePath) {
    const ListLoader::Result result =
        ListLoader::load(m_settings.app.path(relativePath), m_cacheFolder);
    List1->clear();
    if (!result.ok) {
        m_services.notifier->message(
            QStringLiteral("无法读取节目列表文件 %1：%2").arg(relativePath, result.error));
        return;
    }
    List1->addItems(result.rows);
    List1->setCurrentRow(-1);
}

int Form1::selectedRow() const {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    return selected.isEmpty() ? -1 : List1->row(selected.first());
}

void Form1::selectRow(int row) {
    if (row >= 0 && row == selectedRow()) {
        List1_Click();
        return;
    }
    List1->setCurrentRow(row);
}

// ---- choosing and playing ----

void Form1::List1_Click() {
    const int row = selectedRow();
    if (row < 0)
        return;
    // A row that is queued or downloading starts when its download ends.
    for (int i = 0; i < List2->count(); ++i)
        if (List2->item(i)->data(Qt::UserRole).toInt() == row)
            return;

    const QString text = List1->item(row)->text();
    FlashPlayer& player = *m_services.player;
    if (m_currentListKey == ListKey::custom) {
        player.setMovie(FlashPlayer::kNoProgram);
        // Both parts come from the user (the edit text can be typed), so
        // neither may lead out of the custom-programs folder.
        const QString group = Combo1->currentText();
        if (!ProgramName::isSafe(group) || !ProgramName::isSafe(text))
            return;
        const QString path =
            CustomPrograms::programFile(m_settings.app.path(kCustomFolder + u'/' + group), text);
        if (!path.isEmpty())
            startProgram(path, false);
        return;
    }

    const auto path = ProgramName::swfPath(m_cacheFolder, ProgramName::fromRow(text));
    if (path && QFileInfo(*path).isFile()) {
        player.setMovie(FlashPlayer::kNoProgram);
        startProgram(*path, true);
        AddToHistory();
        return;
    }
    QueueDownload();
}

void Form1::startProgram(const QString& path, bool play) {
    FlashPlayer& player = *m_services.player;
    player.setMovie(path);
    if (play)
        player.play();
    HScroll1->setMaximum(PositionBar::maximumFor(player.totalFrames()));
}

void Form1::AddToHistory() {
    if (m_currentListKey == ListKey::favourites || m_currentListKey == ListKey::custom ||
        m_currentListKey == ListKey::history)
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    History::record(m_settings.app.path(History::kFile),
                    ProgramName::fromRow(List1->item(row)->text()));
}

void Form1::QueueDownload() {
    const int row = selectedRow();
    if (row < 0)
        return;
    auto* item = new QListWidgetItem(List1->item(row)->text());
    item->setData(Qt::UserRole, row);
    List2->addItem(item);
    List1->item(row)->setText(DownloadTexts::queued);
    // An earlier click's download takes this one in turn.
    if (List2->count() > 1)
        return;
    downloadHeadOfQueue();
}

QString DownloadTexts::progress(int percent) {
    return QStringLiteral("正在下载 %1%").arg(percent);
}

void Form1::downloadHeadOfQueue() {
    const QListWidgetItem* head = List2->item(0);
    DownloadProgram(head->data(Qt::UserRole).toInt(), head->text());
}

void Form1::setRowText(int row, const QString& text) {
    if (QListWidgetItem* item = List1->item(row))
        item->setText(text);
}

void Form1::DownloadProgram(int row, const QString& rowText) {
    auto* download =
        new ProgramDownload(m_services.network, m_settings.downloadBase, m_serverFolder,
                            m_cacheFolder, ProgramName::fromRow(rowText), this);
    download->setRequestLimit(m_services.requestLimitMs);
    connect(download, &ProgramDownload::starting, this,
            [this, row] { setRowText(row, DownloadTexts::starting); });
    connect(download, &ProgramDownload::contentRangeMissing, this,
            [this] { m_services.notifier->notice(QStringLiteral("无法获取文件大小！")); });
    connect(download, &ProgramDownload::progress, this,
            [this, row](int percent) { setRowText(row, DownloadTexts::progress(percent)); });
    connect(download, &ProgramDownload::finished, this,
            [this, download, row, rowText](ProgramDownload::Result result) {
                download->deleteLater();
                onProgramDownloaded(row, rowText, result);
            });
    download->start();
}

void Form1::onProgramDownloaded(int row, const QString& rowText, ProgramDownload::Result result) {
    using Result = ProgramDownload::Result;
    if (result == Result::Complete) {
        // Only the mark turns present; a "*" inside the name is the name's.
        QString present = rowText;
        if (present.startsWith(u'*'))
            present[0] = u' ';
        setRowText(row, present);
        // Still at the head of the queue, so the click this raises is ignored.
        List1->setCurrentRow(row);
        m_services.player->setMovie(FlashPlayer::kNoProgram);
        startProgram(m_cacheFolder + ProgramName::fromRow(rowText) + QStringLiteral(".swf"), true);
        AddToHistory();
        endHeadOfQueue();
        return;
    }

    setRowText(row, rowText);
    Notifier& notifier = *m_services.notifier;
    switch (result) {
    case Result::Refused:
        notifier.notice(QStringLiteral("连接数过多"));
        break;
    case Result::NotFound:
        notifier.notice(QStringLiteral("文件无法找到"));
        // The server may have moved its programs; the next click uses the
        // folder it names now. The queue waits for the new name.
        RefreshServerAddress();
        return;
    case Result::TimedOut:
        notifier.notice(QStringLiteral("下载文件超时"));
        break;
    case Result::ServerError:
        // Only the last of several failing downloads says so.
        if (List2->count() == 1)
            notifier.notice(QStringLiteral("网络繁忙或不畅,请再试"));
        break;
    case Result::NoRangeSupport:
        notifier.notice(QStringLiteral("不支持断点续传"));
        break;
    case Result::UnsafeName:
        notifier.notice(
            QStringLiteral("节目名称无效，无法下载：%1").arg(ProgramName::fromRow(rowText)));
        break;
    case Result::Failed:
    case Result::Complete:
        break;
    }
    endHeadOfQueue();
}

void Form1::RefreshServerAddress() {
    auto* refresh = new FileDownload(
        m_services.network, QUrl(m_settings.downloadBase + QStringLiteral("cons/guihu.txt")),
        m_settings.app.path(QStringLiteral("cons/guihu2.inb")),
        m_settings.app.path(ServerAddress::kFile), this);
    refresh->setRequestLimit(m_services.requestLimitMs);
    connect(refresh, &FileDownload::finished, this, [this, refresh] {
        refresh->deleteLater();
        ReadServerFolder();
        endHeadOfQueue();
    });
    refresh->start();
}

void Form1::endHeadOfQueue() {
    delete List2->takeItem(0);
    if (List2->count() > 0)
        downloadHeadOfQueue();
}

void Form1::Timer1_Timer() {
    m_tick.tick(*m_tickWindow);
}

void Form1::HScroll1_Scroll() {
    // While dragging, the thumb's position leads the bar's value.
    m_services.player->gotoFrame(HScroll1->sliderPosition());
    m_services.player->play();
}

void Form1::WebBrowser1_NavigateError() {
    // The offline page ships with the program; should even it fail, trying
    // it again would only fail again, for ever.
    if (m_showingOfflinePage)
        return;
    navigateInfo(m_settings.app.path(kOfflinePage));
}

void Form1::navigateInfo(const QString& url) {
    m_showingOfflinePage = url == m_settings.app.path(kOfflinePage);
    m_services.browser->navigate(url);
}

PlayMode Form1::playMode() const {
    if (Option1->isChecked())
        return PlayMode::PlayAll;
    if (Option2->isChecked())
        return PlayMode::RepeatOne;
    return PlayMode::None;
}

void Form1::setPlayMode(PlayMode mode) {
    Option1->setChecked(mode == PlayMode::PlayAll);
    Option2->setChecked(mode == PlayMode::RepeatOne);
}

// ---- player buttons ----

void Form1::Image15_Click() {
    m_services.player->play();
}

void Form1::Image16_Click() {
    // A mode left on would resume the program on the next tick.
    setPlayMode(PlayMode::None);
    m_services.player->stopPlay();
}

void Form1::Image20_Click() {
    m_muted = !m_muted;
    m_services.player->setMuted(m_muted);
    m_services.voice->setMuted(m_muted);
    Image20->setPicture(m_muted ? QStringLiteral("jingyin2") : QStringLiteral("jingyin1"));
}

void Form1::setListViewsVisible(bool visible) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{List1, WebBrowser1, HScroll1, Combo1, Option1, Option2})
        w->setVisible(visible);
}

void Form1::Image17_Click() {
    if (m_fullScreen)
        return;
    const PlayMode mode = playMode();
    m_fullScreen = true;
    // The player lies over every control but the way back, so that nothing
    // else can be seen or clicked; its place in the pile is kept for later.
    m_aboveThePlayer = nullptr;
    const QObjectList& pile = children();
    for (qsizetype i = pile.indexOf(ShockwaveFlash1) + 1; i < pile.size() && !m_aboveThePlayer; ++i)
        if (auto* w = qobject_cast<QWidget*>(pile.at(i)); w && !w->isWindow())
            m_aboveThePlayer = w;
    ShockwaveFlash1->raise();
    showFullScreen();
    fitPlayerToWindow();
    setListViewsVisible(false);
    setPlayMode(mode);
    Command6->show();
    Command6->raise();
    Command6->setFocus();
}

void Form1::Command6_Click() {
    m_fullScreen = false;
    if (m_aboveThePlayer)
        ShockwaveFlash1->stackUnder(m_aboveThePlayer);
    showMaximized();
    setListViewsVisible(true);
    Command6->hide();
    // The resize to come lays the window out again; this covers a window
    // manager that keeps the size.
    Form_Resize();
}

void Form1::fitPlayerToWindow() {
    ShockwaveFlash1->setGeometry(rect());
    Command6->raise();
}

// ---- favourites, history and custom programs ----

bool Form1::refuseWhileDownloading() {
    if (List2->count() == 0)
        return false;
    m_services.notifier->notice(kDownloading);
    return true;
}

void Form1::Label2_Click() {
    showUserList(ListKey::favourites, kFavouritesFile);
}

void Form1::Label3_Click() {
    showUserList(ListKey::history, kHistoryFile);
}

void Form1::showUserList(const QString& key, const QString& file) {
    if (m_currentListKey == key)
        return;
    if (refuseWhileDownloading())
        return;
    m_currentListKey = key;
    LoadList(file);
    setPlayMode(PlayMode::None);
    navigateInfo(m_settings.webBase + kUserListPage);
    ResetCategoryPictures();
    Combo1->setEditText(kCustomFolder);
}

void Form1::List1_MouseDown(Qt::MouseButton button, const QPoint& position) {
    if (button != Qt::RightButton)
        return;
    // The right button chooses the row under the pointer exactly as a left
    // click would, playing or queueing it, before its menu opens.
    const QListWidgetItem* item = List1->itemAt(position);
    if (!item)
        return;
    selectRow(List1->row(item));
}

void Form1::List1_MouseUp(Qt::MouseButton button, const QPoint& globalPosition) {
    if (button != Qt::RightButton)
        return;
    QMenu* menu = file1;
    if (m_currentListKey == ListKey::favourites)
        menu = file2;
    else if (m_currentListKey == ListKey::history)
        menu = file3;
    menu->popup(globalPosition);
}

void Form1::file1_3_Click() {
    Notifier& notifier = *m_services.notifier;
    if (m_currentListKey == ListKey::custom) {
        notifier.message(QStringLiteral("此类不能加入！"));
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        notifier.message(QStringLiteral("请先选择节目"));
        return;
    }
    const QString text = List1->item(row)->text();
    if (!text.startsWith(QStringLiteral("  "))) {
        notifier.message(QStringLiteral("请下载完成后再加入“收藏”！"));
        return;
    }
    QString error;
    if (!TextFile::append(m_settings.app.path(kFavouritesFile), ProgramName::fromRow(text),
                          &error)) {
        notifier.message(QStringLiteral("无法写入收藏列表：%1").arg(error));
        return;
    }
    notifier.message(text + QStringLiteral(" 成功加入到收藏"));
}

void Form1::file2_3_Click() {
    deleteUserListRow(kFavouritesFile);
}

void Form1::file3_3_Click() {
    deleteUserListRow(kHistoryFile);
}

void Form1::deleteUserListRow(const QString& file) {
    const int row = selectedRow();
    if (row < 0)
        return;
    // While a download runs, rows carry status texts and the queue points
    // at rows by their place; neither may change under it.
    if (refuseWhileDownloading())
        return;
    QStringList names;
    for (int i = 0; i < List1->count(); ++i)
        if (i != row)
            names.append(ProgramName::fromRow(List1->item(i)->text()));
    QString error;
    if (!TextFile::rewrite(m_settings.app.path(file), names, &error)) {
        m_services.notifier->message(QStringLiteral("无法写入列表文件 %1：%2").arg(file, error));
        return;
    }
    // Removing the row must not choose (and play) its neighbour: afterwards
    // nothing is selected.
    const QSignalBlocker quiet(List1);
    delete List1->takeItem(row);
    List1->clearSelection();
    List1->setCurrentRow(-1);
}

void Form1::file2_4_Click() {
    clearUserList(kFavouritesFile, QStringLiteral("确实要清空收藏列表吗？"));
}

void Form1::file3_4_Click() {
    clearUserList(kHistoryFile, QStringLiteral("确实要清空历史记录吗？"));
}

void Form1::clearUserList(const QString& file, const QString& question) {
    if (refuseWhileDownloading())
        return;
    if (!m_services.notifier->confirm(question))
        return;
    QString error;
    if (!TextFile::truncate(m_settings.app.path(file), &error)) {
        m_services.notifier->message(QStringLiteral("无法写入列表文件 %1：%2").arg(file, error));
        return;
    }
    List1->clear();
}

void Form1::ScanCustomGroups() {
    Combo1->addItems(CustomPrograms::groups(m_settings.app.path(kCustomFolder)));
    Combo1->setEditText(kCustomFolder);
}

bool Form1::Combo1_DropDown() {
    if (m_currentListKey == ListKey::custom)
        return true;
    if (List2->count() == 0)
        return true;
    Combo1->setEditText(kCustomFolder);
    m_services.notifier->notice(kDownloading);
    List1->setFocus();
    return false;
}

void Form1::Combo1_Click() {
    // Chosen with the keys, the list never opened: the same refusal.
    if (!Combo1_DropDown())
        return;
    m_currentListKey = ListKey::custom;
    setPlayMode(PlayMode::None);
    navigateInfo(m_settings.webBase + kUserListPage);
    ResetCategoryPictures();
    const QString group = Combo1->currentText();
    List1->clear();
    if (ProgramName::isSafe(group))
        List1->addItems(
            CustomPrograms::programs(m_settings.app.path(kCustomFolder + u'/' + group)));
    if (List1->count() == 0)
        m_services.notifier->message(QStringLiteral("您可以把喜欢的swf格式flash放在") + u'"' +
                                     QStringLiteral("Kibu播放器\\自定义节目") + u'"' +
                                     QStringLiteral("各分类文件夹下,请参照使用帮助"));
    List1->setFocus();
}

void Form1::Label4_Click() {
    Dialog dialog(m_settings.app, *m_services.notifier, this);
    dialog.exec();
}

void Form1::Label1_Click() {
    const QString desktop = m_services.desktopFolder ? m_services.desktopFolder() : QString();
    if (desktop.isEmpty())
        return;
    if (m_settings.app.root().contains(QStringLiteral("Temp"))) {
        m_services.notifier->message(QStringLiteral("请先解压缩再使用，不要直接运行压缩包！"));
        return;
    }
    if (DesktopShortcut::write(desktop, m_settings.app.root()))
        m_services.notifier->message(QStringLiteral("已经成功在桌面上创建了快捷方式！"));
}
