#include "RestClock.h"

#include "base/FileOps.h"

#include <QSettings>
#include <algorithm>

namespace {

// A gap longer than this (the machine slept, the window hung) is not play.
constexpr qint64 kLongestStep = 5000;

} // namespace

RestClock::RestClock(QString statePath, qint64 playMs, qint64 restMs)
    : m_path(std::move(statePath)), m_playMs(playMs), m_restMs(restMs) {}

void RestClock::load(qint64 now) {
    const QSettings s(m_path, QSettings::IniFormat);
    m_played = std::clamp<qint64>(s.value(QStringLiteral("rest/played")).toLongLong(), 0, m_playMs);
    m_restUntil = s.value(QStringLiteral("rest/until")).toLongLong();
    // A rest longer than the rest time can only come from a wrong clock.
    if (m_restUntil > now + m_restMs)
        m_restUntil = now + m_restMs;
    if (m_restUntil > 0 && m_restUntil <= now) {
        m_restUntil = 0;
        m_played = 0;
    }
    m_last = now;
}

bool RestClock::advance(qint64 now, bool playing) {
    const qint64 gap = m_last < 0 ? 0 : now - m_last;
    qint64 step = gap < 0 || gap > kLongestStep ? 0 : gap;
    m_last = now;
    if (m_restUntil > 0) {
        if (m_restUntil > now)
            return false;
        // The rest is over: a new play time begins, when it ended.
        step = std::min(step, now - m_restUntil);
        m_restUntil = 0;
        m_played = 0;
        save();
    }
    if (!playing)
        return false;
    m_played += step;
    if (m_played >= m_playMs) {
        m_restUntil = now + m_restMs;
        save();
        return true;
    }
    // Now and then, so that closing the program loses little of the count.
    const qint64 whole = m_played / std::max<qint64>(1, m_playMs / 60);
    if (whole != m_savedWhole) {
        m_savedWhole = whole;
        save();
    }
    return false;
}

void RestClock::endRest() {
    m_restUntil = 0;
    m_played = 0;
    save();
}

void RestClock::save() const {
    // Our own two values only, whatever the file held when it was read.
    FileOps::writeAtomically(m_path, "[rest]\nplayed=" + QByteArray::number(m_played) +
                                         "\nuntil=" + QByteArray::number(m_restUntil) + '\n');
}
