#pragma once

#include "VoicePlayer.h"

#include <QObject>

class QSoundEffect;

// Plays the embedded WAV clips; one clip at a time.
class SoundEffectVoicePlayer : public QObject, public VoicePlayer {
    Q_OBJECT
public:
    explicit SoundEffectVoicePlayer(QObject* parent = nullptr);
    void play(const QString& clip) override;
    void setMuted(bool muted) override;

private:
    QSoundEffect* m_effect;
};
