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
    m_beats = beats;
}

void Transport::start(qint64 nowMs)
{
    m_started = true;
    m_beats = m_player.beats();
    m_timeline.start(nowMs);
    follow(nowMs);
}

ShowHost::KeyOutcome Transport::act(const KeyMap::Binding &binding, qint64 nowMs)
{
    const ShowHost::KeyOutcome outcome = m_timeline.act(binding, nowMs);
    if (binding.action == KeyMap::Action::Hold) {
        // The music stops where the picture stops, and goes on from exactly there.
        m_player.setPlaying(m_started && !m_timeline.isHeld());
        m_player.seek(givenFrame(nowMs));
    } else if (binding.action == KeyMap::Action::Seek || binding.action == KeyMap::Action::Restart) {
        follow(nowMs);
    }
    return outcome;
}

void Transport::seek(double seconds, qint64 nowMs)
{
    seekTo(m_timeline.at(nowMs) + seconds, nowMs);
}

void Transport::restart(qint64 nowMs)
{
    act({0, "", KeyMap::Action::Restart, 0.0f}, nowMs);
}

void Transport::toggleHold(qint64 nowMs)
{
    act({0, "", KeyMap::Action::Hold, 0.0f}, nowMs);
}

void Transport::seekTo(double showTime, qint64 nowMs)
{
    m_timeline.seekTo(showTime, nowMs);
    follow(nowMs);
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
    ShowHost::musicJumped(m_timeline.state(), musicClock(frame));
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

ShowHost::Frame Transport::frame(qint64 nowMs)
{
    // The device moves the music on while the beats are weighed.
    return ShowHost::frame(m_timeline.state(), m_beats, m_timeline.timerMs(nowMs), ShowHost::noReport,
                           [this, nowMs] { return musicClock(beatPosition(nowMs)); });
}

std::vector<ShowHost::FiredBeat> Transport::fireBeats(qint64 nowMs)
{
    if (!m_started || m_timeline.isHeld())
        return {};
    // The loop's wrap and the music's drift are put right first, as a frame
    // would, so that the beats fire from where the music is.
    showTime(nowMs);
    return ShowHost::fireBeats(m_timeline.state(), m_beats,
                               [this, nowMs] { return musicClock(beatPosition(nowMs)); });
}
