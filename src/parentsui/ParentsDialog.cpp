#include "parentsui/ParentsDialog.h"

#include "ui/DialogButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

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
