// Renders the show offline at a fixed frame rate, every frame as the show
// draws it for its show time (smoother if asked: supersampled, with motion
// blur), into a video with the music or PNG frames, with or without a display;
// or a part of it, parts joined into the whole, or all of it on a cluster.

#include "capture.h"
#include "captureoptions.h"
#include "framerenderer.h"
#include "frameschedule.h"
#include "headlessgl.h"
#include "inputfile.h"
#include "musicfile.h"
#include "offscreencontext.h"
#include "partjoin.h"
#include "partrecord.h"
#include "pngsequence.h"
#include "quitonsignals.h"
#include "showgl.h"
#include "showstages.h"
#include "slurmsubmission.h"
#include "stagemessages.h"
#include "videoencoder.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << "capture: " << message << '\n';
    return code;
}

// Runs the capture in the event loop; returns what went wrong, or nothing.
QString capture(QGuiApplication &app, FrameRenderer &renderer, const FrameSchedule &schedule,
                const CaptureOptions &options, FrameSink &sink)
{
    Capture capture(renderer, schedule, options.shutter, options.subframes, sink);
    capture.start();
    app.exec();
    if (capture.isComplete())
        return {};
    return capture.error().isEmpty() ? QStringLiteral("stopped") : capture.error();
}

// One line on why there is no GL to draw with: what was tried, and what it gave.
QString noOpenGL(const OffscreenContext &context)
{
    const QSurfaceFormat wanted = ShowGL::surfaceFormat();
    const QString want = QStringLiteral("no OpenGL %1.%2 core context").arg(wanted.majorVersion()).arg(wanted.minorVersion());
    const QString platform = QGuiApplication::platformName();
    if (platform == HeadlessGL::name()) {
        const QString failure = HeadlessGL::failure();
        const QString on = HeadlessGL::drawingOn();
        return QStringLiteral("%1: tried EGL without a display server (%2): %3")
                .arg(want, on.isEmpty() ? QStringLiteral("its device or surfaceless platform") : on,
                     failure.isEmpty() ? QStringLiteral("it gave none") : failure);
    }
    const QSurfaceFormat got = context.format();
    const QString gave = got.majorVersion() > 0
            ? QStringLiteral("it gave OpenGL %1.%2%3").arg(got.majorVersion()).arg(got.minorVersion())
              .arg(got.profile() == QSurfaceFormat::CoreProfile ? QStringLiteral(" core") : QString())
            : QStringLiteral("it gave none");
    const QString display = qEnvironmentVariable("DISPLAY");
    // EGL alone may do better than a display's GL (one without GLX, say).
    return QStringLiteral("%1: tried Qt's %2 platform%3: %4 (without DISPLAY and QT_QPA_PLATFORM it tries EGL "
                          "without a display server)")
            .arg(want, platform, display.isEmpty() ? QString() : QStringLiteral(" on display ") + display, gave);
}

// Joins parts into a video; needs no GL.
int join(int argc, char *argv[], const CaptureOptions &options)
{
    QCoreApplication app(argc, argv);
    const QuitOnSignals quitOnSignals;
    PartJoin join(options.video, options.joinParts);
    const QString problem = join.check();
    if (!problem.isEmpty())
        return failWith(problem + QStringLiteral("; nothing written"), 1);
    QObject::connect(&join, &PartJoin::finished, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&join, &PartJoin::failed, &app, [] { QCoreApplication::exit(1); });
    if (!join.note().isEmpty())
        QTextStream(stderr) << "capture: " << join.note() << '\n';
    if (!join.start())
        return failWith(join.error() + QStringLiteral("; nothing written"), 1);
    app.exec();
    if (join.isDone())
        return 0;
    return failWith((join.error().isEmpty() ? QStringLiteral("stopped") : join.error())
                    + QStringLiteral("; nothing written"), 1);
}

// Submits the capture to the cluster; needs no GL either.
int submit(int argc, char *argv[], const CaptureOptions &options, const CaptureOptions::Stages &stages,
           const FrameSchedule &whole)
{
    const QCoreApplication app(argc, argv);
    SlurmSubmission submission(options, stages, whole, QCoreApplication::applicationFilePath());
    QTextStream out(stdout);
    const QString problem = submission.submit(out);
    if (!problem.isEmpty())
        return failWith(problem, 1);
    return 0;
}

