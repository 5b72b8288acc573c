// The studio's figures, on the current GL, in a 1280x720 full-screen
// window with the show's own scene: frame time at render scales 1 and 0.5;
// what a held show time costs; save-to-screen latency over 20 saves beside
// the driver's compile and first-draw time alone; and where the music is
// after seeks and while it plays, against where the picture is (SDL's disk
// driver takes the sound). Prints rows for bench/run-bench.

#include "benchrows.h"
#include "musicfile.h"
#include "showfiles.h"
#include "showstages.h"
#include "studioprobe.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtEndian>

#include <cmath>
#include <ctime>
#include <limits>
#include <vector>

namespace {

const QString size = QStringLiteral("1280x720");
constexpr int saves = 20;
constexpr int seeks = 10;
constexpr int musicFrames = MusicFile::sampleRate * 120;

int fail(const QString &why)
{
    QTextStream(stderr) << "studiobench: " << why << '\n';
    return 1;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Frame i holds i + 1 on both sides: a buffer tells where in the music it is.
QByteArray countingMusic()
{
    QByteArray bytes(4 + musicFrames * MusicFile::bytesPerFrame, '\0');
    for (int i = 0; i < musicFrames; ++i) {
        qToLittleEndian(float(i + 1), bytes.data() + 4 + 8 * i);
        qToLittleEndian(float(i + 1), bytes.data() + 8 + 8 * i);
    }
    return bytes;
}

qint64 frameAt(const QByteArray &output, qint64 offset)
{
    return qint64(qFromLittleEndian<float>(output.constData() + offset)) - 1;
}

qint64 musicFrameNow(StudioProbe &probe)
{
    return Transport::musicFrame(probe.transport().timeline().at(probe.now()));
}

// CPU time of every thread of the process: on a software GL the drawing is
// the process's own, and a busy machine disturbs this less than wall time.
double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct FrameTimes
{
    std::vector<double> wall;
    std::vector<double> cpu;
};

// Wall and CPU time between frames presented while the show time runs.
FrameTimes frameTimes(StudioWindow &window, int frames)
{
    FrameTimes times;
    QElapsedTimer timer;
    double cpu = 0.0;
    QObject::connect(&window, &QOpenGLWindow::frameSwapped, &window, [&] {
        if (timer.isValid()) {
            times.wall.push_back(double(timer.nsecsElapsed()) / 1e6);
            times.cpu.push_back(cpuMs() - cpu);
        }
        timer.start();
        cpu = cpuMs();
    });
    if (!QTest::qWaitFor([&] { return int(times.wall.size()) >= frames; }, 120000))
        times = {};
    QObject::disconnect(&window, &QOpenGLWindow::frameSwapped, &window, nullptr);
    return times;
}

void printFrames(const QString &measure, const FrameTimes &times)
{
    BenchRows::print(measure, size, QStringLiteral("1"), BenchRows::figuresOf(times.wall));
    BenchRows::print(measure + QStringLiteral(", CPU"), size, QStringLiteral("1"), BenchRows::figuresOf(times.cpu));
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    // The studio's default files in the folder it starts in.
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()) || !QDir().mkdir(ShowStages::defaultFolder()))
        return fail(QStringLiteral("no folder to work in"));
    const QDir stages(ShowStages::defaultFolder());
    const QString fragmentFile = stages.filePath(ShowStages::fragmentName());
    const QByteArray fragment = ShowGL::stageSource(ShowGL::fragmentShader());
    if (!write(stages.filePath(ShowStages::vertexName()), StudioProbe::vertexStage()) || !write(fragmentFile, fragment)
        || !write(QString::fromLatin1(ShowFiles::music), countingMusic()))
        return fail(QStringLiteral("cannot write the stages and the music"));
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(dir.filePath(QStringLiteral("device.raw"))));

    StudioOptions options;
    options.fullScreen = true;
    StudioWindow window(options);
    StudioProbe probe(window);
    if (!window.startupError().isEmpty() || !probe.startAndWaitForFirstBuild() || probe.programs() != 1)
        return fail(QStringLiteral("the studio did not start"));
    if (window.size() * window.devicePixelRatio() != QSize(1280, 720))
        return fail(QStringLiteral("the window is not 1280x720 (run on a 1280x720 screen: scripts/with-x --size 1280x720)"));

    // Frame time in the first shot, at the two scales.
    for (const double scale : {1.0, 0.5}) {
        while (probe.scale() > scale)
            QTest::keyClick(&window, Qt::Key_Minus);
        QTest::keyClick(&window, Qt::Key_Return);
        frameTimes(window, 2);
        printFrames(QStringLiteral("studio frame, scale %1").arg(scale), frameTimes(window, 20));
    }
    while (probe.scale() < 1.0)
        QTest::keyClick(&window, Qt::Key_Plus);
    QTest::keyClick(&window, Qt::Key_H);
    QTest::keyClick(&window, Qt::Key_Return);
    frameTimes(window, 2);
    printFrames(QStringLiteral("studio frame, scale 1, no heads-up line"), frameTimes(window, 20));
    QTest::keyClick(&window, Qt::Key_H);

    // Held: frames only on events, and those only show the last scene. (A
    // key's note on the heads-up line goes after a while: one frame then.)
    probe.press(Qt::Key_Space);
    QTest::qWait(3000);
    const int drawsBefore = probe.sceneDraws();
    QSignalSpy presented(&window, &QOpenGLWindow::frameSwapped);
    QTest::qWait(3000);
    BenchRows::printOne(QStringLiteral("studio held 3 s: frames presented unasked"), size, QStringLiteral("all"),
                        presented.count());
    std::vector<double> presentMs;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer timer;
        timer.start();
        probe.press(Qt::Key_H);
        presentMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    BenchRows::printOne(QStringLiteral("studio held: scene draws over 3 s and 10 keys"), size, QStringLiteral("all"),
                        probe.sceneDraws() - drawsBefore);
    BenchRows::print(QStringLiteral("studio held: key to frame presented"), size, QStringLiteral("all"),
                     BenchRows::figuresOf(presentMs));

    // Held, a click in the timeline strip: to the first frame presented
    // with the scene drawn at the show time clicked.
    std::vector<double> clickMs;
    for (int i = 0; i < 10; ++i) {
        const QPoint at(100 + 100 * i, window.height() - TimelineStrip::height / 2);
        const int draws = probe.sceneDraws();
        QSignalSpy swapped(&window, &QOpenGLWindow::frameSwapped);
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, at);
        while (!(probe.sceneDraws() > draws && !swapped.isEmpty()) && timer.elapsed() < 30000)
            swapped.wait(1000);
        clickMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    BenchRows::print(QStringLiteral("studio held: click in the timeline to its picture presented"), size,
                     QStringLiteral("all"), BenchRows::figuresOf(clickMs));
    probe.press(Qt::Key_Space);

    // Saves, each a new wall colour never used before (the drivers keep what
    // they built in a cache on disk, from run to run), while
    // the scene is drawn frame after frame and while the show time is held.
    // The driver's work is timed on the builder's thread.
    std::vector<double> compile, firstDraw;
    QObject::connect(probe.builder(), &ProgramBuilder::built, &window,
                     [&](const std::shared_ptr<ProgramBuilder::Result> &result) {
                         compile.push_back(double(result->compileMs));
                         firstDraw.push_back(double(result->firstDrawMs));
                     });
    int save = 0;
    const double wallBase = 80.0 + QRandomGenerator::global()->generateDouble();
    for (const bool held : {false, true}) {
        if (held)
            probe.press(Qt::Key_Space);
        std::vector<double> latency;
        for (int i = 0; i < saves; ++i) {
            QTest::qWait(200);
            QByteArray text = fragment;
            text.replace("const float WALL_MAT = 85.0;",
                         "const float WALL_MAT = " + QByteArray::number(wallBase + ++save / 100.0, 'f', 9) + ";");
            if (text == fragment)
                return fail(QStringLiteral("the scene's stage has no 'const float WALL_MAT = 85.0;' to change"));
            const int program = probe.programs() + 1;
            QSignalSpy swapped(&window, &QOpenGLWindow::frameSwapped);
            QElapsedTimer timer;
            timer.start();
            if (!StudioProbe::writeInPlace(fragmentFile, text))
                return fail(QStringLiteral("cannot save the stage"));
            // The first frame presented that was drawn with the new program.
            bool drawn = false;
            while (!drawn && timer.elapsed() < 60000) {
                swapped.wait(1000);
                drawn = probe.drawnProgram() >= program;
            }
            if (!drawn)
                return fail(QStringLiteral("save %1 never reached the screen").arg(save));
            latency.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        BenchRows::print(held ? QStringLiteral("studio save to screen, held") : QStringLiteral("studio save to screen, playing"),
                         size, QStringLiteral("all"), BenchRows::figuresOf(latency));
        BenchRows::print(QStringLiteral("studio build, %1: compile and link").arg(held ? "held" : "playing"), size,
                         QStringLiteral("all"), BenchRows::figuresOf(compile));
        BenchRows::print(QStringLiteral("studio build, %1: the driver's first draw").arg(held ? "held" : "playing"), size,
                         QStringLiteral("all"), BenchRows::figuresOf(firstDraw));
        compile.clear();
        firstDraw.clear();
        if (held)
            probe.press(Qt::Key_Space);
    }

    // Seeks: how long from the key until the device takes its next buffer,
    // and where that buffer starts against where the picture is at the key;
    // and while it plays, how far the music given to the device is behind
    // the picture, as the studio keeps it.
    QList<qint64> targets;
    std::vector<double> keyToBuffer, behind;
    QTest::keyClick(&window, Qt::Key_Return);
    for (int i = 0; i < seeks; ++i) {
        // Straight to the window, without running the event loop.
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        const qint64 buffers = probe.player().buffers();
        QElapsedTimer timer;
        timer.start();
        QCoreApplication::sendEvent(&window, &right);
        targets << musicFrameNow(probe);
        while (probe.player().buffers() == buffers && timer.elapsed() < 10000)
            QThread::usleep(100);
        keyToBuffer.push_back(double(timer.nsecsElapsed()) / 1e6);
        const qint64 until = probe.player().buffers() + 25;
        while (probe.player().buffers() < until) {
            probe.waitForFrames(1);
            behind.push_back(double(musicFrameNow(probe) - probe.player().position()) * 1000.0 / MusicFile::sampleRate);
        }
    }
    probe.player().closeDevice();
    QFile device(dir.filePath(QStringLiteral("device.raw")));
    if (!device.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("no sound from the disk driver"));
    const QByteArray output = device.readAll();
    // Where the music jumped: every buffer that does not run on from the one before.
    const int bufferBytes = MusicFile::framesPerCallback * MusicFile::bytesPerFrame;
    QList<qint64> jumps;
    for (qint64 at = 0, next = -1; at + bufferBytes <= output.size(); at += bufferBytes) {
        const qint64 frame = frameAt(output, at);
        if (frame >= 0 && frame != next)
            jumps << frame;
        next = frame + MusicFile::framesPerCallback;
    }
    std::vector<double> seekError;
    for (const qint64 target : qAsConst(targets)) {
        qint64 nearest = std::numeric_limits<qint64>::max();
        for (const qint64 jump : qAsConst(jumps))
            nearest = std::min(nearest, std::abs(jump - target));
        seekError.push_back(double(nearest) * MusicFile::bytesPerFrame);
    }
    BenchRows::print(QStringLiteral("studio seek: music's next buffer from the picture's place, bytes"), QStringLiteral("-"),
                     QStringLiteral("all"), BenchRows::figuresOf(seekError));
    BenchRows::print(QStringLiteral("studio seek: key to the device's next buffer, ms"), QStringLiteral("-"),
                     QStringLiteral("all"), BenchRows::figuresOf(keyToBuffer));
    BenchRows::print(QStringLiteral("studio playing: music given to the device behind the picture, ms"),
                     QStringLiteral("-"), QStringLiteral("all"), BenchRows::figuresOf(behind));
    return 0;
}
