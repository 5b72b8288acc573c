// Holds pictures of the scene made elsewhere (the web page's frames) against
// the desktop's offscreen scene, within the limits the scene tests use.
//
//   scenecompare DIR
//
// DIR holds SHOWTIME.png files (say 12.5.png); each is compared with the
// scene drawn offscreen at that show time and at the picture's size, within
// the limits for pictures of two GLs. Only
// the colour counts: the desktop's window shows no alpha, and a page's
// canvas is opaque. Prints a line a picture; exits 1 if any is beyond the
// limits, is blank, or cannot be read or drawn. The desktop's picture of one
// beyond the limits is left beside it as SHOWTIME.desktop.png.

#include "offscreenscene.h"
#include "picturedifference.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

QImage opaque(const QImage &picture)
{
    QImage image = picture.convertToFormat(QImage::Format_RGBA8888);
    for (int row = 0; row < image.height(); ++row) {
        uchar *pixel = image.scanLine(row);
        for (int column = 0; column < image.width(); ++column, pixel += 4)
            pixel[3] = 255;
    }
    return image;
}

bool isBlank(const QImage &image)
{
    for (int row = 0; row < image.height(); ++row) {
        const uchar *pixel = image.constScanLine(row);
        for (int column = 0; column < image.width(); ++column, pixel += 4)
            if (pixel[0] + pixel[1] + pixel[2] > 0)
                return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: scenecompare DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QStringList names = dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "scenecompare: no pictures in %s\n", argv[1]);
        return 1;
    }

    bool same = true;
    for (const QString &name : names) {
        if (name.endsWith(QLatin1String(".desktop.png")))
            continue;
        bool isNumber = false;
        const float showTime = name.chopped(4).toFloat(&isNumber);
        const QImage picture(dir.filePath(name));
        if (!isNumber || picture.isNull()) {
            std::printf("%s: not a picture named for its show time\n", qPrintable(name));
            same = false;
            continue;
        }
        OffscreenScene scene(picture.size());
        if (!scene.isValid()) {
            std::printf("%s: the desktop's scene cannot be drawn here\n", qPrintable(name));
            same = false;
            continue;
        }
        const QImage desktop = opaque(scene.frame(showTime));
        const PictureDifference::Difference difference = PictureDifference::differenceOf(opaque(picture), desktop);
        const bool blank = isBlank(desktop);
        std::printf("%s, %dx%d: %s%s\n", qPrintable(name), picture.width(), picture.height(),
                    qPrintable(difference.text()), blank ? ", a black picture" : "");
        if (!difference.withinLimitsAcrossGLs())
            desktop.save(dir.filePath(name.chopped(4) + QStringLiteral(".desktop.png")));
        same = same && difference.withinLimitsAcrossGLs() && !blank;
    }
    return same ? 0 : 1;
}
