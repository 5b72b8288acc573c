#include "frameschedule.h"

#include "musicfile.h"

FrameSchedule::FrameSchedule(int fps, double fromSeconds, double toSeconds)
    : m_fps(fps)
{
    // At most one frame per millisecond: walking them keeps the choice in the
    // show's own rules and float arithmetic.
    qint64 k = 0;
    while (!ShowTime::isOver(timerMs(k)) && double(showTime(k)) < fromSeconds)
        ++k;
    m_first = k;
    while (!ShowTime::isOver(timerMs(k)) && double(showTime(k)) < toSeconds)
        ++k;
    m_count = k - m_first;
}

FrameSchedule::FrameSchedule(int fps, qint64 first, qint64 count)
    : m_fps(fps)
    , m_first(first)
    , m_count(count)
{
}

FrameSchedule FrameSchedule::part(int k, int n) const
{
    const qint64 begin = m_count * (k - 1) / n;
    const qint64 end = m_count * k / n;
    return {m_fps, m_first + begin, end - begin};
}

qint64 FrameSchedule::sampleAt(qint64 k) const
{
    return (k * MusicFile::sampleRate + m_fps / 2) / m_fps;
}

std::vector<float> FrameSchedule::showTimes(qint64 k, double shutter, int subframes) const
{
    if (shutter <= 0.0)
        return {showTime(k)};
    const double openMs = shutter * 1000.0 / m_fps;
    std::vector<float> times;
    for (int j = 0; j < subframes; ++j) {
        const double ms = double(timerMs(k)) + openMs * (j + 0.5) / subframes;
        // In float, as the frame loop has it: a sub-frame on a whole
        // millisecond is exactly the frame the show would draw then.
        times.push_back(ShowTime::fromTimerMs(float(ms)));
    }
    return times;
}
