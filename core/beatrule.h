#ifndef BEATRULE_H
#define BEATRULE_H

#include "musiclayout.h"
#include "showtime.h"

#include <cmath>
#include <cstdint>

// When the show fires its beats, and the pulse a beat gives the picture:
// shared by the show window, the studio and the web build. Plain C++, no Qt.
namespace BeatRule {

// The last beat fired before any has: negative beats never fire.
constexpr float noneFired = -1.0f;

// A beat sets the pulse to 1; every frame takes 0.1 from it, in double
// precision, and the scene is fed it clamped at 0.
constexpr float pulseOnBeat = 1.0f;
constexpr double pulseDecayPerFrame = 0.1;

// The last beat fired as it stands after the music jumps to a clock: beats
// are whole clock units, so those at or after the clock fire again when it
// reaches them, and those before it do not.
inline float lastBefore(float clock)
{
    const float before = std::ceil(clock) - 0.5f;
    return before > noneFired ? before : noneFired;
}

// Whether a beat fires now: the audio clock has reached it, and it lies above
// the last beat fired.
inline bool fires(int beat, float last, float clock) { return float(beat) > last && clock >= float(beat); }

// Fires, in list order, every beat that the audio clock has reached and that
// lies above the last beat fired, and moves `last` to it: a beat never fires
// twice, and one not above a beat already fired never fires. clock() is
// called for every beat weighed, so that a clock another thread moves is read
// afresh each time; fired(beat) is called for each beat fired. Returns how
// many fired.
template <typename Beats, typename Clock, typename Fired>
int fireReached(const Beats &beats, float &last, Clock &&clock, Fired &&fired)
{
    int count = 0;
    for (const int b : beats) {
        if (fires(b, last, clock())) {
            last = float(b);
            fired(b);
            ++count;
        }
    }
    return count;
}

// The pulse a frame later: unclamped, so it keeps falling between beats.
inline float decay(float pulse) { return float(double(pulse) - pulseDecayPerFrame); }

// The pulse as the scene is fed it.
inline float fed(float pulse) { return pulse > 0.0f ? pulse : 0.0f; }

// The frame rate the show is made for.
constexpr int showFps = 60;

// The pulse the show feeds the frame it shows at a show time when it draws
// 60 frames a second, its music heard from show time 0, without seeks: what
// a picture drawn away from the show (a captured frame) is fed at that time.
// Frame k is drawn when the show timer reads k x 1000 / 60 whole
// milliseconds, with the audio clock where the music then is (500 a second);
// a show time shows the last frame drawn at or before it, none before 0.
//
// The pulse is the frame loop's: beats fired by the rule above, 1 on a beat,
// decayed every frame. A beat's pulse is gone (at or below 0) ten frames on,
// so only the last ten frames are run, from the last beat fired before them:
// with a clock that only rises, that is the largest beat the clock had
// reached, whatever frames it stepped through (every beat between the last
// one fired and the clock lies above it, so the largest of them fires).
template <typename Beats>
float pulseAt(const Beats &beats, double showTime)
{
    // Show times are floats, a thousandth of a millisecond or so off the
    // timer's whole milliseconds near the show's end.
    const double timerMs = std::floor(ShowTime::toSeconds(showTime) * 1000.0 + 0.01);
    if (timerMs < 0.0)
        return 0.0f;
    // The last frame whose timer reading, k x 1000 / 60 rounded down, is
    // not past this one's: k x 1000 < 60 x (timerMs + 1).
    const std::int64_t frame = ((std::int64_t(timerMs) + 1) * showFps - 1) / 1000;
    // In whole milliseconds, the clock is exact (half of them).
    const auto clockAt = [](std::int64_t k) {
        return float(double(k * 1000 / showFps) * MusicFile::clockPerSecond / 1000.0);
    };
    constexpr std::int64_t decayFrames = 10;
    const std::int64_t firstRun = frame >= decayFrames ? frame - decayFrames + 1 : 0;

    float last = noneFired;
    if (firstRun > 0)
        fireReached(beats, last, [&] { return clockAt(firstRun - 1); }, [](int) {});
    float pulse = 0.0f;
    for (std::int64_t k = firstRun; k <= frame; ++k) {
        if (fireReached(beats, last, [&] { return clockAt(k); }, [](int) {}) > 0)
            pulse = pulseOnBeat;
        pulse = decay(pulse);
    }
    return fed(pulse);
}

} // namespace BeatRule

#endif // BEATRULE_H
