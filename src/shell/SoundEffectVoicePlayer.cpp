#include "SoundEffectVoicePlayer.h"

#include <QSoundEffect>
#include <QUrl>

SoundEffectVoicePlayer::SoundEffectVoicePlayer(QObject* parent)
    : QObject(parent), m_effect(new QSoundEffect(this)) {}

void SoundEffectVoicePlayer::play(const QString& clip) {
    // Changing the source stops the clip still playing; without a sound
    // device the effect simply stays silent.
    m_effect->stop();
    m_effect->setSource(QUrl(QStringLiteral("qrc:/sounds/%1.wav").arg(clip)));
    m_effect->play();
}

void SoundEffectVoicePlayer::setMuted(bool muted) {
    m_effect->setMuted(muted);
}
