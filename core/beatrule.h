#ifndef BEATRULE_H
#define BEATRULE_H

#include <cmath>

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

} // namespace BeatRule

#endif // BEATRULE_H
