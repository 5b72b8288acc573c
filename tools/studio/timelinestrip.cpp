#include "timelinestrip.h"
#include "peakpyramid.h"
#include "showtime.h"
#include "transport.h"
#include "musicfile.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor background(0, 0, 0, 170);
const QColor rulerText(220, 220, 220);
const QColor rulerTick(160, 160, 160);
const QColor shotColours[] = {QColor(70, 90, 110), QColor(95, 115, 135)};
const QColor cutLine(255, 255, 255, 60);
const QColor showEndColour(230, 70, 70);
const QRgb waveformColour = qRgba(120, 200, 190, 255);
const QColor beatColour(255, 215, 90);
const QColor frameRateBeatColour(255, 140, 30);
const QColor neverBeatColour(235, 55, 55);
const QColor afterShowBeatColour(140, 140, 140);
const QColor selectedBeatColour(90, 225, 255);
const QColor loopMarkColour(255, 235, 60);
const QColor loopRangeColour(90, 140, 255, 45);
const QColor loopingRangeColour(90, 140, 255, 90);
const QColor playheadColour(255, 255, 255);

// Labelled steps of the ruler, in show seconds: the first that leaves this
// much room between labels.
constexpr double rulerSteps[] = {0.05, 0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 60.0};
constexpr double labelRoom = 56.0;

QColor beatColourFor(Firing firing)
{
    switch (firing) {
    case Firing::Always:
        break;
    case Firing::FrameRate:
        return frameRateBeatColour;
    case Firing::Never:
        return neverBeatColour;
    case Firing::AfterShow:
        return afterShowBeatColour;
    }
    return beatColour;
}

} // namespace

TimelineStrip::TimelineStrip()
    : m_scale(0.0, double(ShowTime::endShowTime()) + endMargin, narrowestSpan, 1)
    , m_font(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    m_font.setPixelSize(10);
}

void TimelineStrip::setMusicEnd(double showTime)
{
    m_scale.setBounds(0.0, std::max(double(ShowTime::endShowTime()), showTime) + endMargin);
}

QRectF TimelineStrip::area(const QSizeF &window)
{
    const double stripHeight = std::min<double>(height, window.height());
    return QRectF(0.0, window.height() - stripHeight, window.width(), stripHeight);
}

void TimelineStrip::setWindow(const QSizeF &window, double pixelRatio)
{
    m_area = area(window);
    m_pixelRatio = pixelRatio;
    m_scale.setColumns(int(std::lround(m_area.width() * pixelRatio)));
}

double TimelineStrip::timeAt(double x) const
{
    return m_scale.timeAt((x - m_area.left()) * m_pixelRatio);
}

double TimelineStrip::xAt(double time) const
{
    return m_area.left() + m_scale.columnAt(time) / m_pixelRatio;
}

TimelineStrip::Hit TimelineStrip::hitAt(const QPointF &point, const Content &content) const
{
    if (!m_on || !m_area.contains(point))
        return {};
    const double y = point.y() - m_area.top();
    if (y < rulerHeight) {
        // The nearer handle, the end's when they stand together (it can be
        // pulled away to the right, where the start cannot go).
        const double toStart = content.loopStart ? std::abs(xAt(*content.loopStart) - point.x()) : reach + 1.0;
        const double toEnd = content.loopEnd ? std::abs(xAt(*content.loopEnd) - point.x()) : reach + 1.0;
        if (toEnd <= reach && toEnd <= toStart)
            return {Part::LoopEnd, -1};
        if (toStart <= reach)
            return {Part::LoopStart, -1};
    }
    if (y >= height - beatLaneHeight) {
        int nearest = -1;
        double nearestDistance = reach;
        for (int i = 0; i < content.beats.size(); ++i) {
            const double distance = std::abs(xAt(Transport::showTimeOfClock(content.beats[i])) - point.x());
            if (distance <= nearestDistance) {
                nearest = i;
                nearestDistance = distance;
            }
        }
        if (nearest >= 0)
            return {Part::Beat, nearest};
    }
    return {Part::Seek, -1};
}

