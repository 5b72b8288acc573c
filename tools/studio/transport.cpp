#include "transport.h"
#include "musicfile.h"
#include "musicplayer.h"
#include "showtime.h"

#include <cmath>

namespace {

// Seconds of music a second of show time: the show time runs at 0.8 of the
// music's (and the show timer's) pace.
constexpr double musicPerShowSecond = double(ShowTime::msPerSecond) / 1000.0;

} // namespace

Transport::Transport(MusicPlayer &player)
    : m_player(player)
{
}

qint64 Transport::musicFrame(double showTime)
{
    return std::llround(showTime * musicPerShowSecond * MusicFile::sampleRate);
}

float Transport::musicClock(qint64 frame)
{
    return float(double(frame) * MusicFile::clockPerSecond / MusicFile::sampleRate);
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
    m_player.seek(musicFrame(m_timeline.at(nowMs)));
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
    const qint64 frame = musicFrame(m_timeline.at(nowMs));
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
        const qint64 expected = musicFrame(now);
        if (std::abs(double(m_player.position() - expected)) > m_driftLimit * MusicFile::sampleRate)
            m_player.seek(expected);
    }
    return now;
}

qint64 Transport::beatPosition(qint64 nowMs) const
{
    return m_player.isStreaming() ? m_player.position() : musicFrame(m_timeline.at(nowMs));
}

float Transport::beatPulse(qint64 nowMs)
{
    if (m_started)
        m_beats.reach(musicClock(beatPosition(nowMs)));
    return m_beats.nextPulse();
}
