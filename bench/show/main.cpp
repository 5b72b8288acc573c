// The show as it runs: its own window, frame loop and audio, full screen on
// the display it is given.
//
// showbench frames [TIMES]: runs the show to its end and prints the time per
//   frame (from one buffer swap to the next) for each camera shot, and the
//   host's CPU time in paintGL; writes the show time of every frame into TIMES.
// showbench launch N: starts the show N times and prints the time from
//   starting the program to its first frame on screen.
// showbench shots [FRAMES FPS]: prints the camera's shots as the show has
//   them, for bench/run-bench and the other benchmarks: for each, its number
//   and where it starts and ends in show seconds (the last one at the show's
//   end); with FRAMES and FPS also the stretch of FRAMES frames at FPS in its
//   middle, from and to, which run-bench has the capture tool take. Needs no
//   display.

#include "benchrows.h"
#include "showtime.h"
#include "window.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QProcess>
#include <QTextStream>

#include <chrono>
#include <ctime>
#include <dlfcn.h>
#include <vector>

namespace {

// Nanoseconds on the clock every process of the machine shares.
qint64 monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuMs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double threadCpuMs() { return cpuMs(CLOCK_THREAD_CPUTIME_ID); }
// Every thread of the process: on a software GL the drawing too.
double processCpuMs() { return cpuMs(CLOCK_PROCESS_CPUTIME_ID); }

// CPU time spent in the driver's glDrawArrays since the last look.
double s_drawCpuMs = 0.0;

} // namespace

// The frame loop's draw call comes here, to the program's own definition of
// the GL function, which times the driver's and hands the call on.
void glDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    using Draw = void (*)(GLenum, GLint, GLsizei);
    static const auto driver = reinterpret_cast<Draw>(dlsym(RTLD_NEXT, "glDrawArrays"));
    const double cpu = threadCpuMs();
    driver(mode, first, count);
    s_drawCpuMs += threadCpuMs() - cpu;
}

namespace {

// The show window, with every frame's show time, host time and swap noted.
class TimedWindow : public Window
{
public:
    struct Frame
    {
        float showTime = 0.0f;
        qint64 paintNs = 0;        // when paintGL began
        double paintCpuMs = 0.0;   // thread CPU time inside paintGL
        double drawCpuMs = 0.0;    // of which in the driver's draw call
        qint64 swappedNs = 0;      // when the frame was handed to the screen
        double swappedCpuMs = 0.0; // the process's CPU time then
        bool fullScreen = false;
    };

    TimedWindow()
    {
        m_frames.reserve(1 << 14);
        connect(this, &QOpenGLWindow::frameSwapped, this, [this] {
            if (m_frames.empty())
                return;
            m_frames.back().swappedNs = monotonicNs();
            m_frames.back().swappedCpuMs = processCpuMs();
        });
    }

    const std::vector<Frame> &frames() const { return m_frames; }

protected:
    void initializeGL() override
    {
        // Within a few milliseconds of the show timer, which starts inside.
        m_clock.start();
        Window::initializeGL();
    }

    void paintGL() override
    {
        Frame frame;
        frame.paintNs = monotonicNs();
        frame.fullScreen = size() == screen()->size();
        frame.showTime = ShowTime::at(m_clock.elapsed());
        s_drawCpuMs = 0.0;
        const double cpu = threadCpuMs();
        Window::paintGL();
        frame.paintCpuMs = threadCpuMs() - cpu;
        frame.drawCpuMs = s_drawCpuMs;
        m_frames.push_back(frame);
    }

private:
    QElapsedTimer m_clock;
    std::vector<Frame> m_frames;
};

QString screenSize(const QWindow &window)
{
    const QSize pixels = window.size() * window.devicePixelRatio();
    return BenchRows::sizeText(pixels.width(), pixels.height());
}

int runFrames(QGuiApplication &app, const QString &timesPath)
{
    TimedWindow window;
    window.showFullScreen();
    app.exec();

    // The first frame has no swap before it, and builds the driver's code.
    const std::vector<TimedWindow::Frame> &frames = window.frames();
    std::vector<std::vector<double>> perShot(ShowTime::shots);
    std::vector<std::vector<double>> cpuPerShot(ShowTime::shots);
    std::vector<double> all;
    std::vector<double> allCpu;
    std::vector<double> hostCpu;
    std::vector<double> drawCpu;
    std::vector<double> idle;
    QFile times(timesPath);
    const bool writeTimes = !timesPath.isEmpty() && times.open(QIODevice::WriteOnly | QIODevice::Text);
    QTextStream timesOut(&times);
    for (size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].swappedNs == 0 || frames[i - 1].swappedNs == 0 || !frames[i].fullScreen)
            continue;
        const double ms = double(frames[i].swappedNs - frames[i - 1].swappedNs) / 1e6;
        const double cpu = frames[i].swappedCpuMs - frames[i - 1].swappedCpuMs;
        const size_t shot = size_t(ShowTime::shotAt(frames[i].showTime) - 1);
        perShot[shot].push_back(ms);
        cpuPerShot[shot].push_back(cpu);
        all.push_back(ms);
        allCpu.push_back(cpu);
        hostCpu.push_back(frames[i].paintCpuMs);
        drawCpu.push_back(frames[i].drawCpuMs);
        idle.push_back(double(frames[i].paintNs - frames[i - 1].swappedNs) / 1e6);
        if (writeTimes)
            timesOut << frames[i].showTime << '\n';
    }

    // Without a window manager the window never becomes the screen's size.
    if (all.size() < frames.size() / 2) {
        QTextStream(stderr) << "showbench: the show ran at " << screenSize(window)
                            << " for most of its frames, not full screen\n";
        return 1;
    }

    const QString size = screenSize(window);
    for (int s = 0; s < ShowTime::shots; ++s)
        BenchRows::print(QStringLiteral("show window"), size, QString::number(s + 1),
                         BenchRows::figuresOf(perShot[size_t(s)]));
    BenchRows::print(QStringLiteral("show window"), size, QStringLiteral("all"), BenchRows::figuresOf(all));
    for (int s = 0; s < ShowTime::shots; ++s)
        BenchRows::print(QStringLiteral("show window, CPU"), size, QString::number(s + 1),
                         BenchRows::figuresOf(cpuPerShot[size_t(s)]));
    BenchRows::print(QStringLiteral("show window, CPU"), size, QStringLiteral("all"), BenchRows::figuresOf(allCpu));
    // The frame time at a moment taken evenly over the show, as the capture
    // tool takes its frames: each frame weighs as long as it lasts.
    double total = 0.0;
    double squares = 0.0;
    for (const double ms : all) {
        total += ms;
        squares += ms * ms;
    }
    BenchRows::printOne(QStringLiteral("show window, mean over time"), size, QStringLiteral("all"),
                        squares / total);
    BenchRows::print(QStringLiteral("host CPU in paintGL"), size, QStringLiteral("all"), BenchRows::figuresOf(hostCpu));
    BenchRows::print(QStringLiteral("of which the driver's draw call"), size, QStringLiteral("all"),
                     BenchRows::figuresOf(drawCpu));
    BenchRows::print(QStringLiteral("swap to next paintGL"), size, QStringLiteral("all"), BenchRows::figuresOf(idle));
    return 0;
}

