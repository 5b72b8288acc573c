#include "beattracker.h"
#include "beatrule.h"

#include <QtGlobal>

#include <cmath>

int BeatTracker::reach(float clock)
{
    return BeatRule::fireReached(qAsConst(m_beats), m_last, [clock] { return clock; },
                                 [this](int) { m_pulse = BeatRule::pulseOnBeat; });
}

void BeatTracker::jumpTo(float clock)
{
    // Beats are whole clock units: those at or after the clock fire again.
    m_last = qMax(BeatRule::noneFired, std::ceil(clock) - 0.5f);
}

float BeatTracker::nextPulse()
{
    m_pulse = BeatRule::decay(m_pulse);
    return BeatRule::fed(m_pulse);
}
