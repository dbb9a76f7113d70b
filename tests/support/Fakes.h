#pragma once

#include "flash/FlashPlayer.h"
#include "shell/DesktopServices.h"
#include "shell/InfoBrowser.h"
#include "shell/VoicePlayer.h"
#include "ui/Notifier.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// Stand-ins for the window's outside world; each records what was asked of it.

class FakeFlashPlayer : public FlashPlayer {
public:
    FakeFlashPlayer();
    ~FakeFlashPlayer() override;

    QString movie() const override { return m_movie; }
    void setMovie(const QString& movie) override;
    void play() override;
    void stopPlay() override;
    void gotoFrame(int frame) override;
    int frameNum() const override { return frame; }
    int totalFrames() const override { return total; }
    bool playing() const override { return isPlaying; }
    bool hasExactFrames() const override { return exactFrames; }
    void setMuted(bool muted) override { this->muted = muted; }
    QWidget* widget() override { return m_widget; }

    QStringList movies; // every Movie written, in order
    QStringList calls;  // "play", "stop", "goto N"
    // As the engine: a program starts at frame 0 with programFrames frames;
    // unloaded, its frames are forgotten.
    int programFrames = 0;
    int frame = 0;
    int total = 0;
    // As the engine: false for an ActionScript 3 program that cannot take
    // the host's class (read from its file).
    bool exactFrames = false;
    bool isPlaying = false;
    bool muted = false;

private:
    QString m_movie;
    QPointer<QWidget> m_widget;
};

class FakeInfoBrowser : public InfoBrowser {
    Q_OBJECT
public:
    FakeInfoBrowser();
    ~FakeInfoBrowser() override;

    void navigate(const QString& url) override { urls.append(url); }
    void setSilent(bool silent) override { this->silent = silent; }
    void showOnly(const QString&, const QString&) override {}
    QWidget* widget() override { return m_widget; }

    QStringList urls;
    bool silent = false;

private:
    QPointer<QWidget> m_widget;
};

class FakeVoicePlayer : public VoicePlayer {
public:
    void play(const QString& clip) override { clips.append(clip); }
    void setMuted(bool muted) override { this->muted = muted; }
    QStringList clips;
    bool muted = false;
};

class FakeNotifier : public Notifier {
public:
    void notice(const QString& text) override { notices.append(text); }
    void message(const QString& text) override { messages.append(text); }
    bool confirm(const QString& text) override {
        questions.append(text);
        return answer;
    }
    QStringList notices;
    QStringList messages;
    QStringList questions;
    bool answer = false; // what confirm() answers
};

class FakeUrlOpener : public UrlOpener {
public:
    void open(const QString& url) override { urls.append(url); }
    QStringList urls;
};
