#pragma once

#include <QDialog>

class QLineEdit;

// Asks the parents' question; the typed answer once confirmed.
class ParentsGateDialog : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("家长确认");
    ParentsGateDialog(const QString& question, QWidget* parent = nullptr);
    QString typed() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_answer;
};
