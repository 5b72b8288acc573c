#ifndef SHOWHOST_H
#define SHOWHOST_H

#include "beatrule.h"
#include "keymap.h"
#include "sceneuniforms.h"
#include "showclock.h"
#include "showtime.h"

#include <cstdint>
#include <utility>
#include <vector>

// The show's frame loop and keys, once for every shell that runs the show
// (the desktop window, the web page, the studio). Fed the readings of the
// shell's show timer and frame-rate timer (whole milliseconds since each
// last started), the audio clock and the key presses, it counts the frames,
// decides the end of the show and the once-a-second report, fires the beats,
// keeps the pulse and the show time, and hands each frame its uniforms. The
// shell keeps the timers and restarts them when told, logs, draws and quits.
// Plain C++: no Qt, SDL or browser.
namespace ShowHost {

// The frame-rate report comes when its timer has reached this.
constexpr float reportPeriodMs = 1000.0f;

// The show's state between frames, as a shell keeps it: references, so that
// the show window keeps each value as a member of its own. The show keeps its
// time in float; the studio, which runs for hours, in double.
template <typename Seconds>
struct BasicStateRef
{
    float &last;             // the last beat fired; only larger ones fire after it
    float &beat;             // the beat pulse: 1 when a beat fires, 0.1 less every frame, unclamped
    float &fps;              // frames since the last frame-rate report
    Seconds &timeAdjustment; // show seconds the arrow keys have added
    Seconds &pauseAdjustment; // show seconds the holds have taken away
    Seconds &snapshot;       // where this hold began: the timer in show seconds, less the holds before
    bool &paused;            // whether Space holds the show time
};
using StateRef = BasicStateRef<float>;

// The same state as values, for a shell that keeps no members of its own for it.
template <typename Seconds>
struct BasicState
{
    float last = BeatRule::noneFired;
    float beat = 0.0f;
    float fps = 0.0f;
    Seconds timeAdjustment = 0;
    Seconds pauseAdjustment = 0;
    Seconds snapshot = 0;
    bool paused = false;

