#pragma once

#include "PlaybackTick.h"

class QRadioButton;

// The two play-mode option buttons, "播放全部" and "单曲循环": at most one
// is on, and code can turn both off.
class PlayModeButtons {
public:
    PlayModeButtons(QRadioButton* playAll, QRadioButton* repeatOne);

    PlayMode mode() const;
    void setMode(PlayMode mode);
    // Both off, and usable or not.
    void reset(bool enabled);

private:
    QRadioButton* m_playAll;
    QRadioButton* m_repeatOne;
};
