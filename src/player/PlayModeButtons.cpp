#include "PlayModeButtons.h"

#include <QRadioButton>

PlayModeButtons::PlayModeButtons(QRadioButton* playAll, QRadioButton* repeatOne)
    : m_playAll(playAll), m_repeatOne(repeatOne) {
    // The two modes exclude each other, yet code must be able to clear both,
    // which Qt's automatic exclusivity does not allow.
    for (auto [option, other] : {std::pair{playAll, repeatOne}, std::pair{repeatOne, playAll}}) {
        option->setAutoExclusive(false);
        QObject::connect(option, &QRadioButton::toggled, other, [other = other](bool on) {
            if (on)
                other->setChecked(false);
        });
    }
}

PlayMode PlayModeButtons::mode() const {
    if (m_playAll->isChecked())
        return PlayMode::PlayAll;
    if (m_repeatOne->isChecked())
        return PlayMode::RepeatOne;
    return PlayMode::None;
}

void PlayModeButtons::setMode(PlayMode mode) {
    m_playAll->setChecked(mode == PlayMode::PlayAll);
    m_repeatOne->setChecked(mode == PlayMode::RepeatOne);
}

void PlayModeButtons::reset(bool enabled) {
    for (QRadioButton* option : {m_playAll, m_repeatOne}) {
        option->setChecked(false);
        option->setEnabled(enabled);
    }
}
