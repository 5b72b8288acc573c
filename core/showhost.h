#ifndef SHOWHOST_H
#define SHOWHOST_H

#include "beatrule.h"
#include "keymap.h"
#include "sceneuniforms.h"
#include "showclock.h"
#include "showtime.h"

#include <cstdint>
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
// the show window keeps each value as a member of its own.
struct StateRef
{
    float &last;            // the last beat fired; only larger ones fire after it
    float &beat;            // the beat pulse: 1 when a beat fires, 0.1 less every frame, unclamped
    float &fps;             // frames since the last frame-rate report
    float &timeAdjustment;  // show seconds the arrow keys have added
    float &pauseAdjustment; // show seconds the holds have taken away
    float &snapshot;        // where this hold began: the timer in show seconds, less the holds before
    bool &paused;           // whether Space holds the show time
};

// The same state as values, for a shell that keeps no members of its own for it.
struct State
{
    float last = BeatRule::noneFired;
    float beat = 0.0f;
    float fps = 0.0f;
    float timeAdjustment = 0.0f;
    float pauseAdjustment = 0.0f;
    float snapshot = 0.0f;
    bool paused = false;

    operator StateRef() { return {last, beat, fps, timeAdjustment, pauseAdjustment, snapshot, paused}; }
};

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

// One frame at these timer readings. The beats are walked in list order and
// the audio clock read afresh (clock()) for every beat weighed, since another
// thread may move it.
template <typename Beats, typename Clock>
Frame frame(StateRef state, const Beats &beats, std::int64_t timerMs, std::int64_t fpsTimerMs, Clock &&clock)
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

    float seen = 0.0f;
    BeatRule::fireReached(
            beats, state.last, [&] { return seen = clock(); },
            [&](int beat) {
                frame.fired.push_back({beat, seen});
                state.beat = BeatRule::pulseOnBeat;
            });

    if (state.paused)
        state.pauseAdjustment = ShowClock::heldAdjustment(timerMs, state.snapshot);
    state.beat = BeatRule::decay(state.beat);
    const float showTime = state.paused ? ShowClock::heldShowTime(state.snapshot, state.timeAdjustment)
                                        : ShowTime::at(timerMs, state.timeAdjustment, state.pauseAdjustment);
    frame.uniforms = {BeatRule::fed(state.beat), showTime};
    return frame;
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
inline KeyOutcome act(StateRef state, const KeyMap::Binding &binding, std::int64_t timerMs)
{
    KeyOutcome outcome;
    outcome.handled = binding.action != KeyMap::Action::None;
    switch (binding.action) {
    case KeyMap::Action::Seek:
        state.timeAdjustment += binding.seconds;
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

// A key, numbered as Qt numbers it.
inline KeyOutcome press(StateRef state, int key, std::int64_t timerMs)
{
    return act(state, KeyMap::forKey(key), timerMs);
}

} // namespace ShowHost

#endif // SHOWHOST_H
