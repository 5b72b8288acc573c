#ifndef STRIPCONTROL_H
#define STRIPCONTROL_H

#include "timelinestrip.h"

#include <QObject>

class BeatEditor;
class PeakLoader;
class QPainter;
class Transport;

// The timeline strip as the maker works it with the mouse: a click seeks
// and a drag scrubs, a beat is picked and dragged, the loop's handles are
// dragged, the middle button pans and the wheel zooms (pans sideways or
// with Shift). What the strip shows follows the transport, the beat editor
// and the waveform. Positions are in the window's device-independent pixels.
class StripControl : public QObject
{
    Q_OBJECT

public:
    // A wheel's notch (120 eighths of a degree) zooms by this much, or pans
    // a tenth of the strip.
    static constexpr double zoomPerNotch = 0.8;
    static constexpr double panPerNotch = 0.1;

    StripControl(Transport &transport, BeatEditor &beats, const PeakLoader &peaks);

    TimelineStrip &strip() { return m_strip; }
    const TimelineStrip &strip() const { return m_strip; }
    const TimelineStrip::Content &content() const { return m_content; }
    // Something the strip shows has changed: its image is drawn again.
    void contentChanged();

    // Each returns whether the strip took the event.
    bool press(const QPointF &at, Qt::MouseButton button, qint64 nowMs);
    bool move(double x, qint64 nowMs);
    bool release(double x, qint64 nowMs);
    bool wheel(const QPointF &at, const QPoint &angleDelta, Qt::KeyboardModifiers modifiers);
    bool isDragging() const { return m_drag != Drag::None; }

    // The view follows the show time while it runs and nothing is dragged.
    void follow(double showTime, bool running);
    // Over a window of this size, when the strip is on.
    void paint(QPainter &painter, const QSize &window, double pixelRatio, double showTime);

signals:
    // The strip or the show time changed: a frame shows it.
    void changed();

private:
    enum class Drag { None, Seek, Beat, LoopStart, LoopEnd, Pan };

    void dragTo(double x, qint64 nowMs);
    void dragBeat(double x);
    void seekTo(double showTime, qint64 nowMs);

    Transport &m_transport;
    BeatEditor &m_beats;
    const PeakLoader &m_peaks;
    TimelineStrip m_strip;
    TimelineStrip::Content m_content;
    double m_pixelRatio = 1.0;

    // What a button held in the strip drags.
    Drag m_drag = Drag::None;
    double m_dragX = 0.0;
    bool m_beatDragged = false;
    int m_draggedFrom = 0; // the dragged beat's value when the drag began
};

#endif // STRIPCONTROL_H
