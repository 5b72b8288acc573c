#ifndef TIMELINESTRIP_H
#define TIMELINESTRIP_H

#include "beatverdicts.h"
#include "stripscale.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QVector>

#include <optional>

class PeakPyramid;
class QPainter;

// The timeline strip along the bottom of the studio's window, over the
// picture: a ruler in show seconds with the loop's handles, the five shots
// with their fades and the show's end, the music's waveform, the beats (a
// lane of their own at the bottom, to pick them by), the loop's range and
// the playhead. Its height is fixed in device-independent pixels; it is
// drawn in device pixels, so that it is sharp at any pixel ratio.
//
// Everything but the playhead is drawn into an image that is kept until
// what it shows changes, so that a frame that only moves the playhead costs
// one image and one line.
class TimelineStrip
{
public:
    // What the strip shows, besides the show time.
    struct Content
    {
        const PeakPyramid *peaks = nullptr;
        QList<int> beats;
        QVector<Verdict> verdicts;  // one for each beat
        int selected = -1;          // a beat's place in the list
        std::optional<double> loopStart;
        std::optional<double> loopEnd;
        bool looping = false;
        // Changes whenever any of the above does: the kept image is drawn again.
        quint64 revision = 0;
    };

    enum class Part { Outside, Seek, Beat, LoopStart, LoopEnd };
    struct Hit
    {
        Part part = Part::Outside;
        int beat = -1;
    };

    // The strip's height, and its bands from the top, in device-independent pixels.
    static constexpr int height = 96;
    static constexpr int rulerHeight = 16;
    static constexpr int shotsHeight = 10;
    static constexpr int beatLaneHeight = 14;
    // The closest zoom: this many show seconds across the strip.
    static constexpr double narrowestSpan = 0.5;
    // Shown past the end of the show or of the music, whichever is later.
    static constexpr double endMargin = 0.5;
    // How near a beat or a loop handle the pointer must be to take it.
    static constexpr double reach = 5.0;

    TimelineStrip();

    bool isOn() const { return m_on; }
    void toggle() { m_on = !m_on; }

    // Where the strip lies in a window of this size (device-independent pixels).
    static QRectF area(const QSizeF &window);
    // Lays the strip out along the bottom of the window at a pixel ratio.
    void setWindow(const QSizeF &window, double pixelRatio);
    QRectF area() const { return m_area; }

    // The whole strip: from show time 0 past the show's end and the
    // music's, whichever comes later, by a little.
    void setMusicEnd(double showTime);

    StripScale &scale() { return m_scale; }
    const StripScale &scale() const { return m_scale; }
    // The show time under an x in the window, and the x of a show time.
    double timeAt(double x) const;
    double xAt(double time) const;

    Hit hitAt(const QPointF &point, const Content &content) const;

    void paint(QPainter &painter, const Content &content, double showTime);

    // The kept image as last drawn (for tests and benchmarks), and how many
    // times it has been drawn.
    const QImage &image() const { return m_image; }
    int imageDraws() const { return m_imageDraws; }

private:
    void drawImage(const Content &content);
    void drawRuler(QPainter &painter) const;
    void drawShots(QPainter &painter) const;
    void drawWaveform(const PeakPyramid &peaks);
    void drawBeats(QPainter &painter, const Content &content) const;
    void drawLoop(QPainter &painter, const Content &content) const;

    bool m_on = true;
    QRectF m_area;
    double m_pixelRatio = 1.0;
    StripScale m_scale;
    QFont m_font;

    QImage m_image;
    int m_imageDraws = 0;
    // What the kept image was drawn for.
    quint64 m_drawnRevision = 0;
    double m_drawnStart = 0.0;
    double m_drawnSpan = 0.0;
    bool m_drawnOnce = false;
};

#endif // TIMELINESTRIP_H
