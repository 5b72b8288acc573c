// Writes a show as a web page: the folder any static file server serves,
// from the installed programs alone (the compiled web program comes with
// them), the show's stages, music and font taken as the maker has them.

#include "gpuscene.h"
#include "headlessgl.h"
#include "offscreencontext.h"
#include "scenerenderer.h"
#include "showfiles.h"
#include "showgl.h"
#include "showstages.h"
#include "stagemessages.h"
#include "webexport.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QImageReader>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTextStream>

#include <unistd.h>

namespace {

const char *const name = "webexport";

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << name << ": " << message << '\n';
    return code;
}

struct Options
{
    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    const QCommandLineOption shaders = ShowStages::folderOption();
    const QCommandLineOption music{QStringLiteral("music"),
            QStringLiteral("The show's music file (default %1).").arg(QLatin1String(ShowFiles::music)),
            QStringLiteral("FILE")};
    const QCommandLineOption font{QStringLiteral("font"),
            QStringLiteral("The image for the font texture (default %1).").arg(QLatin1String(ShowFiles::font)),
            QStringLiteral("FILE")};

    Options()
    {
        parser.setApplicationDescription(QStringLiteral(
                "Writes the show in the working folder as a web page into the new folder OUT, which any static "
                "file server serves: the page and its compiled program, the show's two stages as they are, its "
                "%1 and %2. The stages must build; OUT must not exist or be empty, and is made whole or not at "
                "all.").arg(QLatin1String(ShowFiles::music), QLatin1String(ShowFiles::font)));
        parser.addOptions({help, shaders, music, font});
        parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The folder to write the page into."));
    }
};

QString failedFile(SceneRenderer::Failure failure, const ShowStages::Texts &stages);

// One line and more on why the stages do not build: the compiler's
// messages, each named by the maker's file and line.
QString buildFailure(const SceneRenderer::Build &build, const ShowStages::Texts &stages)
{
    return stagesDoNotBuild(build.log, failedFile(build.failure, stages), build.failure == SceneRenderer::Failure::Link);
}

// The stage a build failed in, by the file it came from.
QString failedFile(SceneRenderer::Failure failure, const ShowStages::Texts &stages)
{
    return failure == SceneRenderer::Failure::Vertex ? stages.vertexPath
            : failure == SceneRenderer::Failure::Fragment ? stages.fragmentPath
            : stages.vertexPath + QStringLiteral(" + ") + stages.fragmentPath;
}

// The stages as the browser takes them: made GLSL ES 3.00 by the one rule
// the page runs (GpuScene's), compiled and linked on an OpenGL ES 3.0
// context of the same GL. Why not, in lines as buildFailure's; else nothing.
QString esFailure(const ShowStages::Texts &stages)
{
    QOffscreenSurface surface;
    surface.setFormat(HeadlessGL::format(HeadlessGL::Api::OpenGLES30));
    surface.create();
    QOpenGLContext context;
    context.setFormat(surface.format());
    if (!context.create() || !context.isOpenGLES() || !context.makeCurrent(&surface))
        return QStringLiteral("no OpenGL ES 3.0 context to check the stages as the browser takes them; nothing written");
    QOpenGLFunctions *gl = context.functions();
    const GLuint program = gl->glCreateProgram();
    const GpuScene::Build build = GpuScene::compile(program, stages.vertex.toStdString(), stages.fragment.toStdString(),
                                                    GpuScene::Dialect::Es);
    gl->glDeleteProgram(program);
    context.doneCurrent();
    if (build.failure == GpuScene::Failure::None)
        return {};
    const SceneRenderer::Failure failure = build.failure == GpuScene::Failure::Vertex ? SceneRenderer::Failure::Vertex
            : build.failure == GpuScene::Failure::Fragment ? SceneRenderer::Failure::Fragment
                                                           : SceneRenderer::Failure::Link;
    return stagesDoNotBuild(QString::fromStdString(build.log), failedFile(failure, stages),
                            failure == SceneRenderer::Failure::Link, QStringLiteral("as the browser's GLSL ES 3.00"));
}

} // namespace

