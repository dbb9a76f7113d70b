#pragma once

#include <QString>

// Counts the time a program really plays and calls for a rest once it
// reaches the play time. Times are milliseconds on the wall clock (so that a
// rest runs on while the program is closed); the caller gives the time.
// The state lives in a file of its own, so that closing and opening the
// program neither ends a rest nor starts the count again.
class RestClock {
public:
    RestClock(QString statePath, qint64 playMs, qint64 restMs);

    // Reads the state a run before left. now: the wall clock.
    void load(qint64 now);
    // Time has passed up to now, during which a program played or not.
    // True when a rest has just begun.
    bool advance(qint64 now, bool playing);
    bool resting(qint64 now) const { return m_restUntil > now; }
    qint64 restLeft(qint64 now) const { return resting(now) ? m_restUntil - now : 0; }
    qint64 played() const { return m_played; }
    // A parent ended the rest early; the count starts again.
    void endRest();
    void save() const;

private:
    QString m_path;
    qint64 m_playMs, m_restMs;
    qint64 m_played = 0;
    qint64 m_restUntil = 0;
    qint64 m_last = -1;
    qint64 m_savedWhole = 0; // played time last saved, in whole play/60 steps
};
