#pragma once

#include "parents/ParentsSettings.h"

#include <QDialog>

class QCheckBox;
class QSpinBox;

// "家长设置": what is turned on, and for how long a child plays and rests.
class ParentsDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("家长设置");
    ParentsDialog(const ParentsSettings& current, QWidget* parent = nullptr);
    ParentsSettings chosen() const;

private:
    QCheckBox* m_lock;
    QCheckBox* m_rest;
    QSpinBox* m_play;
    QSpinBox* m_restFor;
    QCheckBox* m_resume;
};
