#pragma once

#include "ParentsSettings.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// Asks the parents' question; the typed answer once confirmed.
class GateDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("家长确认");
    GateDialog(const QString& question, QWidget* parent = nullptr);
    QString typed() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_answer;
};

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

// Lies over the player during a rest: a picture, few words, the time left,
// and a small way out for a parent.
class RestPicture : public QWidget {
    Q_OBJECT
public:
    // Its colour, so that one can tell it on the screen.
    static inline const QColor kSky = QColor(40, 70, 140);
    explicit RestPicture(QWidget* parent = nullptr);
    void setLeft(qint64 ms);

signals:
    void parentAsked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_words;
};
