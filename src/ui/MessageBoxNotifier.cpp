#include "MessageBoxNotifier.h"

#include <QMessageBox>

void MessageBoxNotifier::notice(const QString& text) {
    QMessageBox::information(m_parent, QStringLiteral("提示"), text);
}

void MessageBoxNotifier::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool MessageBoxNotifier::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
