#include "parentsui/ParentsGateDialog.h"

#include "ui/DialogButtons.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ParentsGateDialog::ParentsGateDialog(const QString& question, QWidget* parent)
    : QDialog(parent), m_answer(new QLineEdit(this)) {
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("请家长回答：") + question, this));
    m_answer->setInputMethodHints(Qt::ImhDigitsOnly);
    layout->addWidget(m_answer);
    layout->addWidget(confirmOrCancel(this, QStringLiteral("确定")));
}

void ParentsGateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Over a full-screen window the question must take the keys at once.
    activateWindow();
    m_answer->setFocus();
}

QString ParentsGateDialog::typed() const {
    return m_answer->text();
}
