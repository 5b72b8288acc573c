#include "frameschedule.h"

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
