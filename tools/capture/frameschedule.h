#ifndef FRAMESCHEDULE_H
#define FRAMESCHEDULE_H

#include "showtime.h"

#include <QtGlobal>

#include <vector>

// The frames of the show at a fixed frame rate. Frame k is the one the show
// draws when its timer reads k / fps seconds; the timer counts whole
// milliseconds, so the frame's show time comes from the milliseconds the
// timer reads then, exactly as the frame loop takes it. The show draws every
// frame whose timer is not past the end and closes on the first one that is,
// so the last frame kept is the last one not past the end: the frames cover
// the show from 0 to just past 38.2 s.
class FrameSchedule
{
public:
    // The frames of the show whose show time lies in [fromSeconds, toSeconds).
    FrameSchedule(int fps, double fromSeconds, double toSeconds);
    // Show frames first to first + count - 1.
    FrameSchedule(int fps, qint64 first, qint64 count);

    int fps() const { return m_fps; }
    // Show frame number of the first frame, and how many frames there are.
    qint64 first() const { return m_first; }
    qint64 count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

    // The show timer's reading and the show time at show frame k.
    qint64 timerMs(qint64 k) const { return k * 1000 / m_fps; }
    float showTime(qint64 k) const { return ShowTime::at(timerMs(k)); }

    // The show times a frame is made of. Without a shutter (0), the frame's
    // own. With one, sub-frames spread evenly over that fraction of the
    // frame's duration from the frame's moment on, as a film camera's shutter
    // opens at the frame and stays open that long: each sub-frame in the
    // middle of its share of the time.
    std::vector<float> showTimes(qint64 k, double shutter, int subframes) const;

    // The k-th of n parts of these frames (k from 1 to n), split by frames:
    // part k holds the frames from count x (k - 1) / n to before count x k / n,
    // counted from the first, so the parts hold every frame once whatever n.
    FrameSchedule part(int k, int n) const;

    // The music's first sample of show frame k, which the show plays when
    // its timer reaches the frame: the sound of a stretch ends exactly where
    // the next stretch's begins.
    qint64 sampleAt(qint64 k) const;

    // Real seconds from the show's start to the first frame, and how long the
    // frames last on screen.
    double startSeconds() const { return double(m_first) / m_fps; }
    double durationSeconds() const { return double(m_count) / m_fps; }

private:
    int m_fps;
    qint64 m_first = 0;
    qint64 m_count = 0;
};

#endif // FRAMESCHEDULE_H