// Each EGL device with what EGL tells of it.
int listDevices()
{
    QTextStream out(stdout);
    if (!HeadlessGL::offersDevices()) {
        out << "No EGL driver offers the device platform (EGL_EXT_platform_device with EGL_EXT_device_enumeration); "
               "without a display the capture draws on Mesa's surfaceless platform.\n";
        return 0;
    }
    const QList<HeadlessGL::Device> devices = HeadlessGL::devices();
    if (devices.isEmpty())
        out << "EGL offers the device platform but lists no device.\n";
    for (const HeadlessGL::Device &device : devices) {
        out << device.index << ": " << (device.software ? "software device" : "GPU")
            << "; render node " << (device.renderNode.isEmpty() ? QStringLiteral("none") : device.renderNode);
        if (!device.drmDevice.isEmpty())
            out << "; DRM device " << device.drmDevice;
        if (device.cudaDevice >= 0)
            out << "; CUDA device " << device.cudaDevice;
        out << "; extensions " << (device.extensions.isEmpty() ? QStringLiteral("none") : device.extensions.join(' '))
            << '\n';
    }
    return 0;
}

// Where the frames are drawn, for the first lines and the part's record.
QString drawingOn()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == HeadlessGL::name())
        return HeadlessGL::drawingOn();
    const QString display = qEnvironmentVariable("DISPLAY");
    return QStringLiteral("Qt's %1 platform%2").arg(platform,
            display.isEmpty() ? QString() : QStringLiteral(" on display ") + display);
}

// The beat list the frames' pulse comes from: the music file's, none without one.
std::vector<int> beatsOf(const QString &music)
{
    QFile file(music);
    if (!openInputFile(file).isEmpty())
        return {};
    const QList<int> beats = MusicFile::readBeatList(file);
    return std::vector<int>(beats.cbegin(), beats.cend());
}

// The font the frames are drawn with, and the line said once when it is not
// the working folder's; an error when a font given cannot be read.
struct FontChoice
{
    QImage image;
    QString note;
    QString error;
};

FontChoice chooseFont(const CaptureOptions &options)
{
    FontChoice choice;
    const QString file = options.fontFile();
    if (!file.isEmpty())
        choice.image = QImageReader(file).read();
    if (options.fontGiven) {
        if (choice.image.isNull())
            choice.error = QStringLiteral("%1: not an image that can be read").arg(options.font);
    } else if (choice.image.isNull()) {
        choice.note = QStringLiteral("no %1 here or installed: iFont is black").arg(options.font);
    } else if (file != options.font) {
        choice.note = QStringLiteral("no %1 here: iFont is the installed show's, %2").arg(options.font, file);
    }
    return choice;
}

