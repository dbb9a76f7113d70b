#include "ParentsWidgets.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The dialog's two buttons: one that confirms, "取消".
QDialogButtonBox* confirmOrCancel(QDialog* dialog, const QString& confirm) {
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(confirm, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

GateDialog::GateDialog(const QString& question, QWidget* parent)
    : QDialog(parent), m_answer(new QLineEdit(this)) {
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请家长回答：") + question, this));
    m_answer->setInputMethodHints(Qt::ImhDigitsOnly);
    layout->addWidget(m_answer);
    layout->addWidget(confirmOrCancel(this, QStringLiteral("确定")));
}

void GateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Over a full-screen window the question must take the keys at once.
    activateWindow();
    m_answer->setFocus();
}

QString GateDialog::typed() const {
    return m_answer->text();
}

ParentsDialog::ParentsDialog(const ParentsSettings& current, QWidget* parent)
    : QDialog(parent),
      m_lock(new QCheckBox(QStringLiteral("全屏时锁定：孩子不能自己退出全屏"), this)),
      m_rest(new QCheckBox(QStringLiteral("休息提醒"), this)), m_play(new QSpinBox(this)),
      m_restFor(new QSpinBox(this)),
      m_resume(new QCheckBox(QStringLiteral("长节目从上次看到的地方接着播放"), this)) {
    setWindowTitle(kTitle);
    m_play->setRange(ParentsSettings::kMinPlay, ParentsSettings::kMaxPlay);
    m_restFor->setRange(ParentsSettings::kMinRest, ParentsSettings::kMaxRest);
    m_lock->setChecked(current.childLock);
    m_rest->setChecked(current.restReminder);
    m_play->setValue(current.playMinutes);
    m_restFor->setValue(current.restMinutes);
    m_resume->setChecked(current.resumeLong);
    auto* form = new QFormLayout(this);
    form->addRow(m_lock);
    form->addRow(m_rest);
    form->addRow(QStringLiteral("每次播放（分钟）"), m_play);
    form->addRow(QStringLiteral("休息（分钟）"), m_restFor);
    form->addRow(m_resume);
    form->addRow(confirmOrCancel(this, QStringLiteral("保存")));
}

ParentsSettings ParentsDialog::chosen() const {
    ParentsSettings s;
    s.childLock = m_lock->isChecked();
    s.restReminder = m_rest->isChecked();
    s.playMinutes = m_play->value();
    s.restMinutes = m_restFor->value();
    s.resumeLong = m_resume->isChecked();
    return s;
}

RestPicture::RestPicture(QWidget* parent) : QWidget(parent), m_words(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(3);
    m_words->setAlignment(Qt::AlignCenter);
    QFont big = m_words->font();
    big.setPointSize(20);
    m_words->setFont(big);
    m_words->setStyleSheet(QStringLiteral("color: white"));
    layout->addWidget(m_words);
    auto* parents = new QPushButton(QStringLiteral("家长"), this);
    parents->setFocusPolicy(Qt::NoFocus);
    connect(parents, &QPushButton::clicked, this, &RestPicture::parentAsked);
    layout->addWidget(parents, 0, Qt::AlignRight);
}

void RestPicture::setLeft(qint64 ms) {
    const qint64 seconds = (ms + 999) / 1000;
    m_words->setText(QStringLiteral("休息一下，看看远处吧！\n还有 %1:%2")
                         .arg(seconds / 60)
                         .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void RestPicture::paintEvent(QPaintEvent*) {
    // A sleeping moon in a night sky: a picture a child reads at once.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), kSky);
    const int r = std::min(width(), height()) / 6;
    const QPoint c(width() / 2, height() / 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 120));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(120, 90, 20), std::max(2, r / 12)));
    for (int side : {-1, 1})
        p.drawArc(QRect(c.x() + side * r / 2 - r / 5, c.y() - r / 5, r * 2 / 5, r / 4), 180 * 16,
                  180 * 16);
    p.setPen(Qt::white);
    QFont z = font();
    z.setPointSize(std::max(10, r / 3));
    p.setFont(z);
    p.drawText(c + QPoint(r, -r), QStringLiteral("Z z z"));
}
