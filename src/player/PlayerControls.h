#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class FlashPlayer;
class PlayModeButtons;

// What the player buttons and the list menus' "暂停" and "全屏" do: play,
// pause, mute, seek, and full screen with its way back.
class PlayerControls {
public:
    // The window's parts that full screen rearranges.
    struct Window {
        QWidget* window = nullptr;
        QWidget* player = nullptr;
        QWidget* back = nullptr; // the way back, shown only in full screen
        // Hidden in full screen: the list, the strip, the bar, the combo box
        // and the two options.
        QList<QWidget*> listViews;
        // Lays every control out again from its design place.
        std::function<void()> relayout;
    };

    PlayerControls(FlashPlayer& player, PlayModeButtons& modes, Window window);

    void play();
    // Both modes go off first: a mode left on would resume on the next tick.
    void pause();
    // Goes to the frame and plays, also when paused.
    void seek(int frame);
    // Mutes what the programs play; returns whether it is muted now.
    bool toggleMute();
    bool muted() const { return m_muted; }
    // The mute button's picture: "jingyin1" with sound, "jingyin2" without.
    static QString mutePicture(bool muted);

    void enterFullScreen();
    void leaveFullScreen();
    bool isFullScreen() const { return m_fullScreen; }
    // After the window's size changed: in full screen the player takes it all.
    void windowResized();

private:
    void fitPlayerToWindow();

    FlashPlayer& m_player;
    PlayModeButtons& m_modes;
    Window m_window;
    bool m_muted = false;
    bool m_fullScreen = false;
    QPointer<QWidget> m_aboveThePlayer; // in the pile of controls, before full screen
};
