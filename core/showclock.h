#ifndef SHOWCLOCK_H
#define SHOWCLOCK_H

#include "showtime.h"

#include <cstdint>

// The show time as the keys move it, on the host's show timer: the arrow
// keys seek (ShowTime::bigStep and smallStep), Space holds it and lets it
// run on from where it stood, Return starts it from 0 again. Hosts keep the
// timer and hand its readings in (whole milliseconds). Plain C++, no Qt: the
// show window, which keeps these values as members of its own, and the web
// page share it.
namespace ShowClock {

// Space. Both sides of the hold are measured in show-time units, and each
// hold continues from the adjustment already gathered, so neither press
// jumps.
inline void toggleHold(std::int64_t timerMs, float &snapshot, float &pauseAdjustment, bool &paused)
{
    const float now = float(timerMs) / ShowTime::msPerSecond;
    if (paused)
        pauseAdjustment = now - snapshot;
    else
        snapshot = now - pauseAdjustment;
    paused = !paused;
}

// While held, what a frame takes away from the show time so that it stands
// where the hold began.
inline float heldAdjustment(std::int64_t timerMs, float snapshot)
{
    return float(timerMs) / ShowTime::msPerSecond - snapshot;
}

// Return, as the host restarts its timer; a hold goes on holding.
inline void restart(float &timeAdjustment, float &pauseAdjustment, float &snapshot)
{
    timeAdjustment = 0.0f;
    pauseAdjustment = 0.0f;
    snapshot = 0.0f;
}

// The four values together, for a host that keeps no members of its own for them.
struct State
{
    float timeAdjustment = 0.0f;  // show seconds the arrow keys have added
    float pauseAdjustment = 0.0f; // show seconds the holds have taken away
    float snapshot = 0.0f;        // where this hold began: the timer in show seconds, less the holds before
    bool paused = false;          // whether Space holds the show time

    void seek(float seconds) { timeAdjustment += seconds; }
    void toggleHold(std::int64_t timerMs) { ShowClock::toggleHold(timerMs, snapshot, pauseAdjustment, paused); }
    void restart() { ShowClock::restart(timeAdjustment, pauseAdjustment, snapshot); }

    // The show time of a frame at this timer reading; while held, it stands.
    float frame(std::int64_t timerMs)
    {
        if (paused)
            pauseAdjustment = heldAdjustment(timerMs, snapshot);
        return ShowTime::at(timerMs, timeAdjustment, pauseAdjustment);
    }
};

} // namespace ShowClock

#endif // SHOWCLOCK_H
