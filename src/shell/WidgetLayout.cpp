#include "WidgetLayout.h"

namespace {

std::optional<double> twips(int pixels) {
    return static_cast<double>(pixels) * kTwipsPerPixel;
}

} // namespace

WidgetLayoutControl::WidgetLayoutControl(QWidget* widget, QString name)
    : m_widget(widget), m_name(std::move(name)) {}

std::optional<double> WidgetLayoutControl::top() const {
    return m_widget ? twips(m_widget->y()) : std::nullopt;
}

std::optional<double> WidgetLayoutControl::left() const {
    return m_widget ? twips(m_widget->x()) : std::nullopt;
}

std::optional<double> WidgetLayoutControl::height() const {
    return m_widget ? twips(m_widget->height()) : std::nullopt;
}

std::optional<double> WidgetLayoutControl::width() const {
    return m_widget ? twips(m_widget->width()) : std::nullopt;
}

bool WidgetLayoutControl::move(int left, int top, int width, int height) {
    if (!m_widget)
        return false;
    m_widget->setGeometry(pixelsFromTwips(left), pixelsFromTwips(top), pixelExtentFromTwips(width),
                          pixelExtentFromTwips(height));
    return true;
}

bool WidgetLayoutControl::move(int left, int top, int width) {
    if (!m_widget)
        return false;
    m_widget->setGeometry(pixelsFromTwips(left), pixelsFromTwips(top), pixelExtentFromTwips(width),
                          m_widget->height());
    return true;
}

bool WidgetLayoutControl::move(int left, int top) {
    if (!m_widget)
        return false;
    m_widget->move(pixelsFromTwips(left), pixelsFromTwips(top));
    return true;
}

WidgetLayoutWindow::WidgetLayoutWindow(QWidget* window, QString name)
    : m_window(window), m_name(std::move(name)) {}

void WidgetLayoutWindow::add(std::unique_ptr<LayoutControl> control) {
    m_controls.push_back(std::move(control));
}

std::optional<double> WidgetLayoutWindow::top() const {
    return twips(m_window->frameGeometry().y());
}

std::optional<double> WidgetLayoutWindow::left() const {
    return twips(m_window->frameGeometry().x());
}

std::optional<double> WidgetLayoutWindow::height() const {
    return twips(m_window->frameGeometry().height());
}

std::optional<double> WidgetLayoutWindow::width() const {
    return twips(m_window->frameGeometry().width());
}

std::optional<double> WidgetLayoutWindow::innerHeight() const {
    return twips(m_window->height());
}

std::optional<double> WidgetLayoutWindow::innerWidth() const {
    return twips(m_window->width());
}

std::vector<LayoutControl*> WidgetLayoutWindow::controls() const {
    std::vector<LayoutControl*> result;
    result.reserve(m_controls.size());
    for (const auto& c : m_controls)
        result.push_back(c.get());
    return result;
}
