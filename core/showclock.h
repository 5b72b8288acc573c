#ifndef SHOWCLOCK_H
#define SHOWCLOCK_H

#include "showtime.h"

#include <cstdint>

// The show time as the keys move it, on the host's show timer: the arrow
// keys seek, Space holds it and lets it run on from where it stood, Return
// starts it from 0 again. The host keeps the timer and hands its readings
// in (whole milliseconds). Plain C++, no Qt: the show window and the web
// page share it; its state is open to their tests.
struct ShowClock
{
    float timeAdjustment = 0.0f;  // show seconds the arrow keys have added
    float pauseAdjustment = 0.0f; // show seconds the holds have taken away
    float snapshot = 0.0f;        // where this hold began: the timer in show seconds, less the holds before
    bool paused = false;          // whether Space holds the show time

    // Up and Down (ShowTime::bigStep), Right and Left (smallStep).
    void seek(float seconds) { timeAdjustment += seconds; }

    // Space. Both sides of the hold are measured in show-time units, and each
    // hold continues from the adjustment already gathered, so neither press
    // jumps.
    void toggleHold(std::int64_t timerMs)
    {
        const float now = float(timerMs) / ShowTime::msPerSecond;
        if (paused)
            pauseAdjustment = now - snapshot;
        else
            snapshot = now - pauseAdjustment;
        paused = !paused;
    }

    // Return, as the host restarts its timer; a hold goes on holding.
    void restart()
    {
        timeAdjustment = 0.0f;
        pauseAdjustment = 0.0f;
        snapshot = 0.0f;
    }

    // The show time of a frame at this timer reading; while held, it stands.
    float frame(std::int64_t timerMs)
    {
        if (paused)
            pauseAdjustment = float(timerMs) / ShowTime::msPerSecond - snapshot;
        return ShowTime::at(timerMs, timeAdjustment, pauseAdjustment);
    }
};

#endif // SHOWCLOCK_H