    operator BasicStateRef<Seconds>() { return {last, beat, fps, timeAdjustment, pauseAdjustment, snapshot, paused}; }
};
using State = BasicState<float>;

// A beat fired, with the audio clock that fired it: a log line "beat clock".
struct FiredBeat
{
    int beat;
    float clock;
};

// What a frame asks of its shell, in the order the shell acts on it.
struct Frame
{
    bool over = false;            // the show has ended: quit (this frame is still drawn)
    bool report = false;          // log reportedFrames, restart the frame-rate timer, log reportedSeconds
    float reportedFrames = 0.0f;  // the frames since the last report, this one included
    float reportedSeconds = 0.0f; // the show timer in seconds
    std::vector<FiredBeat> fired; // in list order, each logged on a line of its own
    SceneUniforms uniforms;       // what the frame feeds the scene
};

// The show time at this show-timer reading: where the keys have moved it,
// or, held, where the hold began. For a BasicState or a BasicStateRef.
template <typename State>
auto showTime(const State &state, std::int64_t timerMs)
{
    return state.paused ? ShowClock::heldShowTime(state.snapshot, state.timeAdjustment)
                        : ShowTime::at(timerMs, state.timeAdjustment, state.pauseAdjustment);
}

// A shell that reports no frame rate hands this as its frame-rate timer.
constexpr std::int64_t noReport = -1;

// The beats the audio clock has reached, fired in list order (the clock read
// afresh, clock(), for every beat weighed, since another thread may move
// it), each setting the pulse. Every frame does this first; a shell whose
// beats keep time between its frames (the studio's, while no frame is
// drawn) calls it on its own as well, and the frames only step the pulse.
template <typename Seconds, typename Beats, typename Clock>
std::vector<FiredBeat> fireBeats(BasicStateRef<Seconds> state, const Beats &beats, Clock &&clock)
{
    std::vector<FiredBeat> fired;
    float seen = 0.0f;
    BeatRule::fireReached(
            beats, state.last, [&] { return seen = clock(); },
            [&](int beat) {
                fired.push_back({beat, seen});
                state.beat = BeatRule::pulseOnBeat;
            });
    return fired;
}

// One frame at these timer readings. The beats are walked in list order and
// the audio clock read afresh (clock()) for every beat weighed, since another
// thread may move it.
template <typename Seconds, typename Beats, typename Clock>
Frame frame(BasicStateRef<Seconds> state, const Beats &beats, std::int64_t timerMs, std::int64_t fpsTimerMs,
            Clock &&clock)
{
    Frame frame;
    state.fps += 1.0f;
    frame.over = ShowTime::isOver(timerMs);

    // The report counts the frame that reports.
    if (float(fpsTimerMs) >= reportPeriodMs) {
        frame.report = true;
        frame.reportedFrames = state.fps;
        state.fps = 0.0f;
        frame.reportedSeconds = float(timerMs) / 1000.0f;
    }

    frame.fired = fireBeats(state, beats, std::forward<Clock>(clock));

    if (state.paused)
        state.pauseAdjustment = ShowClock::heldAdjustment(timerMs, state.snapshot);
    state.beat = BeatRule::decay(state.beat);
    frame.uniforms = {BeatRule::fed(state.beat), float(showTime(state, timerMs))};
    return frame;
}

template <typename Seconds, typename Beats, typename Clock>
Frame frame(BasicState<Seconds> &state, const Beats &beats, std::int64_t timerMs, std::int64_t fpsTimerMs,
            Clock &&clock)
{
    return frame(BasicStateRef<Seconds>(state), beats, timerMs, fpsTimerMs, std::forward<Clock>(clock));
}

// The music jumped (a shell whose music follows every seek, as the studio's
// does): the beats from the clock on fire again when it reaches them, those
// before it do not. The show's own music never jumps, so its beats fire once.
template <typename Seconds>
void musicJumped(BasicStateRef<Seconds> state, float clock)
{
    state.last = BeatRule::lastBefore(clock);
}

// What a key press asks of its shell.
struct KeyOutcome
{
    bool handled = false;      // a key of the show
    bool restartTimer = false; // start the show timer again
    bool quit = false;         // end the show
};

// A key's action (KeyMap) at this show-timer reading. Keys act only on what
// the show time is made of: the music, the audio clock and the beats run on.
template <typename Seconds>
KeyOutcome act(BasicStateRef<Seconds> state, const KeyMap::Binding &binding, std::int64_t timerMs)
{
    KeyOutcome outcome;
    outcome.handled = binding.action != KeyMap::Action::None;
    switch (binding.action) {
    case KeyMap::Action::Seek:
        state.timeAdjustment += Seconds(binding.seconds);
        break;
    case KeyMap::Action::Hold:
        ShowClock::toggleHold(timerMs, state.snapshot, state.pauseAdjustment, state.paused);
        break;
    case KeyMap::Action::Restart:
        ShowClock::restart(state.timeAdjustment, state.pauseAdjustment, state.snapshot);
        outcome.restartTimer = true;
        break;
    case KeyMap::Action::Quit:
        outcome.quit = true;
        break;
    case KeyMap::Action::None:
        break;
    }
    return outcome;
}

template <typename Seconds>
KeyOutcome act(BasicState<Seconds> &state, const KeyMap::Binding &binding, std::int64_t timerMs)
{
    return act(BasicStateRef<Seconds>(state), binding, timerMs);
}

// The show starts over with its music, where the music starts only after the
// show has run without it (a browser that starts its sound late): the show
// time from 0 as Return starts it, and neither a hold nor a pulse from the
// silent run carried into the music's.
template <typename Seconds>
void startAfresh(BasicStateRef<Seconds> state)
{
    ShowClock::restart(state.timeAdjustment, state.pauseAdjustment, state.snapshot);
    state.paused = false;
    state.beat = 0.0f;
}

template <typename Seconds>
void startAfresh(BasicState<Seconds> &state)
{
    startAfresh(BasicStateRef<Seconds>(state));
}

// A key, numbered as Qt numbers it.
inline KeyOutcome press(StateRef state, int key, std::int64_t timerMs)
{
    return act(state, KeyMap::forKey(key), timerMs);
}

} // namespace ShowHost

#endif // SHOWHOST_H
