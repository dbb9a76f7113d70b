// player/: the half-second tick, the position bar, the play modes and the player controls.

#pragma once

class FlashPlayer;

// The two play modes; at most one is on, both may be off.
enum class PlayMode { None, PlayAll, RepeatOne };

// What the half-second timer does: keep the position bar on the player's
// frame, carry out the play modes, and start the update check once, five
// minutes after start-up.
class PlaybackTick {
public:
    // Frames left at which play all moves on to the next program.
    static constexpr int kLookAhead = 12;
    // The tick that starts the update check (600 x 500 ms).
    static constexpr int kUpdateTick = 600;

    // The parts of the window a tick reads and changes.
    class Window {
    public:
        virtual ~Window() = default;
        virtual FlashPlayer& player() = 0;
        virtual void showFrame(int frame) = 0; // the position bar
        virtual PlayMode playMode() const = 0;
        virtual int selectedRow() const = 0; // -1 with nothing selected
        virtual int rowCount() const = 0;
        // Selects a row of the main list, which starts its program.
        virtual void selectRow(int row) = 0;
        virtual void checkForUpdate() = 0;
    };

    void tick(Window& window);
    int ticks() const { return m_ticks; }

    // The row play all moves to: the next one, wrapping after the last;
    // row 0 from no selection; -1 for an empty list.
    static int nextRow(int selected, int count);

private:
    int m_ticks = 0;
};

// The position bar holds 16-bit values.
namespace PositionBar {
constexpr int kMaxValue = 32767;
// The bar's maximum for a program of this many frames.
int maximumFor(int totalFrames);
// A frame as the bar can show it, within 0 .. maximum.
int valueFor(int frame, int maximum);
} // namespace PositionBar
