#ifndef TRANSPORT_H
#define TRANSPORT_H

#include "beattracker.h"
#include "timeline.h"

class MusicPlayer;

// Picture and music on one timeline: the show time from the timeline, the
// music at show time x 1.25 (both start together in the show), and the
// beats fired from the music's position. Every key that moves the show
// time moves the music with it; the wall clock in milliseconds is given to
// every call.
class Transport
{
public:
    explicit Transport(MusicPlayer &player);

    // The music may drift from the picture by this much before it is put
    // back in step (a device whose clock runs apart from the machine's, or
    // one that fell behind on a busy machine).
    static constexpr double defaultDriftLimit = 0.1;
    void setDriftLimit(double seconds) { m_driftLimit = seconds; }

    // Show time 0 and the music from its start, playing, with the beats of
    // the player's music file.
    void start(qint64 nowMs);
    bool isStarted() const { return m_started; }

    void seek(double seconds, qint64 nowMs);
    void restart(qint64 nowMs);
    void toggleHold(qint64 nowMs);
    void markLoopStart(qint64 nowMs);
    void markLoopEnd(qint64 nowMs);
    // False when there is nothing to loop.
    bool toggleLoop(qint64 nowMs);

    // The show time of a frame drawn at nowMs. Wraps the loop and keeps the
    // music in step.
    double showTime(qint64 nowMs);
    // For a frame that is drawn: fires the beats the music has reached and
    // gives the frame's beat pulse.
    float beatPulse(qint64 nowMs);

    const Timeline &timeline() const { return m_timeline; }
    // The last beat fired, in audio-clock units; -1 before any.
    float lastBeat() const { return m_beats.lastFired(); }
    bool isHeld() const { return m_timeline.isHeld(); }

    // Where the music should be for a show time, in frames and in
    // audio-clock units.
    static qint64 musicFrame(double showTime);
    static float musicClock(qint64 frame);
    // The music's position that the beats fire from: what the device has
    // been given, or the picture's when no device plays.
    qint64 beatPosition(qint64 nowMs) const;

private:
    // The show time jumped: the music and the beats start over from there.
    void follow(qint64 nowMs);

    MusicPlayer &m_player;
    Timeline m_timeline;
    BeatTracker m_beats;
    bool m_started = false;
    double m_driftLimit = defaultDriftLimit;
};

#endif // TRANSPORT_H
