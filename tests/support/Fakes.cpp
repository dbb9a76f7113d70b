#include "Fakes.h"

#include "swf/As3Host.h"
#include "swf/SwfInfo.h"

#include <QFile>

FakeFlashPlayer::FakeFlashPlayer() : m_widget(new QWidget) {}

FakeFlashPlayer::~FakeFlashPlayer() {
    if (m_widget && !m_widget->parent())
        delete m_widget;
}

void FakeFlashPlayer::setMovie(const QString& movie) {
    m_movie = movie;
    movies.append(movie);
    const bool program = movie != kNoProgram;
    frame = 0;
    total = program ? programFrames : 0;
    exactFrames = program;
    if (program && Swf::readInfo(movie).actionScript3) {
        QFile file(movie);
        exactFrames = file.open(QIODevice::ReadOnly) && As3Host::rewrite(file.readAll());
    }
}

void FakeFlashPlayer::play() {
    calls.append(QStringLiteral("play"));
    isPlaying = true;
}

void FakeFlashPlayer::stopPlay() {
    calls.append(QStringLiteral("stop"));
    isPlaying = false;
}

void FakeFlashPlayer::gotoFrame(int frame) {
    calls.append(QStringLiteral("goto %1").arg(frame));
    this->frame = frame;
}

FakeInfoBrowser::FakeInfoBrowser() : m_widget(new QWidget) {}

FakeInfoBrowser::~FakeInfoBrowser() {
    if (m_widget && !m_widget->parent())
        delete m_widget;
}
