// Milliseconds per frame of the scene on the current GL, for each camera
// segment of the show, at 640x360 and 1280x720. Each time runs from the draw
// call until the GL has finished the frame.

#include "offscreenscene.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

struct Segment
{
    const char *name;
    float from; // show time in seconds
    float to;
};

// The fade to black at 30 ends the show's picture.
constexpr Segment segments[] = {
    {"1  t < 5", 0.0f, 5.0f},
    {"2  5 to 10", 5.0f, 10.0f},
    {"3  10 to 15", 10.0f, 15.0f},
    {"4  15 to 20", 15.0f, 20.0f},
    {"5  from 20", 20.0f, 30.0f},
};

const QSize sizes[] = {{640, 360}, {1280, 720}};

// Spread evenly over each segment; enough for a median, and quick on llvmpipe.
constexpr int framesPerSegment = 9;

struct Figures
{
    double median;
    double worst;
};

Figures measure(OffscreenScene &scene, const Segment &segment)
{
    std::vector<double> ms;
    for (int i = 0; i < framesPerSegment; ++i) {
        const float step = (segment.to - segment.from) / framesPerSegment;
        const float showTime = segment.from + (float(i) + 0.5f) * step;
        QElapsedTimer timer;
        timer.start();
        scene.draw(showTime);
        scene.finish();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    std::vector<std::vector<Figures>> figures; // [size][segment]
    QString renderer;
    for (const QSize &size : sizes) {
        OffscreenScene scene(size);
        if (!scene.isValid()) {
            QTextStream(stderr) << "scenebench: no GL context or scene program\n";
            return 1;
        }
        scene.makeCurrent();
        renderer = QString::fromLatin1(reinterpret_cast<const char *>(
                QOpenGLContext::currentContext()->functions()->glGetString(GL_RENDERER)));

        // The first frame also finishes building the program.
        scene.draw(0.0f);
        scene.finish();

        std::vector<Figures> perSegment;
        for (const Segment &segment : segments)
            perSegment.push_back(measure(scene, segment));
        figures.push_back(perSegment);
    }

    out << "Scene, ms per frame, median / worst of " << framesPerSegment << " frames per segment\n";
    out << "GL renderer: " << renderer << "\n\n";
    out << qSetFieldWidth(14) << Qt::left << "segment";
    for (const QSize &size : sizes)
        out << qSetFieldWidth(20) << QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    out << qSetFieldWidth(0) << "\n";
    for (size_t s = 0; s < std::size(segments); ++s) {
        out << qSetFieldWidth(14) << segments[s].name;
        for (size_t z = 0; z < figures.size(); ++z)
            out << qSetFieldWidth(20)
                << QStringLiteral("%1 / %2").arg(figures[z][s].median, 0, 'f', 1).arg(figures[z][s].worst, 0, 'f', 1);
        out << qSetFieldWidth(0) << "\n";
    }
    return 0;
}