void TimelineStrip::paint(QPainter &painter, const Content &content, double showTime)
{
    if (!m_on || m_area.isEmpty())
        return;
    const QSize pixels(int(std::lround(m_area.width() * m_pixelRatio)),
                       int(std::lround(m_area.height() * m_pixelRatio)));
    if (!m_drawnOnce || m_image.size() != pixels || m_image.devicePixelRatio() != m_pixelRatio
        || m_drawnRevision != content.revision || m_drawnStart != m_scale.start() || m_drawnSpan != m_scale.span()) {
        if (m_image.size() != pixels)
            m_image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(m_pixelRatio);
        drawImage(content);
    }
    painter.drawImage(m_area.topLeft(), m_image);

    // The playhead, a device-independent pixel wide on whole device pixels.
    const double x = std::floor(xAt(showTime) * m_pixelRatio) / m_pixelRatio;
    if (x >= m_area.left() && x < m_area.right())
        painter.fillRect(QRectF(x, m_area.top(), 1.0, m_area.height()), playheadColour);
}

void TimelineStrip::drawImage(const Content &content)
{
    m_image.fill(background);
    if (content.peaks)
        drawWaveform(*content.peaks);
    QPainter painter(&m_image);
    drawShots(painter);
    drawLoop(painter, content);
    drawBeats(painter, content);
    drawRuler(painter);
    painter.end();

    ++m_imageDraws;
    m_drawnOnce = true;
    m_drawnRevision = content.revision;
    m_drawnStart = m_scale.start();
    m_drawnSpan = m_scale.span();
}

void TimelineStrip::drawRuler(QPainter &painter) const
{
    const double pixelsPerSecond = m_area.width() / m_scale.span();
    const double *step = std::find_if(std::begin(rulerSteps), std::end(rulerSteps),
                                      [&](double s) { return s * pixelsPerSecond >= labelRoom; });
    const double labelStep = step == std::end(rulerSteps) ? rulerSteps[std::size(rulerSteps) - 1] : *step;
    const double tickStep = labelStep / 5.0;
    const int decimals = labelStep < 0.1 ? 2 : labelStep < 1.0 ? 1 : 0;

    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const double left = m_scale.start();
    const double right = m_scale.end();
    for (qint64 i = qint64(std::ceil(left / tickStep)); double(i) * tickStep <= right; ++i) {
        const double time = double(i) * tickStep;
        const double x = std::floor((xAt(time) - m_area.left()) * m_pixelRatio) / m_pixelRatio;
        const bool labelled = i % 5 == 0;
        const double tick = labelled ? 6.0 : 3.0;
        painter.fillRect(QRectF(x, rulerHeight - tick, 1.0, tick), rulerTick);
        if (labelled) {
            painter.setPen(rulerText);
            painter.drawText(QPointF(x + 2.0, metrics.ascent() + 1.0), QString::number(time, 'f', decimals));
        }
    }
    painter.fillRect(QRectF(0.0, rulerHeight - 1.0, m_area.width(), 1.0 / m_pixelRatio), rulerTick);
}

void TimelineStrip::drawShots(QPainter &painter) const
{
    const double top = rulerHeight;
    const double fade = ShowTime::fadeSeconds;
    const auto x = [this](double time) { return xAt(time) - m_area.left(); };
    painter.setFont(m_font);
    for (int shot = 1; shot <= ShowTime::shots; ++shot) {
        const double start = ShowTime::shotStart(shot);
        const double end = ShowTime::shotEnd(shot);
        const QColor colour = shotColours[(shot - 1) % 2];
        // Black at the cut, the shot's colour a fade's length from it.
        QLinearGradient gradient(QPointF(x(start), 0.0), QPointF(x(end), 0.0));
        const double length = end - start;
        gradient.setColorAt(0.0, shot == 1 ? colour : Qt::black);
        gradient.setColorAt(shot == 1 ? 0.0 : fade / length, colour);
        gradient.setColorAt(1.0 - fade / length, colour);
        gradient.setColorAt(1.0, Qt::black);
        const QRectF band(QPointF(x(start), top), QPointF(x(end), top + shotsHeight));
        painter.fillRect(band, gradient);
        painter.setPen(rulerText);
        const QRectF label = band.intersected(QRectF(0.0, top, m_area.width(), shotsHeight));
        if (label.width() > 12.0)
            painter.drawText(label, Qt::AlignCenter, QString::number(shot));
        if (shot > 1)
            painter.fillRect(QRectF(x(start), top, 1.0 / m_pixelRatio, height - top), cutLine);
    }
    // Black from the picture's end; the show's end across the strip.
    painter.fillRect(QRectF(QPointF(x(ShowTime::pictureEnds), top),
                            QPointF(std::max(x(ShowTime::pictureEnds), m_area.width()), top + shotsHeight)),
                     Qt::black);
    painter.fillRect(QRectF(x(ShowTime::endShowTime()), top, 1.0, height - top), showEndColour);
}

