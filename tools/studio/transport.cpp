#include "transport.h"
#include "musicfile.h"
#include "musicplayer.h"
#include "showtime.h"

#include <cmath>

Transport::Transport(MusicPlayer &player)
    : m_player(player)
{
}

qint64 Transport::musicFrame(double showTime)
{
    return std::llround(ShowTime::toSeconds(showTime) * MusicFile::sampleRate);
}

double Transport::showTimeOfClock(double clock)
{
    return ShowTime::fromSeconds(MusicFile::secondsAtClock(clock));
}

float Transport::musicClock(qint64 frame)
{
    return float(MusicFile::clockAtSeconds(double(frame) / MusicFile::sampleRate));
}

qint64 Transport::givenFrame(qint64 nowMs) const
{
    return musicFrame(m_timeline.at(nowMs)) - m_offsetFrames;
}

void Transport::setAudioOffset(int ms)
{
    m_offsetMs = ms;
    m_offsetFrames = qint64(ms) * MusicFile::sampleRate / 1000;
}

qint64 Transport::heardFrame(qint64 nowMs) const
{
    return m_player.isStreaming() ? m_player.position() - m_player.latencyFrames() : givenFrame(nowMs);
}

int Transport::heardClock(qint64 nowMs) const
{
    return int(std::llround(MusicFile::clockAtSeconds(double(heardFrame(nowMs)) / MusicFile::sampleRate)));
}

void Transport::setBeats(const QList<int> &beats)
{
    m_beats.setBeats(beats);
}

void Transport::start(qint64 nowMs)
{
    m_started = true;
    m_beats = BeatTracker(m_player.beats());
    m_timeline.start(nowMs);
    follow(nowMs);
}

void Transport::seek(double seconds, qint64 nowMs)
{
    m_timeline.seek(seconds, nowMs);
    follow(nowMs);
}

void Transport::seekTo(double showTime, qint64 nowMs)
{
    m_timeline.seekTo(showTime, nowMs);
    follow(nowMs);
}

void Transport::restart(qint64 nowMs)
{
    m_timeline.restart(nowMs);
    follow(nowMs);
}

void Transport::toggleHold(qint64 nowMs)
{
    m_timeline.toggleHold(nowMs);
    // The music stops where the picture stops, and goes on from exactly there.
    m_player.setPlaying(m_started && !m_timeline.isHeld());
    m_player.seek(givenFrame(nowMs));
}

void Transport::markLoopStart(qint64 nowMs)
{
    if (m_timeline.markLoopStart(nowMs))
        follow(nowMs);
}

void Transport::markLoopEnd(qint64 nowMs)
{
    if (m_timeline.markLoopEnd(nowMs))
        follow(nowMs);
}

void Transport::setLoopStart(double showTime, qint64 nowMs)
{
    if (m_timeline.setLoopStart(showTime, nowMs))
        follow(nowMs);
}

void Transport::setLoopEnd(double showTime, qint64 nowMs)
{
    if (m_timeline.setLoopEnd(showTime, nowMs))
        follow(nowMs);
}

void Transport::playSnippet(qint64 nowMs)
{
    if (m_started && m_timeline.isHeld())
        m_player.playSnippet(givenFrame(nowMs), snippetFrames);
}

bool Transport::toggleLoop(qint64 nowMs)
{
    bool jumped = false;
    const bool done = m_timeline.toggleLoop(nowMs, &jumped);
    if (jumped)
        follow(nowMs);
    return done;
}

void Transport::follow(qint64 nowMs)
{
    const qint64 frame = givenFrame(nowMs);
    m_player.seek(frame);
    m_player.setPlaying(m_started && !m_timeline.isHeld());
    m_beats.jumpTo(musicClock(frame));
}

double Transport::showTime(qint64 nowMs)
{
    if (m_timeline.wrap(nowMs))
        follow(nowMs);
    const double now = m_timeline.at(nowMs);
    if (m_player.isStreaming() && m_player.isPlaying()) {
        const qint64 expected = musicFrame(now) - m_offsetFrames;
        if (std::abs(double(m_player.position() - expected)) > m_driftLimit * MusicFile::sampleRate)
            m_player.seek(expected);
    }
    return now;
}

qint64 Transport::beatPosition(qint64 nowMs) const
{
    return m_player.isStreaming() ? m_player.position() : givenFrame(nowMs);
}

float Transport::beatPulse(qint64 nowMs)
{
    if (m_started)
        m_beats.reach(musicClock(beatPosition(nowMs)));
    return m_beats.nextPulse();
}
