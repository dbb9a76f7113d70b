// parents/: the parents' settings and gate, the child lock on full screen,
// the rest reminder and resuming long programs. Everything is off until a
// parent turns it on.

#pragma once

#include "catalogue/AppFolder.h"
#include "parents/ParentsGate.h"
#include "parents/ParentsSettings.h"
#include "parents/RestClock.h"
#include "parents/ResumeStore.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class FlashPlayer;
class Notifier;
class RestPicture;
class QWidget;

// What the parents' settings do to the window: the lock on full screen, the
// rest reminder and resuming long programs. The window tells it what
// happens; with every setting off it changes nothing.
class ParentsControls : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        AppFolder app;
        QWidget* window = nullptr;
        QWidget* playerArea = nullptr;
        QWidget* wayBack = nullptr; // out of full screen; never covered
        FlashPlayer* player = nullptr;
        Notifier* notifier = nullptr;
        std::function<void()> pause;     // the pause button's command
        std::function<bool()> minimized; // the window is minimised
        std::function<qint64()> now;     // wall clock, ms
        // Asks the parents' question; empty: the real dialog.
        std::function<bool(QWidget*)> passGate;
        qint64 minuteMs = 60000; // shorter in tests
        std::optional<ParentsGate> fixedGate;
    };

    explicit ParentsControls(Hooks hooks, QObject* parent = nullptr);
    ~ParentsControls() override;

    // Reads cons/parents.ini; a damaged file turns everything off and says so.
    void load();
    const ParentsSettings& settings() const { return m_settings; }
    // The gate, then "家长设置"; saved settings apply at once.
    void openSettings(QWidget* parent);
    bool passGate(QWidget* parent);

    // Full screen.
    void fullScreenEntered();
    void fullScreenLeft();
    bool mayLeaveFullScreen();
    bool mayClose() const;

    // Rest: every half second from the window's tick.
    void tick();
    bool mayStartProgram() const;
    bool resting() const;

    // Resume: a program starts (by a click, or by play all) or is left;
    // left, it must still be loaded (its frame is read).
    void programStarted(const QString& program, bool byClick);
    void programLeaving();
    // The session or the process ends now (log-out, SIGTERM, an update):
    // where the program is and the rest clock are saved; it plays on.
    void saveState();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applySettings();
    void startRest();
    void showPicture();
    void rememberWhereItIs();
    void endRest();
    void placePicture();
    bool locked() const;

    Hooks m_hooks;
    ParentsSettings m_settings;
    std::unique_ptr<RestClock> m_rest;
    ResumeStore m_resume;
    QPointer<RestPicture> m_picture;
    bool m_fullScreen = false;
    // The program playing now, for resuming, and the one left last.
    QString m_program;
    QString m_left;
    bool m_resumable = false;
    qint64 m_programPlayed = 0;
    bool m_seenToEnd = false;
};
