#include "headsup.h"
#include "showtime.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

namespace {

const QColor boxColour(0, 0, 0, 180);
const QColor lineColour(255, 255, 255);
const QColor messageColour(255, 190, 170);
const QColor questionBoxColour(120, 0, 0, 220);
constexpr int margin = 6;
constexpr int padding = 4;

} // namespace

HeadsUp::HeadsUp()
    : m_font(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    m_font.setPixelSize(14);
}

QString HeadsUp::line(const Status &status)
{
    // What matters most first: a narrow window cuts the line's end.
    QStringList parts;
    parts << QStringLiteral("%1 s").arg(status.showTime, 0, 'f', 2)
          << QStringLiteral("shot %1").arg(ShowTime::shotAt(float(status.showTime)));
    if (!status.stageInError.isEmpty())
        parts << QStringLiteral("%1 stage in error").arg(status.stageInError);
    if (status.unsaved)
        parts << QStringLiteral("beats edited, unsaved");
    if (status.held)
        parts << QStringLiteral("held");
    if (status.loop)
        parts << QStringLiteral("loop %1-%2").arg(status.loop->first, 0, 'f', 2).arg(status.loop->second, 0, 'f', 2);
    if (status.frameMs > 0.0)
        parts << QStringLiteral("%1 ms %2 fps").arg(status.frameMs, 0, 'f', 1).arg(1000.0 / status.frameMs, 0, 'f', 1);
    parts << QStringLiteral("scale %1").arg(status.scale)
          << QStringLiteral("beat %1").arg(double(status.beat), 0, 'f', 1);
    if (status.audioOffsetMs != 0)
        parts << QStringLiteral("audio offset %1%2 ms").arg(status.audioOffsetMs > 0 ? "+" : "").arg(status.audioOffsetMs);
    if (status.building)
        parts << QStringLiteral("building");
    if (!status.note.isEmpty())
        parts << status.note;
    return parts.join(QStringLiteral(" | "));
}

void HeadsUp::paint(QPainter &painter, const QRect &area, const Status &status, const QStringList &messages) const
{
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const int lineHeight = metrics.lineSpacing();
    const int widest = area.width() - 2 * margin - 2 * padding;
    int top = area.top() + margin;

    // A warning that waits for an answer stands first and whole, heads-up
    // line or not.
    m_questionLines = status.question.isEmpty() ? QStringList() : wrapped(status.question, metrics, widest);
    m_questionBox = QRect();
    if (!m_questionLines.isEmpty()) {
        int width = 0;
        for (const QString &text : qAsConst(m_questionLines))
            width = qMax(width, metrics.horizontalAdvance(text));
        m_questionBox = QRect(area.left() + margin, top, width + 2 * padding,
                              int(m_questionLines.size()) * lineHeight + 2 * padding);
        painter.fillRect(m_questionBox, questionBoxColour);
        painter.setPen(lineColour);
        int y = top + padding;
        for (const QString &text : qAsConst(m_questionLines)) {
            painter.drawText(QRect(m_questionBox.left() + padding, y, width, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            y += lineHeight;
        }
        top = m_questionBox.bottom() + 1 + margin;
    }

    if (m_on) {
        const QString text = metrics.elidedText(line(status), Qt::ElideRight, widest);
        const QRect box(area.left() + margin, top, metrics.horizontalAdvance(text) + 2 * padding,
                        lineHeight + 2 * padding);
        painter.fillRect(box, boxColour);
        painter.setPen(lineColour);
        painter.drawText(box.adjusted(padding, padding, -padding, -padding), Qt::AlignLeft | Qt::AlignVCenter, text);
        top = box.bottom() + 1 + margin;
    }

    m_messagesBox = QRect();
    if (messages.isEmpty())
        return;
    const int fits = qMax(1, (area.bottom() - margin - top - 2 * padding) / lineHeight);
    QStringList shown = messages;
    if (shown.size() > fits) {
        const int more = shown.size() - (fits - 1);
        shown = shown.mid(0, fits - 1);
        shown << QStringLiteral("... %1 more on standard error").arg(more);
    }
    int width = 0;
    for (QString &text : shown) {
        text = metrics.elidedText(text, Qt::ElideRight, widest);
        width = qMax(width, metrics.horizontalAdvance(text));
    }
    m_messagesBox = QRect(area.left() + margin, top, width + 2 * padding, int(shown.size()) * lineHeight + 2 * padding);
    painter.fillRect(m_messagesBox, boxColour);
    painter.setPen(messageColour);
    int y = top + padding;
    for (const QString &text : qAsConst(shown)) {
        painter.drawText(QRect(m_messagesBox.left() + padding, y, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
        y += lineHeight;
    }
}

int HeadsUp::textWidth(const QString &text) const
{
    return QFontMetrics(m_font).horizontalAdvance(text);
}

QStringList HeadsUp::wrapped(const QString &text, const QFontMetrics &metrics, int widest)
{
    QStringList lines;
    QString line;
    const auto fits = [&](const QString &candidate) { return metrics.horizontalAdvance(candidate) <= widest; };
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fits(longer)) {
            line = longer;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        line = word;
        // A word too wide on a line of its own is broken, a character at least a line.
        while (!fits(line)) {
            int cut = line.size() - 1;
            while (cut > 1 && !fits(line.left(cut)))
                --cut;
            lines << line.left(cut);
            line = line.mid(cut);
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}
