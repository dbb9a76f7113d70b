#include "PlayerControls.h"

#include "PlayModeButtons.h"
#include "flash/FlashPlayer.h"

PlayerControls::PlayerControls(FlashPlayer& player, PlayModeButtons& modes, Window window)
    : m_player(player), m_modes(modes), m_window(std::move(window)) {}

void PlayerControls::play() {
    m_player.play();
}

void PlayerControls::pause() {
    m_modes.setMode(PlayMode::None);
    m_player.stopPlay();
}

void PlayerControls::seek(int frame) {
    m_player.gotoFrame(frame);
    m_player.play();
}

bool PlayerControls::toggleMute() {
    m_muted = !m_muted;
    m_player.setMuted(m_muted);
    return m_muted;
}

QString PlayerControls::mutePicture(bool muted) {
    return muted ? QStringLiteral("jingyin2") : QStringLiteral("jingyin1");
}

void PlayerControls::enterFullScreen() {
    if (m_fullScreen)
        return;
    const PlayMode mode = m_modes.mode();
    m_fullScreen = true;
    // The player lies over every control but the way back, so that nothing
    // else can be seen or clicked; its place in the pile is kept for later.
    QWidget* window = m_window.window;
    m_aboveThePlayer = nullptr;
    const QObjectList& pile = window->children();
    for (qsizetype i = pile.indexOf(m_window.player) + 1; i < pile.size() && !m_aboveThePlayer; ++i)
        if (auto* w = qobject_cast<QWidget*>(pile.at(i)); w && !w->isWindow())
            m_aboveThePlayer = w;
    m_window.player->raise();
    window->showFullScreen();
    fitPlayerToWindow();
    for (QWidget* w : m_window.listViews)
        w->hide();
    m_modes.setMode(mode);
    m_window.back->show();
    m_window.back->raise();
    m_window.back->setFocus();
}

void PlayerControls::leaveFullScreen() {
    m_fullScreen = false;
    if (m_aboveThePlayer)
        m_window.player->stackUnder(m_aboveThePlayer);
    m_window.window->showMaximized();
    for (QWidget* w : m_window.listViews)
        w->show();
    m_window.back->hide();
    // The resize to come lays the window out again; this covers a window
    // manager that keeps the size.
    if (m_window.relayout)
        m_window.relayout();
}

void PlayerControls::windowResized() {
    if (m_fullScreen)
        fitPlayerToWindow();
}

void PlayerControls::fitPlayerToWindow() {
    m_window.player->setGeometry(m_window.window->rect());
    m_window.back->raise();
}
