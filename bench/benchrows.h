#ifndef BENCHROWS_H
#define BENCHROWS_H

#include "showtime.h"

#include <QString>
#include <QTextStream>

#include <algorithm>
#include <vector>

// What every benchmark program prints: one tab-separated row per figure,
// which bench/run-bench gathers into the one table.
namespace BenchRows {

struct Figures
{
    double median = 0.0;
    double worst = 0.0;
    int samples = 0;
};

inline Figures figuresOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    return {median, values.back(), int(n)};
}

// measure, size (WxH or "-"), the camera's shot (1 to 5, or "all"), median,
// worst, samples.
inline void print(const QString &measure, const QString &size, const QString &shot, const Figures &figures)
{
    if (figures.samples == 0)
        return;
    QTextStream(stdout) << measure << '\t' << size << '\t' << shot << '\t'
                        << QString::number(figures.median, 'f', 4) << '\t'
                        << QString::number(figures.worst, 'f', 4) << '\t' << figures.samples << '\n';
}

// A figure that has no worst, such as a mean or a pace.
inline void printOne(const QString &measure, const QString &size, const QString &shot, double value)
{
    QTextStream(stdout) << measure << '\t' << size << '\t' << shot << '\t'
                        << QString::number(value, 'f', 4) << "\t-\t1\n";
}

inline QString sizeText(int width, int height)
{
    return QStringLiteral("%1x%2").arg(width).arg(height);
}

} // namespace BenchRows

#endif // BENCHROWS_H
