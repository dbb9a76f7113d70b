#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;

// A small dialog's two buttons: one that confirms (accepts the dialog) and
// "取消".
QDialogButtonBox* confirmOrCancel(QDialog* dialog, const QString& confirm);
