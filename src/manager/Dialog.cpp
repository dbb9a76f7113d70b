#include "Dialog.h"

#include "catalogue/CategoryTable.h"
#include "catalogue/TextFile.h"
#include "ui/Notifier.h"
#include "ui/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>

namespace {

const QColor kPink(255, 192, 255);

const QString kCaption = QStringLiteral("设置");
const QString kDeleteQuestion = QStringLiteral("确实要删除这个节目吗？");

// Inner size the dialog is designed for, in twips.
constexpr int kInnerWidth = 5625;
constexpr int kInnerHeight = 9405;

QPushButton* button(QWidget* parent, const QString& name, const QString& caption,
                    const TwipsRect& d) {
    auto* b = placedTwips(new QPushButton(caption, parent), name, d);
    // No button answers Enter: it would load a category over unsaved edits
    // or save without being asked to.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// Paints one colour role pink. Only the role a widget fills with is set,
// since children inherit it: a Button role on the frame would colour the
// category buttons too.
void setPink(QWidget* w, QPalette::ColorRole role) {
    QPalette p = w->palette();
    p.setColor(role, kPink);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

Dialog::Dialog(const AppFolder& app, Notifier& notifier, QWidget* parent)
    : QDialog(parent), m_app(app), m_notifier(notifier) {
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(kCaption);
    setFixedSize(pixelsFromTwips(kInnerWidth), pixelsFromTwips(kInnerHeight));
    setModal(true);
    createControls();
    applyAppearance();
    connectHandlers();
}

void Dialog::createControls() {
    Frame1 = placedTwips(new QGroupBox(QStringLiteral("节目顺序调整"), this),
                         QStringLiteral("Frame1"), {60, 120, 5535, 8655});
    Label2 = placedTwips(
        new QLabel(QStringLiteral("把喜欢的节目向上移，不喜欢的向下移！不需要的删除"), Frame1),
        QStringLiteral("Label2"), {400, 360, 4800, 255});
    Label3 = placedTwips(
        new QLabel(QStringLiteral("先点击分类再点击节目名，然后点击上移、下移、删除"), Frame1),
        QStringLiteral("Label3"), {400, 720, 4335, 255});

    for (int n = 1; n <= CategoryTable::kCount; ++n) {
        categoryButtons[static_cast<size_t>(n - 1)] =
            button(Frame1, QStringLiteral("Command%1").arg(n),
                   QString::fromUtf16(CategoryTable::byNumber(n).label),
                   {240, 1320 + 240 * (n - 1), 1215, 255});
    }

    List1 = placedTwips(new QListWidget(Frame1), QStringLiteral("List1"), {1800, 1080, 3495, 7440});
    List1->setSelectionMode(QAbstractItemView::SingleSelection);

    // These overlap the lower category buttons; created later, they stay on top.
    Command18 = button(Frame1, QStringLiteral("Command18"), QStringLiteral("向上移动"),
                       {240, 5880, 1215, 375});
    Command19 = button(Frame1, QStringLiteral("Command19"), QStringLiteral("向下移动"),
                       {240, 6480, 1215, 375});
    Command20 = button(Frame1, QStringLiteral("Command20"), QStringLiteral("删除节目"),
                       {240, 7440, 1215, 375});

    OKButton = button(this, QStringLiteral("OKButton"), QStringLiteral("保存修改"),
                      {1500, 8880, 900, 375});
    CancelButton = button(this, QStringLiteral("CancelButton"), QStringLiteral("取消"),
                          {3300, 8880, 900, 375});
    // Where no other control is: below the frame, left of "保存修改".
    ParentsButton = button(this, QStringLiteral("ParentsButton"), QStringLiteral("家长设置"),
                           {120, 8880, 1215, 375});
}

void Dialog::applyAppearance() {
    for (QWidget* w : std::initializer_list<QWidget*>{this, Frame1, Label2, Label3})
        setPink(w, QPalette::Window);
    setPink(List1, QPalette::Base);
    setPink(OKButton, QPalette::Button);
    setPink(CancelButton, QPalette::Button);
}

void Dialog::connectHandlers() {
    for (int n = 1; n <= CategoryTable::kCount; ++n)
        connect(Command(n), &QPushButton::clicked, this, [this, n] { Command_Click(n); });
    connect(Command18, &QPushButton::clicked, this, &Dialog::Command18_Click);
    connect(Command19, &QPushButton::clicked, this, &Dialog::Command19_Click);
    connect(Command20, &QPushButton::clicked, this, &Dialog::Command20_Click);
    connect(OKButton, &QPushButton::clicked, this, &Dialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &Dialog::CancelButton_Click);
    connect(ParentsButton, &QPushButton::clicked, this, &Dialog::parentsRequested);
}

QPushButton* Dialog::Command(int n) const {
    Q_ASSERT(n >= 1 && n <= CategoryTable::kCount);
    return categoryButtons[static_cast<size_t>(n - 1)];
}

void Dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Each opening starts afresh; a restore from minimised is not an opening.
    if (!event->spontaneous())
        Form_Load();
}

void Dialog::Form_Load() {
    m_loadedFileName = kNothingLoaded;
    List1->clear();
}

void Dialog::Command_Click(int n) {
    if (n < 1 || n > CategoryTable::kCount)
        return;
    const QString relative = CategoryTable::byNumber(n).listFile();
    // Read before clearing, so a file that cannot be read leaves the list
    // being edited, and the file it will be saved to, as they were.
    const TextFile::Lines read = TextFile::readLines(m_app.path(relative));
    if (!read.ok) {
        m_notifier.message(QStringLiteral("无法读取节目列表文件 %1：%2").arg(relative, read.error));
        return;
    }
    List1->clear();
    List1->addItems(read.lines);
    m_loadedFileName = relative.section(u'/', -1);
}

int Dialog::selectedRow() const {
    const QList<QListWidgetItem*> items = List1->selectedItems();
    return items.isEmpty() ? -1 : List1->row(items.first());
}

void Dialog::swapRows(int a, int b) {
    QListWidgetItem* first = List1->item(a);
    QListWidgetItem* second = List1->item(b);
    const QString text = first->text();
    first->setText(second->text());
    second->setText(text);
}

void Dialog::Command18_Click() {
    const int i = selectedRow();
    if (i - 1 < 0)
        return;
    swapRows(i, i - 1);
    // The moved row stays selected, so further clicks keep moving it.
    List1->setCurrentRow(i - 1);
}

void Dialog::Command19_Click() {
    const int i = selectedRow();
    if (i < 0 || i + 1 >= List1->count())
        return;
    swapRows(i, i + 1);
    List1->setCurrentRow(i + 1);
}

void Dialog::Command20_Click() {
    const int i = selectedRow();
    if (i < 0)
        return;
    if (!m_notifier.confirm(kDeleteQuestion))
        return;
    delete List1->takeItem(i);
    // Nothing stays selected: a second click must not remove a neighbour.
    List1->clearSelection();
    List1->setCurrentRow(-1);
}

void Dialog::OKButton_Click() {
    if (m_loadedFileName != kNothingLoaded) {
        const QString relative = QStringLiteral("cons/") + m_loadedFileName;
        QStringList rows;
        rows.reserve(List1->count());
        for (int i = 0; i < List1->count(); ++i)
            rows.append(List1->item(i)->text());
        QString error;
        if (!TextFile::rewrite(m_app.path(relative), rows, &error)) {
            // Stay open so that the edits are not lost with the failure.
            m_notifier.message(QStringLiteral("无法保存节目列表文件 %1：%2").arg(relative, error));
            return;
        }
    }
    accept();
}

void Dialog::CancelButton_Click() {
    reject();
}
