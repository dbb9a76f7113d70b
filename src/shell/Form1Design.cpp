// The window's design: its controls at their design places, their looks and
// the links' hover, its menus, the proportional layout, and the wiring of
// events to handlers and of the subsystems to the controls.

#include "Form1.h"

#include "catalogue/CategoryTable.h"
#include "flash/FlashPlayer.h"
#include "net/DownloadQueue.h"
#include "parentsui/ParentsControls.h"
#include "player/PlayModeButtons.h"
#include "player/PlayerControls.h"
#include "shell/Controls.h"
#include "shell/InfoBrowser.h"
#include "shell/WidgetLayout.h"
#include "ui/Notifier.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

namespace {

// Colours of the window, given as red, green, blue.
const QColor kPink(255, 192, 255);
const QColor kRed(255, 0, 0);

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

// The window as the half-second tick sees it.
class Form1::TickWindow : public PlaybackTick::Window {
public:
    explicit TickWindow(Form1& form) : m_form(form) {}
    FlashPlayer& player() override { return *m_form.m_services.player; }
    void showFrame(int frame) override {
        // While the user holds the thumb, the thumb is the user's.
        QScrollBar* bar = m_form.HScroll1;
        if (bar->isSliderDown())
            return;
        // A program that loaded another movie in its place has that
        // movie's frames.
        const int maximum = PositionBar::maximumFor(player().totalFrames());
        if (maximum > 0 && maximum != bar->maximum())
            bar->setMaximum(maximum);
        bar->setValue(PositionBar::valueFor(frame, bar->maximum()));
    }
    // During a rest no play mode starts anything.
    PlayMode playMode() const override {
        return m_form.m_parents->resting() ? PlayMode::None : m_form.playMode();
    }
    int selectedRow() const override { return m_form.selectedRow(); }
    int rowCount() const override { return m_form.List1->count(); }
    void selectRow(int row) override {
        // A row play all moves to starts from its beginning.
        m_form.m_advancing = true;
        m_form.selectRow(row);
        m_form.m_advancing = false;
    }
    void checkForUpdate() override {
        if (m_form.m_services.checkForUpdate)
            m_form.m_services.checkForUpdate();
    }

private:
    Form1& m_form;
};

// Every 500 ms, from the window's creation until it closes.
void Form1::Timer1_Timer() {
    m_tick.tick(*m_tickWindow);
    m_parents->tick();
}

Form1::Form1(AppSettings settings, Form1Services services, QWidget* parent)
    : QWidget(parent), m_settings(std::move(settings)), m_services(std::move(services)),
      m_userLists(m_settings.app) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    resize(pixelsFromTwips(kDesignInnerWidth), pixelsFromTwips(kDesignInnerHeight));
    setMouseTracking(true);
    createControls();
    applyAppearance();
    buildLayoutWindow();

    m_modes = std::make_unique<PlayModeButtons>(Option1, Option2);
    m_controls = std::make_unique<PlayerControls>(
        *m_services.player, *m_modes,
        PlayerControls::Window{this,
                               ShockwaveFlash1,
                               Command6,
                               {List1, WebBrowser1, HScroll1, Combo1, Option1, Option2},
                               [this] { Form_Resize(); }});
    m_queue = new DownloadQueue({m_services.network, m_settings.downloadBase, m_settings.app,
                                 m_services.requestLimitMs, [this] { return m_serverFolder; }},
                                this);
    m_parents = new ParentsControls(
        {m_settings.app, this, ShockwaveFlash1, Command6, m_services.player, m_services.notifier,
         [this] { Image16_Click(); }, [this] { return isMinimized(); },
         [] { return QDateTime::currentMSecsSinceEpoch(); }, m_services.passGate,
         m_settings.minuteMs, m_settings.fixedGate},
        this);
    m_tickWindow = std::make_unique<TickWindow>(*this);
    connectHandlers();
    // The tick runs from the window's creation until it closes.
    Timer1->start();
}

Form1::~Form1() = default;

// ---- layout and the links' hover ----

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

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // After this paint has reached the screen.
        QTimer::singleShot(0, this, &Form1::shownOnScreen);
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Loading runs the first pass itself, so that the design geometry is
    // what gets recorded.
    if (m_loaded)
        Form_Resize();
    if (m_controls)
        m_controls->windowResized();
}

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
    file1_4 = entry(file1, "file1_4", QStringLiteral("取消下载"), &Form1::file1_4_Click);
    file1_5 = entry(file1, "file1_5", QStringLiteral("下载本类全部节目"), &Form1::file1_5_Click);
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
    connect(m_services.browser, &InfoBrowser::linkElsewhere, this,
            &Form1::WebBrowser1_LinkElsewhere);

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

    // List2 shows the download queue as it stands: one item per row queued,
    // the running one first.
    connect(m_queue, &DownloadQueue::added, List2, [this](int row, const QString& text) {
        auto* item = new QListWidgetItem(text);
        item->setData(Qt::UserRole, row);
        List2->addItem(item);
    });
    connect(m_queue, &DownloadQueue::removedAt, List2,
            [this](int position) { delete List2->takeItem(position); });
    connect(m_queue, &DownloadQueue::rowTextChanged, this, &Form1::setRowText);
    connect(m_queue, &DownloadQueue::notice, this,
            [this](const QString& text) { m_services.notifier->notice(text); });
    connect(m_queue, &DownloadQueue::completed, this, &Form1::onProgramDownloaded);
    connect(m_queue, &DownloadQueue::serverAddressRefreshed, this, &Form1::ReadServerFolder);
    // Parts of downloads nobody will go on with are cleared once the window
    // is up.
    connect(this, &Form1::shownOnScreen, this, &Form1::cleanUpPartialDownloads);
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
