#ifndef PICTUREDIFFERENCE_H
#define PICTUREDIFFERENCE_H

#include <QImage>
#include <QString>
#include <QtGlobal>

// How far two pictures of the scene may differ and still count as the same
// picture: drawn by two stages, or by two GLs (the desktop's and a browser's).
namespace PictureDifference {

// The limits, in levels of 1/255, and the shares of pixels allowed past them.
constexpr int smallStep = 1;
constexpr int largeStep = 3;
constexpr double allowedOverSmall = 0.005;
constexpr double allowedOverLarge = 0.001;
constexpr double allowedMeanLevels = 0.1;

// Between two GLs (the desktop's llvmpipe and a browser's SwiftShader) the
// pictures differ the same way, but in more scattered pixels at the walls'
// edges, where a ray just hits or just misses: at 22 moments of the show at
// 320x180, at worst 0.37% over 3/255 and 0.50% over 1/255, with a mean of
// 0.09/255. A picture a sixtieth of a second off is at least 0.95% and 2.6%.
constexpr double allowedOverSmallAcrossGLs = 0.01;
constexpr double allowedOverLargeAcrossGLs = 0.006;

struct Difference
{
    double overSmall = 0.0;  // share of pixels with a channel off by more than smallStep
    double overLarge = 0.0;  // the same, largeStep
    double meanLevels = 0.0; // mean over the colour channels of every pixel
    int largest = 0;         // in any channel, alpha included

    QString text() const
    {
        return QStringLiteral("%1% over %2/255, %3% over %4/255, mean %5/255, largest %6/255")
                .arg(100.0 * overLarge, 0, 'f', 4).arg(largeStep)
                .arg(100.0 * overSmall, 0, 'f', 4).arg(smallStep)
                .arg(meanLevels, 0, 'f', 4).arg(largest);
    }
    bool withinLimits() const
    {
        return overLarge <= allowedOverLarge && overSmall <= allowedOverSmall && meanLevels < allowedMeanLevels;
    }
    bool withinLimitsAcrossGLs() const
    {
        return overLarge <= allowedOverLargeAcrossGLs && overSmall <= allowedOverSmallAcrossGLs
            && meanLevels < allowedMeanLevels;
    }
};

// Two RGBA8888 pictures of one size; anything else differs entirely.
inline Difference differenceOf(const QImage &a, const QImage &b)
{
    Difference result;
    const qsizetype pixels = qsizetype(a.width()) * a.height();
    if (a.size() != b.size() || a.format() != QImage::Format_RGBA8888 || b.format() != a.format() || pixels == 0)
        return {1.0, 1.0, 255.0, 255};
    const uchar *x = a.constBits();
    const uchar *y = b.constBits();
    qint64 overSmall = 0, overLarge = 0, sum = 0;
    for (qsizetype i = 0; i < pixels; ++i, x += 4, y += 4) {
        int worst = 0;
        for (int c = 0; c < 4; ++c) {
            const int d = qAbs(int(x[c]) - int(y[c]));
            worst = qMax(worst, d);
            if (c < 3)
                sum += d;
        }
        overSmall += worst > smallStep;
        overLarge += worst > largeStep;
        result.largest = qMax(result.largest, worst);
    }
    result.overSmall = double(overSmall) / double(pixels);
    result.overLarge = double(overLarge) / double(pixels);
    result.meanLevels = double(sum) / double(3 * pixels);
    return result;
}

} // namespace PictureDifference

#endif // PICTUREDIFFERENCE_H