void TimelineStrip::drawWaveform(const PeakPyramid &peaks)
{
    // Straight into the pixels, a column at a time: the lowest to the
    // highest sample under the column, from the level that fits it.
    const int top = int(std::lround((rulerHeight + shotsHeight + 1) * m_pixelRatio));
    const int bottom = int(std::lround((height - beatLaneHeight - 1) * m_pixelRatio));
    if (bottom <= top || peaks.levels() == 0)
        return;
    const double middle = (top + bottom) / 2.0;
    const double half = (bottom - top) / 2.0;
    const int level = peaks.levelFor(ShowTime::toSeconds(m_scale.secondsPerColumn()) * MusicFile::sampleRate);
    const int columns = m_image.width();
    qint64 first = Transport::musicFrame(m_scale.timeAt(0.0));
    for (int column = 0; column < columns; ++column) {
        const qint64 last = Transport::musicFrame(m_scale.timeAt(column + 1.0));
        PeakPyramid::Peak peak{};
        if (peaks.peak(first, std::max(last, first + 1), level, &peak)) {
            const int from = std::clamp(int(std::floor(middle - double(peak.high) * half)), top, bottom - 1);
            const int to = std::clamp(int(std::ceil(middle - double(peak.low) * half)), from + 1, bottom);
            for (int y = from; y < to; ++y)
                reinterpret_cast<QRgb *>(m_image.scanLine(y))[column] = waveformColour;
        }
        first = last;
    }
}

void TimelineStrip::drawBeats(QPainter &painter, const Content &content) const
{
    const double waveTop = rulerHeight + shotsHeight;
    const double laneTop = height - beatLaneHeight;
    const double width = 1.0 / m_pixelRatio;
    for (int i = 0; i < content.beats.size(); ++i) {
        const double x = xAt(Transport::showTimeOfClock(content.beats[i])) - m_area.left();
        if (x < -reach || x > m_area.width() + reach)
            continue;
        const Firing firing = i < content.verdicts.size() ? content.verdicts[i].firing : Firing::Always;
        const bool selected = i == content.selected;
        QColor colour = selected ? selectedBeatColour : beatColourFor(firing);
        const double px = std::floor(x * m_pixelRatio) / m_pixelRatio;
        // Faint over the waveform, solid in the lane.
        QColor faint = colour;
        faint.setAlpha(selected ? 200 : 90);
        painter.fillRect(QRectF(px, waveTop, width, laneTop - waveTop), faint);
        if (firing == Firing::Never && !selected) {
            // A beat the show can never fire: a cross, not a tick.
            painter.setPen(QPen(colour, 1.5));
            const double middle = laneTop + beatLaneHeight / 2.0;
            painter.drawLine(QPointF(px - 3.5, middle - 3.5), QPointF(px + 3.5, middle + 3.5));
            painter.drawLine(QPointF(px - 3.5, middle + 3.5), QPointF(px + 3.5, middle - 3.5));
        } else {
            painter.fillRect(QRectF(px - (selected ? 1.0 : 0.5), laneTop + 1.0, selected ? 3.0 : 2.0,
                                    beatLaneHeight - 2.0), colour);
        }
    }
}

void TimelineStrip::drawLoop(QPainter &painter, const Content &content) const
{
    const auto x = [this](double time) { return xAt(time) - m_area.left(); };
    if (content.loopStart && content.loopEnd) {
        const double from = std::min(*content.loopStart, *content.loopEnd);
        const double to = std::max(*content.loopStart, *content.loopEnd);
        painter.fillRect(QRectF(QPointF(x(from), rulerHeight), QPointF(x(to), height)),
                         content.looping ? loopingRangeColour : loopRangeColour);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (const bool start : {true, false}) {
        const std::optional<double> &mark = start ? content.loopStart : content.loopEnd;
        if (!mark)
            continue;
        const double at = std::floor(x(*mark) * m_pixelRatio) / m_pixelRatio;
        painter.fillRect(QRectF(at, 0.0, 1.0, height), loopMarkColour);
        // The handle: a flag hanging from the ruler's top, the start's to the
        // right, the end's to the left.
        const double towards = start ? 1.0 : -1.0;
        const QPointF handle[] = {QPointF(at, 0.0), QPointF(at + towards * 8.0, 0.0), QPointF(at, 9.0)};
        painter.setPen(Qt::NoPen);
        painter.setBrush(loopMarkColour);
        painter.drawPolygon(handle, 3);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}
