#include "capture.h"

#include "framerenderer.h"
#include "framesink.h"

#include <QCoreApplication>

Capture::Capture(FrameRenderer &renderer, const FrameSchedule &schedule, double shutter, int subframes,
                 FrameSink &sink)
    : m_renderer(renderer)
    , m_schedule(schedule)
    , m_shutter(shutter)
    , m_subframes(subframes)
    , m_sink(sink)
    , m_progress(schedule.count())
    , m_nextDrawn(schedule.first())
    , m_nextWritten(schedule.first())
{
    connect(&m_sink, &FrameSink::ready, this, &Capture::scheduleStep);
    connect(&m_sink, &FrameSink::failed, this, [this] { stop(m_sink.error()); });
    connect(&m_sink, &FrameSink::finished, this, [this] {
        m_complete = true;
        QCoreApplication::exit(0);
    });
}

void Capture::start()
{
    scheduleStep();
}

void Capture::scheduleStep()
{
    if (m_stepScheduled || m_finishing || !m_error.isEmpty())
        return;
    m_stepScheduled = true;
    QMetaObject::invokeMethod(this, &Capture::step, Qt::QueuedConnection);
}

void Capture::step()
{
    m_stepScheduled = false;
    if (m_finishing || !m_error.isEmpty())
        return;

    // The GL draws: the next part of the frame on its way, or the next
    // frame, but only while the sink can take the one before.
    const qint64 end = m_schedule.first() + m_schedule.count();
    if (m_renderer.isDrawing()) {
        m_renderer.drawNext();
    } else if (m_nextDrawn < end && m_sink.isReady()) {
        m_renderer.begin(m_schedule.showTimes(m_nextDrawn++, m_shutter, m_subframes));
        m_renderer.drawNext();
    }

    // The sink takes a frame the GL has done with, while it draws the next.
    const bool drawingOn = m_renderer.isDrawing() || m_nextDrawn < end;
    if (m_sink.isReady() && m_renderer.pending() > (drawingOn ? 1 : 0)) {
        const QByteArray frame = m_renderer.take();
        if (frame.isEmpty())
            return stop(QStringLiteral("the GL gave no frame"));
        if (!m_sink.write(frame, m_nextWritten++))
            return stop(m_sink.error());
        m_progress.frameDone(m_sink.bytesWritten());
    }

    if (m_nextWritten == end) {
        m_finishing = true;
        m_sink.finish();
        return;
    }
    // Otherwise the sink's ready() brings the capture back.
    if (m_renderer.isDrawing() || m_sink.isReady())
        scheduleStep();
}

void Capture::stop(const QString &error)
{
    if (!m_error.isEmpty())
        return;
    m_error = error;
    QCoreApplication::exit(1);
}
