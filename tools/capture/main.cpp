// Renders the show offline at a fixed frame rate, every frame as the show
// draws it for its show time, into an MP4 with the music or PNG frames.

#include "capture.h"
#include "captureoptions.h"
#include "frameschedule.h"
#include "offscreenscene.h"
#include "pngsequence.h"
#include "quitonsignals.h"
#include "videoencoder.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cmath>
#include <memory>

namespace {

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << "capture: " << message << '\n';
    return code;
}

// Runs the capture in the event loop; returns what went wrong, or nothing.
QString capture(QGuiApplication &app, OffscreenScene &scene, const FrameSchedule &schedule, FrameSink &sink)
{
    Capture capture(scene, schedule, sink);
    capture.start();
    app.exec();
    if (capture.isComplete())
        return {};
    return capture.error().isEmpty() ? QStringLiteral("stopped") : capture.error();
}

} // namespace

int main(int argc, char *argv[])
{
    // The options are read before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CaptureOptions options;
    const QString problem = options.parse(arguments);
    if (options.helpAsked) {
        const QCoreApplication app(argc, argv);
        QTextStream(stdout) << CaptureOptions::helpText();
        return 0;
    }
    if (!problem.isEmpty())
        return failWith(problem + QStringLiteral("\n(capture --help lists the options)"), 2);

    const FrameSchedule schedule(options.fps, options.from, options.to);
    if (schedule.isEmpty())
        return failWith(QStringLiteral("at %1 frames a second the show has no frame from show second %2 to %3")
                        .arg(options.fps).arg(options.from)
                        .arg(std::isinf(options.to) ? QStringLiteral("its end") : QString::number(options.to)), 2);

    QGuiApplication app(argc, argv);
    // From here on Ctrl-C and SIGTERM end the event loop, at once or as soon
    // as it runs, between two frames; the sink then takes its partial output
    // away.
    const QuitOnSignals quitOnSignals;

    std::unique_ptr<FrameSink> sink;
    if (!options.pngDirectory.isEmpty())
        sink = std::make_unique<PngSequence>(options.pngDirectory);
    else
        sink = std::make_unique<VideoEncoder>(options.video, options.size,
                VideoEncoder::Stretch{options.fps, schedule.first(), schedule.count()}, options.music);
    if (!sink->open())
        return failWith(sink->error(), 1);

    OffscreenScene scene(options.size);
    if (!scene.isValid())
        return failWith(QStringLiteral("cannot draw the scene at %1x%2: no OpenGL 4.1 core context, "
                                       "framebuffer or scene program")
                        .arg(options.size.width()).arg(options.size.height()), 1);

    const QString failure = capture(app, scene, schedule, *sink);
    if (!failure.isEmpty())
        return failWith(failure + QStringLiteral("; nothing written"), 1);
    return 0;
}
