#pragma once

#include <QComboBox>
#include <QLabel>
#include <functional>

// A picture control: shows one named bitmap resource and reports clicks and
// presses.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Shows the bitmap resource of this id ("101", "jingyin1", ...).
    void setPicture(const QString& id);
    QString picture() const { return m_picture; }
    // 0: no border; 1: a thin single border.
    void setBorderStyle(int style);
    int borderStyle() const { return m_borderStyle; }

signals:
    void clicked();
    void pressed();
    void released();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_picture;
    int m_borderStyle = 0;
};

// A text link at the bottom of the window: reports clicks and the mouse
// passing over it.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();
    void mouseMoved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// An editable combo box that asks before it opens its list. Its items are
// fixed: text typed into it never becomes an item, and neither Enter nor
// leaving the field chooses one; only the list and the arrow keys do.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownComboBox(QWidget* parent = nullptr);
    // Consulted before the list opens; false keeps it closed.
    std::function<bool()> beforeDropDown;
    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The path of a bitmap resource by its id.
QString bitmapResource(const QString& id);