// The compiler's messages about a show's stage that did not build, each
// named by the stage's file and line as an editor counts them.
QString stageFailure(const FrameRenderer &renderer, const ShowStages::Texts &stages)
{
    const QString file = renderer.stageFailure() == SceneRenderer::Failure::Vertex ? stages.vertexPath
            : renderer.stageFailure() == SceneRenderer::Failure::Fragment ? stages.fragmentPath
            : stages.vertexPath + QStringLiteral(" + ") + stages.fragmentPath;
    return stagesDoNotBuild(renderer.stageLog(), file, renderer.stageFailure() == SceneRenderer::Failure::Link);
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
    if (options.deviceListAsked)
        return listDevices();
    if (options.join)
        return join(argc, argv, options);

    const FrameSchedule whole(options.fps, options.from, options.to);
    if (whole.isEmpty())
        return failWith(QStringLiteral("at %1 frames a second the show has no frame from show second %2 to %3")
                        .arg(options.fps).arg(options.from)
                        .arg(std::isinf(options.to) ? QStringLiteral("its end") : QString::number(options.to)), 2);
    const int parts = std::max(options.parts, options.slurmParts);
    if (parts > whole.count())
        return failWith(QStringLiteral("%1 parts of %2 frames would leave some without a frame: at most %2 parts")
                        .arg(parts).arg(whole.count()), 2);
    // The show's stages: read before anything is drawn, written or submitted.
    const ShowStages::Choice stageFolder = ShowStages::choose(options.shaders);
    if (!stageFolder.error.isEmpty())
        return failWith(stageFolder.error, 1);
    ShowStages::Texts stages;
    if (!stageFolder.folder.isEmpty()) {
        stages = ShowStages::read(stageFolder.folder);
        if (!stages.error.isEmpty())
            return failWith(stages.error, 1);
    } else {
        stages.vertex = ShowGL::stageSource(ShowGL::vertexShader());
        stages.fragment = ShowGL::stageSource(ShowGL::fragmentShader());
    }
    // What is drawn is what the parts' records hold.
    const CaptureOptions::Stages drawn{stages.vertex, stages.fragment};
    if (options.slurmParts > 0) {
        if (options.fontGiven && !QImageReader(options.font).canRead())
            return failWith(QStringLiteral("%1: not an image that can be read").arg(options.font), 1);
        return submit(argc, argv, options, drawn, whole);
    }
    const FrameSchedule schedule = options.parts > 0 ? whole.part(options.part, options.parts) : whole;

    // A device asked for is EGL's whatever display there is; without a
    // display server the GL comes from EGL alone.
    if (options.device >= 0) {
        const int devices = HeadlessGL::devices().size();
        if (options.device >= devices)
            return failWith(HeadlessGL::noSuchDevice(options.device, devices)
                            + QStringLiteral(" (capture --device list names them)"), 1);
        HeadlessGL::useDevice(options.device);
    } else {
        HeadlessGL::offer();
    }
    QGuiApplication app(argc, argv);
    // The compiler's messages about a show's stage are reported here, each
    // named by file and line.
    leaveOutQtShaderReports();
    // From here on Ctrl-C and SIGTERM end the event loop, at once or as soon
    // as it runs, between two frames; the sink then takes its partial output
    // away.
    const QuitOnSignals quitOnSignals;

    const FontChoice font = chooseFont(options);
    if (!font.error.isEmpty())
        return failWith(font.error, 1);

    const int subframes = options.shutter > 0.0 ? options.subframes : 1;
    FrameRenderer renderer(options.size, options.supersample, subframes, stages.vertex, stages.fragment);
    if (!renderer.context().isValid())
        return failWith(noOpenGL(renderer.context()), 1);
    const QString device = drawingOn();
    QTextStream(stderr) << "capture: drawing on " << device << "; renderer " << renderer.renderer() << '\n';

    std::unique_ptr<FrameSink> sink;
    VideoEncoder *video = nullptr;
    if (!options.pngDirectory.isEmpty()) {
        sink = std::make_unique<PngSequence>(options.pngDirectory, options.size);
    } else {
        auto encoder = std::make_unique<VideoEncoder>(options, schedule);
        video = encoder.get();
        if (options.parts > 0) {
            PartRecord record = PartRecord::of(options, drawn, whole, options.part, options.parts);
            record.device = device;
            record.renderer = renderer.renderer();
            video->addTag(PartRecord::tagName(), record.toText());
        }
        sink = std::move(encoder);
    }
    if (renderer.stageFailure() != SceneRenderer::Failure::None && !stageFolder.folder.isEmpty())
        return failWith(stageFailure(renderer, stages), 1);
    if (!renderer.error().isEmpty())
        return failWith(renderer.error(), 1);
    if (stageFolder.folder.isEmpty())
        QTextStream(stderr) << "capture: " << ShowStages::compiledInNote() << '\n';
    if (!font.note.isEmpty())
        QTextStream(stderr) << "capture: " << font.note << '\n';
    renderer.setFont(font.image);
    renderer.setBeats(beatsOf(options.music));

    if (!sink->open())
        return failWith(sink->error(), 1);
    if (video && !video->warning().isEmpty())
        QTextStream(stderr) << "capture: warning: " << video->warning() << '\n';

    const QString failure = capture(app, renderer, schedule, options, *sink);
    if (!failure.isEmpty())
        return failWith(failure + QStringLiteral("; nothing written"), 1);
    return 0;
}
