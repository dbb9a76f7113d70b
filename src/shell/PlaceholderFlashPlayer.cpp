#include "PlaceholderFlashPlayer.h"

#include <QLabel>

PlaceholderFlashPlayer::PlaceholderFlashPlayer() : m_label(new QLabel) {
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setAutoFillBackground(true);
    QPalette p = m_label->palette();
    p.setColor(QPalette::Window, Qt::white);
    m_label->setPalette(p);
}

PlaceholderFlashPlayer::~PlaceholderFlashPlayer() {
    // The window owns the widget once it has been placed.
    if (m_label && !m_label->parent())
        delete m_label;
}

void PlaceholderFlashPlayer::setMovie(const QString& movie) {
    m_movie = movie;
}

QWidget* PlaceholderFlashPlayer::widget() {
    return m_label;
}
