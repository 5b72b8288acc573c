#include "beattracker.h"

#include <QtGlobal>

#include <cmath>

namespace {

constexpr float firedPulse = 1.0f;
constexpr double decayPerFrame = 0.1;
constexpr float neverFired = -1.0f;

} // namespace

int BeatTracker::reach(float clock)
{
    int fired = 0;
    for (const int b : qAsConst(m_beats)) {
        if (float(b) > m_last && clock >= float(b)) {
            m_last = float(b);
            m_pulse = firedPulse;
            ++fired;
        }
    }
    return fired;
}

void BeatTracker::jumpTo(float clock)
{
    // Beats are whole clock units: those at or after the clock fire again.
    m_last = qMax(neverFired, std::ceil(clock) - 0.5f);
}

float BeatTracker::nextPulse()
{
    m_pulse = float(double(m_pulse) - decayPerFrame);
    return qMax(0.0f, m_pulse);
}
