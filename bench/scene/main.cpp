// Milliseconds per frame of the scene on the current GL, for each camera
// shot of the show, at 640x360 and 1280x720. Each time runs from the draw
// call until the GL has finished the frame. Prints rows for bench/run-bench.

#include "benchrows.h"
#include "offscreenscene.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

#include <vector>

namespace {

const QSize sizes[] = {{640, 360}, {1280, 720}};

// Spread evenly over each shot; enough for a median, and quick on llvmpipe.
constexpr int framesPerShot = 9;

BenchRows::Figures measure(OffscreenScene &scene, int shot)
{
    const float from = ShowTime::shotStart(shot);
    const float step = (ShowTime::shotEnd(shot) - from) / framesPerShot;
    std::vector<double> ms;
    for (int i = 0; i < framesPerShot; ++i) {
        const float showTime = from + (float(i) + 0.5f) * step;
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

        for (int shot = 1; shot <= ShowTime::shots; ++shot)
            BenchRows::print(QStringLiteral("offscreen scene"), BenchRows::sizeText(size.width(), size.height()),
                             QString::number(shot), measure(scene, shot));
    }
    return 0;
}
