#pragma once

#include <QString>

// Plays the short voice clip of a category. A new clip interrupts the one
// still playing; every failure (no sound device, missing clip) is ignored.
class VoicePlayer {
public:
    virtual ~VoicePlayer() = default;
    virtual void play(const QString& clip) = 0;
    virtual void setMuted(bool muted) = 0;
};
