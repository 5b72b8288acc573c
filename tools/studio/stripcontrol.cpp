#include "stripcontrol.h"
#include "beateditor.h"
#include "beatverdicts.h"
#include "musicfile.h"
#include "peakloader.h"
#include "showtime.h"
#include "transport.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyleHints>

#include <cmath>

StripControl::StripControl(Transport &transport, BeatEditor &beats, const PeakLoader &peaks)
    : m_transport(transport)
    , m_beats(beats)
    , m_peaks(peaks)
{
}

void StripControl::contentChanged()
{
    m_content.peaks = m_peaks.pyramid();
    if (m_content.beats != m_beats.beats() || m_content.verdicts.size() != m_content.beats.size()) {
        m_content.beats = m_beats.beats();
        m_content.verdicts = judgeBeats(m_content.beats);
    }
    m_content.selected = m_beats.edits().selected();
    m_content.loopStart = m_transport.timeline().loopStartMark();
    m_content.loopEnd = m_transport.timeline().loopEndMark();
    m_content.looping = m_transport.timeline().loop().has_value();
    ++m_content.revision;
    emit changed();
}

bool StripControl::press(const QPointF &at, Qt::MouseButton button, qint64 nowMs)
{
    if (m_drag != Drag::None || !m_transport.isStarted() || !m_strip.isOn())
        return false;
    const TimelineStrip::Hit hit = m_strip.hitAt(at, m_content);
    if (hit.part == TimelineStrip::Part::Outside)
        return false;
    m_dragX = at.x();
    if (button == Qt::MiddleButton) {
        m_drag = Drag::Pan;
    } else if (button == Qt::LeftButton) {
        switch (hit.part) {
        case TimelineStrip::Part::LoopStart:
            m_drag = Drag::LoopStart;
            break;
        case TimelineStrip::Part::LoopEnd:
            m_drag = Drag::LoopEnd;
            break;
        case TimelineStrip::Part::Beat:
            m_drag = Drag::Beat;
            m_beatDragged = false;
            m_beats.select(hit.beat);
            m_draggedFrom = m_beats.beats()[hit.beat];
            break;
        case TimelineStrip::Part::Seek:
        case TimelineStrip::Part::Outside:
            m_drag = Drag::Seek;
            seekTo(m_strip.timeAt(m_dragX), nowMs);
            break;
        }
    }
    return true;
}

bool StripControl::move(double x, qint64 nowMs)
{
    if (m_drag == Drag::None)
        return false;
    dragTo(x, nowMs);
    return true;
}

bool StripControl::release(double x, qint64 nowMs)
{
    if (m_drag == Drag::None)
        return false;
    dragTo(x, nowMs);
    m_drag = Drag::None;
    return true;
}

void StripControl::dragTo(double x, qint64 nowMs)
{
    switch (m_drag) {
    case Drag::None:
        return;
    case Drag::Seek:
        seekTo(m_strip.timeAt(x), nowMs);
        return;
    case Drag::Pan:
        m_strip.scale().pan((m_dragX - x) * m_pixelRatio);
        m_dragX = x;
        emit changed();
        return;
    case Drag::LoopStart:
        m_transport.setLoopStart(m_strip.timeAt(x), nowMs);
        contentChanged();
        return;
    case Drag::LoopEnd:
        m_transport.setLoopEnd(m_strip.timeAt(x), nowMs);
        contentChanged();
        return;
    case Drag::Beat:
        dragBeat(x);
        return;
    }
}

void StripControl::dragBeat(double x)
{
    // A click only selects: the beat moves once the pointer has gone some
    // way, by as much as the pointer has, to the nearest clock unit. The
    // moves of one drag are one edit.
    if (!m_beatDragged && std::abs(x - m_dragX) < QGuiApplication::styleHints()->startDragDistance())
        return;
    const double seconds = ShowTime::toSeconds(m_strip.timeAt(x) - m_strip.timeAt(m_dragX));
    if (m_beats.moveSelected(m_draggedFrom + int(std::lround(MusicFile::clockAtSeconds(seconds))), m_beatDragged))
        m_beatDragged = true;
}

void StripControl::seekTo(double showTime, qint64 nowMs)
{
    m_transport.seekTo(showTime, nowMs);
    m_transport.playSnippet(nowMs);
    emit changed();
}

bool StripControl::wheel(const QPointF &at, const QPoint &angleDelta, Qt::KeyboardModifiers modifiers)
{
    if (!m_strip.isOn() || m_strip.hitAt(at, m_content).part == TimelineStrip::Part::Outside)
        return false;
    // Eighths of a degree; a notch is 120. A sideways wheel pans, as does Shift.
    const bool pan = (modifiers & Qt::ShiftModifier) || angleDelta.x() != 0;
    const double notches = (angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x()) / 120.0;
    const double columns = double(m_strip.scale().columns());
    if (pan)
        m_strip.scale().pan(-notches * panPerNotch * columns);
    else
        m_strip.scale().zoom(std::pow(zoomPerNotch, notches), (at.x() - m_strip.area().left()) * m_pixelRatio);
    emit changed();
    return true;
}

void StripControl::follow(double showTime, bool running)
{
    if (running && m_drag == Drag::None)
        m_strip.scale().follow(showTime);
}

void StripControl::paint(QPainter &painter, const QSize &window, double pixelRatio, double showTime)
{
    if (!m_strip.isOn())
        return;
    m_pixelRatio = pixelRatio;
    m_strip.setWindow(window, pixelRatio);
    m_strip.paint(painter, m_content, showTime);
}
