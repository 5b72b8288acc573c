// Where a captured frame's time goes, at 1280x720 and 60 frames a second,
// over a stretch of frames from the middle of each camera shot: the scene's
// draw (to the end of its glFinish), the read-back, the conversion to the
// encoder's 4:2:0 YUV (CPU time), and the CPU time of ffmpeg's H.264 encoder
// on those frames as the capture has it encode them, and of its AAC encoder
// on the sound of a frame; beside them, the CPU time ffmpeg took when it
// converted the RGB frames itself, as the capture did before. Needs no
// display. Prints rows for bench/run-bench.

#include "benchrows.h"
#include "captureoptions.h"
#include "framerenderer.h"
#include "frameschedule.h"
#include "headlessgl.h"
#include "musicfile.h"
#include "videoencoder.h"
#include "yuv420.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

const QSize size{1280, 720};
const QString sizeText = BenchRows::sizeText(size.width(), size.height());
constexpr int fps = 60;
// Consecutive frames from the middle of each shot.
constexpr int framesPerShot = 20;
// Seconds of sound the AAC encoder's time is taken over.
constexpr int soundSeconds = 20;

int fail(const QString &what)
{
    QTextStream(stderr) << "capturebench: " << what << '\n';
    return 1;
}

double msOf(const timespec &t)
{
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return msOf(now);
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

// Encodes the frames as the capture would, without sound, in the event
// loop; returns ffmpeg's CPU time in ms, or a negative number on a failure.
double encodeCpuMs(const std::vector<QByteArray> &frames, const QString &folder)
{
    CaptureOptions options;
    options.size = size;
    options.fps = fps;
    options.video = QDir(folder).filePath(QStringLiteral("bench.mp4"));
    options.music = QDir(folder).filePath(QStringLiteral("none.bmm"));
    const FrameSchedule schedule(fps, 0.0, ShowTime::fromSeconds(double(frames.size()) / fps));
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

// Runs ffmpeg to its end on what it is given; returns its CPU time in ms, or
// a negative number on a failure.
double ffmpegCpuMs(const QStringList &arguments, const std::vector<QByteArray> &input = {})
{
    QProcess ffmpeg;
    const double before = childrenCpuMs();
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-nostdin", "-y"} + arguments);
    if (!ffmpeg.waitForStarted())
        return -1.0;
    for (const QByteArray &bytes : input) {
        ffmpeg.write(bytes);
        ffmpeg.waitForBytesWritten(-1);
    }
    ffmpeg.closeWriteChannel();
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return -1.0;
    return childrenCpuMs() - before;
}

// Stereo float samples: three notes and a decaying click twice a second.
QByteArray chord(int seconds)
{
    const int frames = seconds * MusicFile::sampleRate;
    QByteArray bytes(frames * MusicFile::bytesPerFrame, Qt::Uninitialized);
    auto *samples = reinterpret_cast<float *>(bytes.data());
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / MusicFile::sampleRate;
        const double click = std::exp(-40.0 * std::fmod(t, 0.5)) * std::sin(2.0 * M_PI * 60.0 * t);
        const double notes = std::sin(2.0 * M_PI * 220.0 * t) + std::sin(2.0 * M_PI * 277.2 * t)
                           + std::sin(2.0 * M_PI * 329.6 * t);
        samples[2 * i] = float(0.2 * notes + 0.3 * click);
        samples[2 * i + 1] = float(0.2 * notes - 0.3 * click);
    }
    return bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    HeadlessGL::offer();
    QGuiApplication app(argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        return fail(QStringLiteral("no ffmpeg"));
    QTemporaryDir folder;

    std::vector<QByteArray> frames;
    {
        FrameRenderer renderer(size, 1, 1);
        if (!renderer.error().isEmpty())
            return fail(renderer.error());
        // The first frame also finishes building the program.
        renderer.drawScene(0.0f);
        renderer.readBack();

        std::vector<double> allDrawMs, readMs, convertCpuMs;
        for (int shot = 1; shot <= ShowTime::shots; ++shot) {
            const double middle = (ShowTime::shotStart(shot) + ShowTime::shotEnd(shot)) / 2.0;
            const FrameSchedule schedule(fps, middle, ShowTime::pictureEnds);
            std::vector<double> drawMs;
            for (qint64 k = schedule.first(); k < schedule.first() + framesPerShot; ++k) {
                QElapsedTimer timer;
                timer.start();
                renderer.drawScene(schedule.showTime(k));
                drawMs.push_back(msSince(timer));
                timer.restart();
                frames.push_back(renderer.readBack());
                readMs.push_back(msSince(timer));
                const double cpu = threadCpuMs();
                const QByteArray yuv = Yuv420::fromRgba(frames.back(), size);
                convertCpuMs.push_back(threadCpuMs() - cpu);
            }
            BenchRows::print(QStringLiteral("capture: the scene's draw"), sizeText, QString::number(shot),
                             BenchRows::figuresOf(drawMs));
            allDrawMs.insert(allDrawMs.end(), drawMs.begin(), drawMs.end());
        }
        BenchRows::print(QStringLiteral("capture: the scene's draw"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(allDrawMs));
        BenchRows::print(QStringLiteral("capture: read-back"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(readMs));
        BenchRows::print(QStringLiteral("capture: RGB to 4:2:0 YUV, CPU"), sizeText, QStringLiteral("all"),
                         BenchRows::figuresOf(convertCpuMs));
    }
    const double frameCount = double(frames.size());

    const double encodeMs = encodeCpuMs(frames, folder.path());
    if (encodeMs < 0.0)
        return fail(QStringLiteral("ffmpeg did not encode the frames"));
    BenchRows::printOne(QStringLiteral("capture: H.264 encoder, CPU"), sizeText, QStringLiteral("all"),
                        encodeMs / frameCount);

    // The sound of a frame: AAC at 192 kb/s, as the capture makes it for MP4,
    // of a chord with a beat (silence would cost the encoder next to nothing).
    const QString music = folder.filePath(QStringLiteral("sound.f32"));
    QFile sound(music);
    if (!sound.open(QIODevice::WriteOnly) || sound.write(chord(soundSeconds)) < 0)
        return fail(QStringLiteral("cannot write %1").arg(music));
    sound.close();
    const double aacMs = ffmpegCpuMs({"-f", "f32le", "-ar", QString::number(MusicFile::sampleRate), "-ac",
                                      QString::number(MusicFile::channels), "-i", music, "-c:a", "aac", "-b:a", "192k",
                                      folder.filePath(QStringLiteral("sound.m4a"))});
    if (aacMs < 0.0)
        return fail(QStringLiteral("ffmpeg did not encode the sound"));
    BenchRows::printOne(QStringLiteral("capture: AAC encoder, CPU"), sizeText, QStringLiteral("all"),
                        aacMs / (soundSeconds * fps));

    // The same frames converted by ffmpeg, as before.
    const double rgbMs = ffmpegCpuMs({"-f", "rawvideo", "-pix_fmt", "rgb0", "-s", sizeText, "-framerate",
                                      QString::number(fps), "-i", "pipe:0", "-vf", "scale=out_color_matrix=bt709",
                                      "-pix_fmt", "yuv420p", "-f", "null", "-"}, frames);
    if (rgbMs < 0.0)
        return fail(QStringLiteral("ffmpeg did not convert the frames"));
    BenchRows::printOne(QStringLiteral("capture: RGB to YUV in ffmpeg, CPU (before)"), sizeText, QStringLiteral("all"),
                        rgbMs / frameCount);
    return 0;
}
