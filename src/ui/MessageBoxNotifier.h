#pragma once

#include "Notifier.h"

class QWidget;

class MessageBoxNotifier : public Notifier {
public:
    static inline const QString kAppTitle = QStringLiteral("Kibu播放器");

    explicit MessageBoxNotifier(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    void notice(const QString& text) override;
    void message(const QString& text) override;
    bool confirm(const QString& text) override;

private:
    QWidget* m_parent;
};