int main(int argc, char *argv[])
{
    // The options are read before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString out;
    QString shaders;
    QString music = QString::fromLatin1(ShowFiles::music);
    QString font = QString::fromLatin1(ShowFiles::font);
    {
        const QCoreApplication app(argc, argv);
        Options options;
        if (!options.parser.parse(arguments))
            return failWith(options.parser.errorText() + QStringLiteral(" (--help lists the options)"), 2);
        if (options.parser.isSet(options.help)) {
            QTextStream(stdout) << options.parser.helpText();
            return 0;
        }
        const QStringList positional = options.parser.positionalArguments();
        if (positional.size() != 1)
            return failWith(QStringLiteral("give one folder to write the page into (--help lists the options)"), 2);
        out = positional.first();
        shaders = options.parser.value(options.shaders);
        if (options.parser.isSet(options.shaders) && shaders.isEmpty())
            return failWith(QStringLiteral("--shaders wants a folder"), 2);
        if (options.parser.isSet(options.music))
            music = options.parser.value(options.music);
        if (options.parser.isSet(options.font))
            font = options.parser.value(options.font);
    }

    // Without a display server the GL that checks the stages comes from EGL alone.
    HeadlessGL::offer();
    QGuiApplication app(argc, argv);
    // The compiler's messages about a show's stage are reported here, each
    // named by file and line.
    leaveOutQtShaderReports();

    const QString program = WebExport::programFolder();
    if (program.isEmpty())
        return failWith(QStringLiteral("no compiled web page to export with: it is installed with the show "
                                       "(make web builds it in the build folder); nothing written"), 1);

    const ShowStages::Choice choice = ShowStages::choose(shaders);
    if (!choice.error.isEmpty())
        return failWith(choice.error + QStringLiteral("; nothing written"), 1);
    ShowStages::Texts stages;
    if (choice.folder.isEmpty()) {
        QTextStream(stderr) << name << ": " << ShowStages::compiledInNote() << '\n';
        stages.vertex = ShowGL::stageSource(ShowGL::vertexShader());
        stages.fragment = ShowGL::stageSource(ShowGL::fragmentShader());
        stages.vertexPath = ShowStages::vertexName() + QStringLiteral(" (compiled in)");
        stages.fragmentPath = ShowStages::fragmentName() + QStringLiteral(" (compiled in)");
    } else {
        stages = ShowStages::read(choice.folder);
        if (!stages.error.isEmpty())
            return failWith(stages.error + QStringLiteral("; nothing written"), 1);
    }
    if (!QImageReader(font).canRead())
        return failWith(QStringLiteral("%1: not an image that can be read; nothing written").arg(font), 1);

    // The stages must build: a page whose picture cannot is not worth serving.
    {
        OffscreenContext context;
        if (!context.isValid() || !context.makeCurrent())
            return failWith(QStringLiteral("no OpenGL 4.1 core context to check the stages with; nothing written"), 1);
        const SceneRenderer::Build build = SceneRenderer::compile(stages.vertex, stages.fragment);
        if (build.failure != SceneRenderer::Failure::None)
            return failWith(buildFailure(build, stages), 1);
    }
    // And as the browser will take them, so that a page is not written
    // whose picture the browser refuses.
    const QString es = esFailure(stages);
    if (!es.isEmpty())
        return failWith(es, 1);

    // Encoding a long music takes a while: said on a terminal as it goes.
    const bool onTerminal = isatty(STDERR_FILENO) != 0;
    int saidPercent = -1;
    const auto progress = [&](qint64 done, qint64 total) {
        const int percent = int(done * 100 / qMax<qint64>(1, total));
        if (!onTerminal || percent == saidPercent)
            return;
        saidPercent = percent;
        QTextStream(stderr) << '\r' << name << ": encoding the music: " << percent << '%' << (done == total ? "\n" : "");
    };
    const QString failure = WebExport::write(program, {stages.vertex, stages.fragment, music, font}, out, progress);
    if (!failure.isEmpty())
        return failWith(failure + QStringLiteral("; nothing written"), 1);
    QTextStream(stdout) << "The show as a web page in " << out << ": serve that folder with any static file server\n";
    return 0;
}
