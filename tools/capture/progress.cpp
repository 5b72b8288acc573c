#include "progress.h"

#include <QString>

#include <cstdio>

namespace {

// Often enough to look alive, seldom enough to stay out of the way.
constexpr qint64 printEveryMs = 250;

QString clock(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString size(qint64 bytes)
{
    if (bytes < 1000000)
        return QStringLiteral("%1 kB").arg(bytes / 1000.0, 0, 'f', 1);
    if (bytes < 1000000000)
        return QStringLiteral("%1 MB").arg(bytes / 1e6, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(bytes / 1e9, 0, 'f', 2);
}

} // namespace

Progress::Progress(qint64 total)
    : m_total(total)
{
    m_clock.start();
    print();
}

void Progress::frameDone(qint64 outputBytes)
{
    ++m_done;
    m_outputBytes = outputBytes;
    // The first frame shows at once that frames come out.
    if (m_done == 1 || m_done == m_total || m_clock.elapsed() - m_printedAt >= printEveryMs)
        print();
}

Progress::~Progress()
{
    // Whatever is said next starts on a line of its own.
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void Progress::print()
{
    m_printedAt = m_clock.elapsed();
    const double seconds = m_printedAt / 1000.0;
    const double fps = seconds > 0.0 ? m_done / seconds : 0.0;
    const QString left = fps > 0.0 ? clock(qint64((m_total - m_done) / fps + 0.5)) : QStringLiteral("-:--");
    QString line = QStringLiteral("\rframe %1 of %2, %3 frames/s, %4 left, %5 written")
            .arg(m_done).arg(m_total).arg(fps, 0, 'f', 2).arg(left, size(m_outputBytes));
    // Covers what a longer line before left.
    m_width = qMax(m_width, line.size());
    line = line.leftJustified(m_width);
    std::fputs(qPrintable(line), stderr);
    std::fflush(stderr);
}
