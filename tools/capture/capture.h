#ifndef CAPTURE_H
#define CAPTURE_H

#include "frameschedule.h"
#include "progress.h"

#include <QObject>

class FrameRenderer;
class FrameSink;

// Draws the scheduled frames a part (a sub-frame) per turn of the event
// loop, so that the loop can be told to quit between any two, and hands them
// to the sink, each while the GL draws the next. When the sink is not ready
// for another frame the capture waits for it in the event loop.
// Quits the loop with 0 once the output is in place, 1 on a failure.
class Capture : public QObject
{
    Q_OBJECT

public:
    // A shutter above 0 makes each frame of `subframes` sub-frames.
    Capture(FrameRenderer &renderer, const FrameSchedule &schedule, double shutter, int subframes, FrameSink &sink);

    void start();
    bool isComplete() const { return m_complete; }
    QString error() const { return m_error; }

private:
    void step();
    void scheduleStep();
    void stop(const QString &error);

    FrameRenderer &m_renderer;
    const FrameSchedule &m_schedule;
    double m_shutter;
    int m_subframes;
    FrameSink &m_sink;
    Progress m_progress;
    qint64 m_nextDrawn;     // show frame to draw next
    qint64 m_nextWritten;   // show frame to hand to the sink next
    bool m_stepScheduled = false;
    bool m_finishing = false;
    bool m_complete = false;
    QString m_error;
};

#endif // CAPTURE_H
