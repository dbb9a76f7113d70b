#pragma once

#include "FlashPlayer.h"

#include <QPointer>

#include <QLabel>

// Stands in the player area until the real engine is wired in: it keeps the
// movie that was set and plays nothing.
class PlaceholderFlashPlayer : public FlashPlayer {
public:
    PlaceholderFlashPlayer();
    ~PlaceholderFlashPlayer() override;

    QString movie() const override { return m_movie; }
    void setMovie(const QString& movie) override;
    void play() override {}
    void stopPlay() override {}
    void gotoFrame(int) override {}
    int frameNum() const override { return 0; }
    int totalFrames() const override { return 0; }
    bool playing() const override { return false; }
    void setMuted(bool) override {}
    QWidget* widget() override;

private:
    QString m_movie;
    QPointer<QLabel> m_label;
};
