#ifndef BEATTRACKER_H
#define BEATTRACKER_H

#include "beatrule.h"

#include <QList>

// Fires the music file's beats from the music's position, in audio-clock
// units (500 a second of music), by the show's rule: a beat fires once the
// clock has reached it and it lies above the last beat fired. A jump of the
// music starts over from its new position, so that seeking back lets the
// beats after it fire again.
class BeatTracker
{
public:
    explicit BeatTracker(const QList<int> &beats = {}) : m_beats(beats) {}

    // Fires every beat the clock has reached since the last call; returns
    // how many fired.
    int reach(float clock);
    // The music jumped to clock: beats from there on fire when reached,
    // those before it do not.
    void jumpTo(float clock);

    // Another list from now on; the last beat fired stays, so that only
    // beats above it fire.
    void setBeats(const QList<int> &beats) { m_beats = beats; }

    // The pulse for the next frame, as the show feeds iBeat: 1.0 when a beat
    // fires, 0.1 less each frame, never below 0 as fed.
    float nextPulse();

    float lastFired() const { return m_last; }

private:
    QList<int> m_beats;
    float m_last = BeatRule::noneFired; // negative beats never fire
    float m_pulse = 0.0f;
};

#endif // BEATTRACKER_H
