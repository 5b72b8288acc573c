#ifndef TRANSPORT_H
#define TRANSPORT_H

#include "keymap.h"
#include "musicfile.h"
#include "showhost.h"
#include "showtime.h"
#include "timeline.h"

#include <QList>

class MusicPlayer;

// Picture and music on one timeline: the show time from the timeline, the
// music at show time x 1.25 (both start together in the show), and the
// frames run by the show host, its beats fired from the music's position.
// Every key that moves the show time moves the music with it, and a jump of
// the music lets the beats after it fire again; the wall clock in
// milliseconds is given to every call.
class Transport
{
public:
    explicit Transport(MusicPlayer &player);

    // The music may drift from the picture by this much before it is put
    // back in step (a device whose clock runs apart from the machine's, or
    // one that fell behind on a busy machine).
    static constexpr double defaultDriftLimit = 0.1;
    void setDriftLimit(double seconds) { m_driftLimit = seconds; }

    // The sound moves this much later than the picture (earlier when
    // negative), for a display or a sound card that lags the other.
    void setAudioOffset(int ms);
    int audioOffset() const { return m_offsetMs; }

    // Show time 0 and the music from its start, playing, with the beats of
    // the player's music file.
    void start(qint64 nowMs);
    bool isStarted() const { return m_started; }

    // A key of the show: seeks, Space and Return move the music with the
    // picture; Escape is the caller's to act on (the outcome says quit).
    ShowHost::KeyOutcome act(const KeyMap::Binding &binding, qint64 nowMs);
    // The show's keys, without one.
    void seek(double seconds, qint64 nowMs);
    void restart(qint64 nowMs);
    void toggleHold(qint64 nowMs);
    void seekTo(double showTime, qint64 nowMs);
    void markLoopStart(qint64 nowMs);
    void markLoopEnd(qint64 nowMs);
    void setLoopStart(double showTime, qint64 nowMs);
    void setLoopEnd(double showTime, qint64 nowMs);
    // False when there is nothing to loop.
    bool toggleLoop(qint64 nowMs);

    // While held: a snippet of the music at the show time, about a frame
    // long, so that a seek or a step is heard. Running, the music plays on.
    void playSnippet(qint64 nowMs);
    static constexpr int snippetFrames = MusicFile::sampleRate / 60;

    // The show time of a frame drawn at nowMs. Wraps the loop and keeps the
    // music in step.
    double showTime(qint64 nowMs);
    // A frame that is drawn, once started, run by the show host: the beats
    // the music has reached fire, the pulse steps, and the pulse and the
    // show time are the frame's uniforms. The studio runs on past the
    // show's end and reports no frame rate, so the frame's end and report
    // are not for it.
    ShowHost::Frame frame(qint64 nowMs);
    // The beats the music has reached, fired between frames (each sets the
    // pulse, which only a frame steps): they keep the music's time whether
    // or not frames are drawn. Nothing fires while held, the music stopped.
    std::vector<ShowHost::FiredBeat> fireBeats(qint64 nowMs);

    const Timeline &timeline() const { return m_timeline; }
    // The last beat fired, in audio-clock units; -1 before any.
    float lastBeat() const { return m_timeline.beatsFired(); }
    bool isHeld() const { return m_timeline.isHeld(); }
    // The beat pulse as the last beat fired or the last frame stepped it.
    float pulse() const { return m_timeline.pulse(); }

    // Seconds of music a second of show time: the show time runs at 0.8 of
    // the music's (and the show timer's) pace.
    static constexpr double musicPerShowSecond = ShowTime::toSeconds(1.0);

    // The show time at which the music reaches an audio-clock value.
    static double showTimeOfClock(double clock);

    // Where the music should be for a show time, in frames and in
    // audio-clock units.
    static qint64 musicFrame(double showTime);
    static float musicClock(qint64 frame);
    // The music's position that the beats fire from: what the device has
    // been given, or the picture's when no device plays.
    qint64 beatPosition(qint64 nowMs) const;
    // The music being heard: what the device has been given less its
    // latency, or the picture's music (the audio offset taken off) when
    // no device plays; in frames and in audio-clock units, rounded.
    qint64 heardFrame(qint64 nowMs) const;
    int heardClock(qint64 nowMs) const;

    // The beats edited: they fire from now on, the last fired kept.
    void setBeats(const QList<int> &beats);

private:
    // The music's frame for the picture at nowMs, as the device is to get it.
    qint64 givenFrame(qint64 nowMs) const;
    // The show time jumped: the music and the beats start over from there.
    void follow(qint64 nowMs);

    MusicPlayer &m_player;
    Timeline m_timeline;
    QList<int> m_beats;
    bool m_started = false;
    double m_driftLimit = defaultDriftLimit;
    int m_offsetMs = 0;
    qint64 m_offsetFrames = 0;
};

#endif // TRANSPORT_H
