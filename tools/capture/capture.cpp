#include "capture.h"

#include "framesink.h"
#include "offscreenscene.h"

#include <QCoreApplication>
#include <QImage>

Capture::Capture(OffscreenScene &scene, const FrameSchedule &schedule, FrameSink &sink)
    : m_scene(scene)
    , m_schedule(schedule)
    , m_sink(sink)
    , m_progress(schedule.count())
    , m_next(schedule.first())
{
}

void Capture::start()
{
    m_scene.draw(m_schedule.showTime(m_next));
    QMetaObject::invokeMethod(this, &Capture::nextFrame, Qt::QueuedConnection);
}

void Capture::nextFrame()
{
    const qint64 k = m_next++;
    const QImage frame = m_scene.read();
    if (frame.isNull())
        return stop(QStringLiteral("the GL gave no frame"));
    // The GL draws the next frame while this one goes to the sink.
    const bool more = m_next < m_schedule.first() + m_schedule.count();
    if (more)
        m_scene.draw(m_schedule.showTime(m_next));
    if (!m_sink.write(frame, k))
        return stop(m_sink.error());
    m_progress.frameDone();

    if (more) {
        QMetaObject::invokeMethod(this, &Capture::nextFrame, Qt::QueuedConnection);
        return;
    }
    if (!m_sink.commit())
        return stop(m_sink.error());
    m_complete = true;
    QCoreApplication::exit(0);
}

void Capture::stop(const QString &error)
{
    m_error = error;
    QCoreApplication::exit(1);
}
