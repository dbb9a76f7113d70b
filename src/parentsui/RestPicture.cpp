#include "parentsui/RestPicture.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

RestPicture::RestPicture(QWidget* parent) : QWidget(parent), m_words(new QLabel(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(3);
    m_words->setAlignment(Qt::AlignCenter);
    QFont big = m_words->font();
    big.setPointSize(20);
    m_words->setFont(big);
    m_words->setStyleSheet(QStringLiteral("color: white"));
    layout->addWidget(m_words);
    auto* parents = new QPushButton(QStringLiteral("家长"), this);
    parents->setFocusPolicy(Qt::NoFocus);
    connect(parents, &QPushButton::clicked, this, &RestPicture::parentAsked);
    layout->addWidget(parents, 0, Qt::AlignRight);
}

void RestPicture::setLeft(qint64 ms) {
    const qint64 seconds = (ms + 999) / 1000;
    m_words->setText(QStringLiteral("休息一下，看看远处吧！\n还有 %1:%2")
                         .arg(seconds / 60)
                         .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void RestPicture::paintEvent(QPaintEvent*) {
    // A sleeping moon in a night sky: a picture a child reads at once.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), kSky);
    const int r = std::min(width(), height()) / 6;
    const QPoint c(width() / 2, height() / 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 120));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(120, 90, 20), std::max(2, r / 12)));
    for (int side : {-1, 1})
        p.drawArc(QRect(c.x() + side * r / 2 - r / 5, c.y() - r / 5, r * 2 / 5, r / 4), 180 * 16,
                  180 * 16);
    p.setPen(Qt::white);
    QFont z = font();
    z.setPointSize(std::max(10, r / 3));
    p.setFont(z);
    p.drawText(c + QPoint(r, -r), QStringLiteral("Z z z"));
}
