#include "PlaybackTick.h"

#include "flash/FlashPlayer.h"

#include <algorithm>

void PlaybackTick::tick(Window& window) {
    FlashPlayer& player = window.player();
    if (player.movie() != FlashPlayer::kNoProgram) {
        window.showFrame(player.frameNum());
        switch (window.playMode()) {
        case PlayMode::PlayAll:
            if (player.totalFrames() - player.frameNum() <= kLookAhead) {
                const int next = nextRow(window.selectedRow(), window.rowCount());
                if (next >= 0)
                    window.selectRow(next);
            }
            // Asked after the advance, which may have started another
            // program.
            if (!player.playing())
                player.play();
            break;
        case PlayMode::RepeatOne:
            if (!player.playing())
                player.play();
            break;
        case PlayMode::None:
            break;
        }
    }
    // Counts on without a program too, and never wraps back onto the
    // update tick.
    if (m_ticks < kUpdateTick + 1)
        ++m_ticks;
    if (m_ticks == kUpdateTick)
        window.checkForUpdate();
}

int PlaybackTick::nextRow(int selected, int count) {
    if (count <= 0)
        return -1;
    if (selected + 1 >= count || selected < -1)
        return 0;
    return selected + 1;
}

namespace PositionBar {

int maximumFor(int totalFrames) {
    return std::clamp(totalFrames, 0, kMaxValue);
}

int valueFor(int frame, int maximum) {
    return std::clamp(frame, 0, std::max(maximum, 0));
}

} // namespace PositionBar
