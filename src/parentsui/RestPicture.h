#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

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