// The program as a user starts it, telling its parent when its first frame
// is on screen.
int runFirstFrame(QGuiApplication &app)
{
    Window window;
    QObject::connect(&window, &QOpenGLWindow::frameSwapped, &app, [&window] {
        // A window manager slow to make it full screen would leave the
        // first frames small: the show is on screen with its first full one.
        if (window.size() != window.screen()->size())
            return;
        QTextStream(stdout) << monotonicNs() << ' ' << screenSize(window) << Qt::endl;
        QCoreApplication::exit(0);
    });
    window.showFullScreen();
    return app.exec();
}

int runLaunches(const QString &program, int launches)
{
    std::vector<double> ms;
    QString size;
    for (int i = 0; i < launches; ++i) {
        QProcess show;
        show.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 started = monotonicNs();
        show.start(program, {QStringLiteral("first-frame")});
        if (!show.waitForFinished(120000) || show.exitCode() != 0) {
            QTextStream(stderr) << "showbench: the show did not come up\n";
            return 1;
        }
        // The first line: a second frame may come before the program quits.
        const QStringList said = QString::fromLatin1(show.readAllStandardOutput()).section('\n', 0, 0).split(' ');
        ms.push_back(double(said.value(0).toLongLong() - started) / 1e6);
        size = said.value(1).trimmed();
    }
    BenchRows::print(QStringLiteral("launch to first frame"), size, QStringLiteral("all"), BenchRows::figuresOf(ms));
    return 0;
}

// Without frames (0), the shots alone.
int printShots(int frames, int fps)
{
    // The frames last frames / fps real seconds, which the show's clock
    // turns into show seconds.
    const double span = frames > 0 ? ShowTime::fromSeconds(double(frames) / fps) : 0.0;
    const auto seconds = [](double s) { return QString::number(s, 'f', 5); };
    QTextStream out(stdout);
    for (int shot = 1; shot <= ShowTime::shots; ++shot) {
        const double start = ShowTime::shotStart(shot);
        const double end = shot == ShowTime::shots ? double(ShowTime::endShowTime()) : ShowTime::shotEnd(shot);
        out << shot << '\t' << seconds(start) << '\t' << seconds(end);
        const double middle = (start + end) / 2.0;
        if (frames > 0)
            out << '\t' << seconds(middle - span / 2.0) << '\t' << seconds(middle + span / 2.0);
        out << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString mode = QString::fromLocal8Bit(argc > 1 ? argv[1] : "");
    if (mode == QLatin1String("launch") && argc == 3)
        return runLaunches(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")), QString::fromLocal8Bit(argv[2]).toInt());
    if (mode == QLatin1String("shots") && argc == 2)
        return printShots(0, 0);
    if (mode == QLatin1String("shots") && argc == 4) {
        const int frames = QString::fromLocal8Bit(argv[2]).toInt();
        const int fps = QString::fromLocal8Bit(argv[3]).toInt();
        if (frames > 0 && fps > 0)
            return printShots(frames, fps);
    }

    // The rest runs the show, on a display.
    const bool frames = mode == QLatin1String("frames") && argc <= 3;
    if (!frames && mode != QLatin1String("first-frame")) {
        QTextStream(stderr) << "usage: showbench frames [TIMES] | showbench launch N | showbench shots [FRAMES FPS]\n";
        return 2;
    }
    QGuiApplication app(argc, argv);
    return frames ? runFrames(app, QString::fromLocal8Bit(argc > 2 ? argv[2] : "")) : runFirstFrame(app);
}
