#ifndef SHOWTIME_H
#define SHOWTIME_H

#include <QtGlobal>

// The show's clock rules, shared by the window and the capture tool.
namespace ShowTime {

// The show ends on the first frame whose show timer reads more than this.
constexpr qint64 endMs = 38200;

// Show-timer milliseconds per second of show time: the show runs at 0.8 of real time.
constexpr float msPerSecond = 1250.0f;

// Show time in seconds as the frame loop feeds it to the scene, all in float.
inline float at(qint64 timerMs, float timeAdjustment = 0.0f, float pauseAdjustment = 0.0f)
{
    return float(timerMs) / msPerSecond + timeAdjustment - pauseAdjustment;
}

inline bool isOver(qint64 timerMs) { return timerMs > endMs; }

} // namespace ShowTime

#endif // SHOWTIME_H
