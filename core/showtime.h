#ifndef SHOWTIME_H
#define SHOWTIME_H

#include <cstdint>

// The show's clock rules, shared by the window, the tools, the benchmarks
// and the web build: plain C++, no Qt.
namespace ShowTime {

// The show ends on the first frame whose show timer reads more than this.
constexpr std::int64_t endMs = 38200;

// Show-timer milliseconds per second of show time: the show runs at 0.8 of real time.
constexpr float msPerSecond = 1250.0f;

// The show time a show-timer reading in milliseconds stands for, before the
// keys' adjustments, in the reading's precision. The timers read whole
// milliseconds; a capture's sub-frames fall between them.
template <typename Seconds>
constexpr Seconds fromTimerMs(Seconds timerMs)
{
    return timerMs / Seconds(msPerSecond);
}

// Show time in seconds from a show-timer reading and the keys' adjustments,
// in the precision of the adjustments (the studio, which runs for hours,
// keeps doubles).
template <typename Seconds>
Seconds at(std::int64_t timerMs, Seconds timeAdjustment, Seconds pauseAdjustment)
{
    return fromTimerMs(Seconds(timerMs)) + timeAdjustment - pauseAdjustment;
}

// Show time in seconds as the frame loop feeds it to the scene, all in float.
inline float at(std::int64_t timerMs, float timeAdjustment = 0.0f, float pauseAdjustment = 0.0f)
{
    return at<float>(timerMs, timeAdjustment, pauseAdjustment);
}

inline bool isOver(std::int64_t timerMs) { return timerMs > endMs; }

// Seconds of the show timer and show time, each way, without seeks or
// holds. The music plays beside the show timer from its start, so a second
// of music is 0.8 s of show time too.
constexpr double fromSeconds(double seconds) { return fromTimerMs(seconds * 1000.0); }
constexpr double toSeconds(double showTime) { return showTime * double(msPerSecond) / 1000.0; }

// The show time at the end of the show, without seeks or holds: 30.56.
constexpr float endShowTime() { return fromTimerMs(float(endMs)); }

// What the keys move the show time by: Up and Down, Right and Left.
constexpr float bigStep = 10.0f;
constexpr float smallStep = 1.0f;

// The camera's five shots, cut at these show times, as the scene chooses
// them; from 30 on the picture is black.
constexpr float shotCuts[] = {5.0f, 10.0f, 15.0f, 20.0f};
constexpr int shots = 5;
constexpr float pictureEnds = 30.0f;

// The picture fades out to black over the last second before every cut and
// before pictureEnds, and fades in over the first second after every cut.
constexpr float fadeSeconds = 1.0f;

// The shot, 1 to 5, that the scene shows at a show time.
constexpr int shotAt(float showTime)
{
    int shot = 1;
    for (const float cut : shotCuts)
        if (showTime >= cut)
            ++shot;
    return shot;
}
static_assert(shotAt(-1.0f) == 1 && shotAt(5.0f) == 2 && shotAt(19.9f) == 4 && shotAt(30.0f) == shots,
              "a cut starts the later shot");

// Where a shot starts and ends in show time (the first from 0, the last to
// the black at 30).
constexpr float shotStart(int shot) { return shot <= 1 ? 0.0f : shotCuts[shot - 2]; }
constexpr float shotEnd(int shot) { return shot >= shots ? pictureEnds : shotCuts[shot - 1]; }

} // namespace ShowTime

#endif // SHOWTIME_H
