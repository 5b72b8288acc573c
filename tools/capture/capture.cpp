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
    QMetaObject::invokeMethod(this, &Capture::nextFrame, Qt::QueuedConnection);
}

void Capture::nextFrame()
{
    const qint64 k = m_next++;
    const QImage frame = m_scene.frame(m_schedule.showTime(k));
    if (frame.isNull())
        return stop(QStringLiteral("the GL gave no frame"));
    if (!m_sink.write(frame, k))
        return stop(m_sink.error());
    m_progress.frameDone();

    if (m_next < m_schedule.first() + m_schedule.count()) {
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
