#ifndef CAPTURE_H
#define CAPTURE_H

#include "frameschedule.h"
#include "progress.h"

#include <QObject>

class FrameSink;
class OffscreenScene;

// Draws the scheduled frames one per turn of the event loop, so that the
// loop can be told to quit between any two, and hands them to the sink, each
// while the GL draws the next.
// Quits the loop with 0 once the output is in place, 1 on a failure.
class Capture : public QObject
{
    Q_OBJECT

public:
    Capture(OffscreenScene &scene, const FrameSchedule &schedule, FrameSink &sink);

    void start();
    bool isComplete() const { return m_complete; }
    QString error() const { return m_error; }

private:
    void nextFrame();
    void stop(const QString &error);

    OffscreenScene &m_scene;
    const FrameSchedule &m_schedule;
    FrameSink &m_sink;
    Progress m_progress;
    qint64 m_next;
    bool m_complete = false;
    QString m_error;
};

#endif // CAPTURE_H
