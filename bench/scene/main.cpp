// Milliseconds per frame of the scene on the current GL, for each camera
// segment of the show, at 640x360 and 1280x720. Each time runs from the draw
// call until the GL has finished the frame. Prints rows for bench/run-bench.

#include "benchrows.h"
#include "offscreenscene.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

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

BenchRows::Figures measure(OffscreenScene &scene, const Segment &segment)
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
    return BenchRows::figuresOf(ms);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);

    for (const QSize &size : sizes) {
        OffscreenScene scene(size);
        if (!scene.isValid()) {
            QTextStream(stderr) << "scenebench: no GL context or scene program\n";
            return 1;
        }

        // The first frame also finishes building the program.
        scene.draw(0.0f);
        scene.finish();

        for (size_t s = 0; s < std::size(segments); ++s)
            BenchRows::print(QStringLiteral("offscreen scene"), BenchRows::sizeText(size.width(), size.height()),
                             QString::number(s + 1), measure(scene, segments[s]));
    }
    return 0;
}
