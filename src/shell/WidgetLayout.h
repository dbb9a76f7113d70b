#pragma once

#include "Layout.h"
#include "ui/Twips.h"

#include <QPointer>
#include <QWidget>
#include <memory>

// A child widget seen by the layout.
class WidgetLayoutControl : public LayoutControl {
public:
    WidgetLayoutControl(QWidget* widget, QString name);

    QString name() const override { return m_name; }
    std::optional<double> top() const override;
    std::optional<double> left() const override;
    std::optional<double> height() const override;
    std::optional<double> width() const override;
    bool move(int left, int top, int width, int height) override;
    bool move(int left, int top, int width) override;
    bool move(int left, int top) override;

private:
    QPointer<QWidget> m_widget;
    QString m_name;
};

// A control without a place on the window (a timer, a menu): recorded, never
// moved.
class PlacelessLayoutControl : public LayoutControl {
public:
    explicit PlacelessLayoutControl(QString name) : m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    std::optional<double> top() const override { return std::nullopt; }
    std::optional<double> left() const override { return std::nullopt; }
    std::optional<double> height() const override { return std::nullopt; }
    std::optional<double> width() const override { return std::nullopt; }
    bool move(int, int, int, int) override { return false; }
    bool move(int, int, int) override { return false; }
    bool move(int, int) override { return false; }

private:
    QString m_name;
};

// A top-level widget and its controls, in control order.
class WidgetLayoutWindow : public LayoutWindow {
public:
    WidgetLayoutWindow(QWidget* window, QString name);

    void add(std::unique_ptr<LayoutControl> control);

    QString name() const override { return m_name; }
    std::optional<double> top() const override;
    std::optional<double> left() const override;
    std::optional<double> height() const override;
    std::optional<double> width() const override;
    std::optional<double> innerHeight() const override;
    std::optional<double> innerWidth() const override;
    std::vector<LayoutControl*> controls() const override;

private:
    QWidget* m_window;
    QString m_name;
    std::vector<std::unique_ptr<LayoutControl>> m_controls;
};
