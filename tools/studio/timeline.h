#ifndef TIMELINE_H
#define TIMELINE_H

#include "keymap.h"
#include "showhost.h"

#include <QtGlobal>

#include <optional>

// The studio's show time as a function of a wall clock in milliseconds,
// given to every call, so that it can be driven with exact times. It keeps
// the show's state on a show timer of its own and runs it by the show host's
// rules (0.8 s of show time a second, on a timer that Return starts again;
// the keys' seeks and holds), in double for a studio that runs for hours,
// and adds seeks to a time and a loop between two marks.
class Timeline
{
public:
    struct Range
    {
        double start;
        double end;
    };

    // A loop shorter than this cannot be looped.
    static constexpr double shortestLoop = 0.1;

    // Show time 0 at nowMs, running.
    void start(qint64 nowMs);
    // The show time, round the loop if it has passed the loop's end.
    double at(qint64 nowMs) const;
    bool isHeld() const { return m_show.paused; }
    // The last beat the show's frames fired, in audio-clock units.
    float beatsFired() const { return m_show.last; }
    float pulse() const { return m_show.beat; }

    // A key of the show, by the show host's rules, on the show time that
    // is on screen (a loop's wrap made for good first).
    ShowHost::KeyOutcome act(const KeyMap::Binding &binding, qint64 nowMs);
    // To a show time, held or running as before.
    void seekTo(double showTime, qint64 nowMs);

    // The show's state and its timer's reading at nowMs, for the host's frames.
    ShowHost::BasicStateRef<double> state() { return m_show; }
    qint64 timerMs(qint64 nowMs) const { return nowMs - m_timerStartMs; }

    // The loop's marks, set at the show time of nowMs. These and the loop's
    // calls return whether the show time jumped (rather than going on from
    // where it was), which is when the music has to follow.
    bool markLoopStart(qint64 nowMs);
    bool markLoopEnd(qint64 nowMs);
    // The same, at a show time of their own (a mark dragged).
    bool setLoopStart(double showTime, qint64 nowMs);
    bool setLoopEnd(double showTime, qint64 nowMs);
    std::optional<double> loopStartMark() const { return m_startMark; }
    std::optional<double> loopEndMark() const { return m_endMark; }
    // Between the marks, in either order. A mark alone loops from it to its
    // shot's end (or from its shot's start to it); without marks, the shot
    // on screen. Empty when that is shorter than shortestLoop.
    std::optional<Range> loopRange(qint64 nowMs) const;
    // Loops, or stops looping; a loop starts at its start when the show
    // time is outside it. Turning on fails (returns false and stays off)
    // when there is nothing to loop; jumped tells whether the time moved.
    bool toggleLoop(qint64 nowMs, bool *jumped = nullptr);
    std::optional<Range> loop() const { return m_loop; }

    // Past the loop's end the show time goes back to its start, the
    // overshoot carried over: the jump that at() already shows, made for
    // good. Returns whether it did.
    bool wrap(qint64 nowMs);

private:
    double unwrapped(qint64 nowMs) const;
    bool markChanged(qint64 nowMs);

    // The show timer started at this wall-clock reading.
    qint64 m_timerStartMs = 0;
    // The keys' adjustments to the show time, the beats fired and the pulse.
    ShowHost::BasicState<double> m_show;
    std::optional<double> m_startMark;
    std::optional<double> m_endMark;
    std::optional<Range> m_loop;
};

#endif // TIMELINE_H
