#ifndef SHOWCLOCK_H
#define SHOWCLOCK_H

#include "showtime.h"

#include <cstdint>

// The show time as the keys move it, on the host's show timer: the arrow
// keys seek (ShowTime::bigStep and smallStep), Space holds it and lets it
// run on from where it stood, Return starts it from 0 again. Hosts keep the
// timer and hand its readings in (whole milliseconds). Plain C++, no Qt: the
// show host (showhost.h) applies it for every shell, in float as the show
// keeps its time; the studio's timeline in double.
namespace ShowClock {

// Space. Both sides of the hold are measured in show-time units, and each
// hold continues from the adjustment already gathered, so neither press
// jumps.
template <typename Seconds>
void toggleHold(std::int64_t timerMs, Seconds &snapshot, Seconds &pauseAdjustment, bool &paused)
{
    const Seconds now = ShowTime::fromTimerMs(Seconds(timerMs));
    if (paused)
        pauseAdjustment = now - snapshot;
    else
        snapshot = now - pauseAdjustment;
    paused = !paused;
}

// While held, what a frame takes away from the show time so that it stands
// where the hold began.
template <typename Seconds>
Seconds heldAdjustment(std::int64_t timerMs, Seconds snapshot)
{
    return ShowTime::fromTimerMs(Seconds(timerMs)) - snapshot;
}

// While held, the show time itself: where the hold began, plus the seeks.
// Taken from the snapshot rather than as timer - (timer - snapshot), whose
// rounding moves the held time by a float step on about a third of the
// frames, enough to flip pixels of a picture that should stand still.
template <typename Seconds>
Seconds heldShowTime(Seconds snapshot, Seconds timeAdjustment)
{
    return snapshot + timeAdjustment;
}

// Return, as the host restarts its timer; a hold goes on holding.
template <typename Seconds>
void restart(Seconds &timeAdjustment, Seconds &pauseAdjustment, Seconds &snapshot)
{
    timeAdjustment = Seconds(0);
    pauseAdjustment = Seconds(0);
    snapshot = Seconds(0);
}

} // namespace ShowClock

#endif // SHOWCLOCK_H
