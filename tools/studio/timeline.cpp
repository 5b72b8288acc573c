#include "timeline.h"
#include "showtime.h"

#include <cmath>
#include <limits>

namespace {

// The shot that ends at t (shots run up to, not including, their end).
int shotEndingAt(double t)
{
    return ShowTime::shotAt(std::nextafter(float(t), -std::numeric_limits<float>::infinity()));
}

} // namespace

void Timeline::start(qint64 nowMs)
{
    m_timerStartMs = nowMs;
    m_show = {};
}

double Timeline::at(qint64 nowMs) const
{
    const double now = unwrapped(nowMs);
    if (!m_loop || now < m_loop->end)
        return now;
    return m_loop->start + std::fmod(now - m_loop->end, m_loop->end - m_loop->start);
}

double Timeline::unwrapped(qint64 nowMs) const
{
    return ShowHost::showTime(m_show, timerMs(nowMs));
}

void Timeline::seekTo(double showTime, qint64 nowMs)
{
    m_show.timeAdjustment += showTime - unwrapped(nowMs);
}

ShowHost::KeyOutcome Timeline::act(const KeyMap::Binding &binding, qint64 nowMs)
{
    wrap(nowMs);
    const ShowHost::KeyOutcome outcome = ShowHost::act(m_show, binding, timerMs(nowMs));
    if (outcome.restartTimer)
        m_timerStartMs = nowMs;
    return outcome;
}

bool Timeline::markLoopStart(qint64 nowMs)
{
    return setLoopStart(at(nowMs), nowMs);
}

bool Timeline::markLoopEnd(qint64 nowMs)
{
    return setLoopEnd(at(nowMs), nowMs);
}

bool Timeline::setLoopStart(double showTime, qint64 nowMs)
{
    m_startMark = showTime;
    return markChanged(nowMs);
}

bool Timeline::setLoopEnd(double showTime, qint64 nowMs)
{
    m_endMark = showTime;
    return markChanged(nowMs);
}

// A running loop takes the new marks at once, and stops when they leave
// nothing to loop.
bool Timeline::markChanged(qint64 nowMs)
{
    if (!m_loop)
        return false;
    seekTo(at(nowMs), nowMs);
    m_loop.reset();
    bool jumped = false;
    toggleLoop(nowMs, &jumped);
    return jumped;
}

std::optional<Timeline::Range> Timeline::loopRange(qint64 nowMs) const
{
    Range range{};
    if (m_startMark && m_endMark) {
        range = {std::min(*m_startMark, *m_endMark), std::max(*m_startMark, *m_endMark)};
    } else if (m_startMark) {
        range = {*m_startMark, ShowTime::shotEnd(ShowTime::shotAt(float(*m_startMark)))};
    } else if (m_endMark) {
        range = {ShowTime::shotStart(shotEndingAt(*m_endMark)), *m_endMark};
    } else {
        const int shot = ShowTime::shotAt(float(at(nowMs)));
        range = {ShowTime::shotStart(shot), ShowTime::shotEnd(shot)};
    }
    if (range.end - range.start < shortestLoop)
        return std::nullopt;
    return range;
}

bool Timeline::toggleLoop(qint64 nowMs, bool *jumped)
{
    if (jumped)
        *jumped = false;
    if (m_loop) {
        // On from where the loop has the show time.
        seekTo(at(nowMs), nowMs);
        m_loop.reset();
        return true;
    }
    m_loop = loopRange(nowMs);
    if (!m_loop)
        return false;
    const double now = unwrapped(nowMs);
    if (now < m_loop->start || now >= m_loop->end) {
        seekTo(m_loop->start, nowMs);
        if (jumped)
            *jumped = true;
    }
    return true;
}

bool Timeline::wrap(qint64 nowMs)
{
    if (!m_loop || unwrapped(nowMs) < m_loop->end)
        return false;
    seekTo(at(nowMs), nowMs);
    return true;
}
