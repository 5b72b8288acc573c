// Where a captured frame's time goes, at 1280x720, over the frames the
// capture takes of the whole show at 2 a second: the scene's draw (to the
// end of its glFinish), the read-back, the conversion to the encoder's 4:2:0
// YUV, and ffmpeg's CPU time to encode them as the capture has it encode;
// beside them, the CPU time ffmpeg took when it converted RGB frames itself,
// as the capture did before. Prints rows for bench/run-bench.

#include "benchrows.h"
#include "captureoptions.h"
#include "framerenderer.h"
#include "frameschedule.h"
#include "surfacelessplatform.h"
#include "videoencoder.h"
#include "yuv420.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtPlugin>

#include <sys/resource.h>
#include <vector>

Q_IMPORT_PLUGIN(SurfacelessPlugin)

namespace {

const QSize size{1280, 720};
const QString sizeText = BenchRows::sizeText(size.width(), size.height());
constexpr int fps = 2;

int fail(const QString &what)
{
    QTextStream(stderr) << "capturebench: " << what << '\n';
    return 1;
}

// CPU time of the child processes that have ended and been waited for.
double childrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Encodes the frames as the capture would, in the event loop; returns
// ffmpeg's CPU time in ms, or a negative number on a failure.
double encodeCpuMs(const std::vector<QByteArray> &frames, const FrameSchedule &schedule, const QString &folder)
{
    CaptureOptions options;
    options.size = size;
    options.fps = fps;
    options.video = QDir(folder).filePath(QStringLiteral("bench.mp4"));
    options.music = QDir(folder).filePath(QStringLiteral("none.bmm"));   // silent: the picture alone
    VideoEncoder encoder(options, schedule);
    if (!encoder.open())
        return -1.0;
    const double before = childrenCpuMs();
    size_t next = 0;
    bool failed = false;
    const auto feed = [&] {
        for (; next < frames.size() && encoder.isReady(); ++next)
            encoder.write(frames[next], qint64(next));
        if (next == frames.size()) {
            next = frames.size() + 1;
            encoder.finish();
        }
    };
    QObject::connect(&encoder, &FrameSink::ready, feed);
    QObject::connect(&encoder, &FrameSink::finished, [] { QCoreApplication::exit(0); });
    QObject::connect(&encoder, &FrameSink::failed, [&] {
        failed = true;
        QCoreApplication::exit(1);
    });
    QMetaObject::invokeMethod(&encoder, feed, Qt::QueuedConnection);
    QCoreApplication::exec();
    if (failed) {
        QTextStream(stderr) << "capturebench: " << encoder.error() << '\n';
        return -1.0;
    }
    return childrenCpuMs() - before;
}

// ffmpeg's CPU time to turn RGB frames into 4:2:0 YUV alone, as it did for
// the capture before the GL did it.
double rgbConversionCpuMs(const std::vector<QByteArray> &frames)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {
        "-v", "error", "-f", "rawvideo", "-pix_fmt", "rgb0", "-s", sizeText, "-framerate", QString::number(fps),
        "-i", "pipe:0", "-vf", "scale=out_color_matrix=bt709", "-pix_fmt", "yuv420p", "-f", "null", "-"});
    if (!ffmpeg.waitForStarted())
        return -1.0;
    const double before = childrenCpuMs();
    for (const QByteArray &frame : frames) {
        ffmpeg.write(frame);
        ffmpeg.waitForBytesWritten(-1);
    }
    ffmpeg.closeWriteChannel();
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0)
        return -1.0;
    return childrenCpuMs() - before;
}

} // namespace

int main(int argc, char *argv[])
{
    SurfacelessPlatform::offer();
    QGuiApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        return fail(QStringLiteral("no ffmpeg"));
    QTemporaryDir folder;

    const FrameSchedule schedule(fps, 0.0, std::numeric_limits<double>::infinity());
    std::vector<QByteArray> frames;
    {
        FrameRenderer renderer(size, 1, 1);
        if (!renderer.error().isEmpty())
            return fail(renderer.error());
        // The first frame also finishes building the program.
        renderer.drawScene(0.0f);

        std::vector<std::vector<double>> drawMs(BenchRows::segments + 1);
        std::vector<double> readMs, convertMs;
        for (qint64 k = schedule.first(); k < schedule.first() + schedule.count(); ++k) {
            const float showTime = schedule.showTime(k);
            QElapsedTimer timer;
            timer.start();
            renderer.drawScene(showTime);
            drawMs[size_t(BenchRows::segmentOf(showTime))].push_back(msSince(timer));
            timer.restart();
            frames.push_back(renderer.readBack());
            readMs.push_back(msSince(timer));
            timer.restart();
            const QByteArray yuv = Yuv420::fromRgba(frames.back(), size);
            convertMs.push_back(msSince(timer));
        }
        std::vector<double> allDrawMs;
        for (int segment = 1; segment <= BenchRows::segments; ++segment) {
            const std::vector<double> &ms = drawMs[size_t(segment)];
            BenchRows::print(QStringLiteral("capture: the scene's draw"), sizeText, QString::number(segment),
                             BenchRows::figuresOf(ms));
            allDrawMs.insert(allDrawMs.end(), ms.begin(), ms.end());
        }
        BenchRows::print(QStringLiteral("capture: the scene's draw"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(allDrawMs));
        BenchRows::print(QStringLiteral("capture: read-back"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(readMs));
        BenchRows::print(QStringLiteral("capture: RGB to 4:2:0 YUV"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(convertMs));
    }

    const double encodeMs = encodeCpuMs(frames, schedule, folder.path());
    if (encodeMs < 0.0)
        return fail(QStringLiteral("ffmpeg did not encode the frames"));
    BenchRows::printOne(QStringLiteral("capture: H.264 encode, ffmpeg CPU"), sizeText, QStringLiteral("all"),
                        encodeMs / double(frames.size()));

    // The same frames converted by ffmpeg, as before.
    const double rgbMs = rgbConversionCpuMs(frames);
    if (rgbMs < 0.0)
        return fail(QStringLiteral("ffmpeg did not convert the frames"));
    BenchRows::printOne(QStringLiteral("capture: RGB to YUV in ffmpeg, CPU (before)"), sizeText, QStringLiteral("all"),
                        rgbMs / double(frames.size()));
    return 0;
}
