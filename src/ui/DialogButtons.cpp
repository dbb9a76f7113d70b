#include "DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>

QDialogButtonBox* confirmOrCancel(QDialog* dialog, const QString& confirm) {
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(confirm, QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
