// The studio: the show's scene from the shader stages on disk, rebuilt on
// every save, with the music in step with the picture.

#include "quitonsignals.h"
#include "studiooptions.h"
#include "studiowindow.h"

#include <QGuiApplication>
#include <QTextStream>

namespace {

QtMessageHandler qtHandler = nullptr;

// The studio reports the compiler's messages itself, each named by file and
// line; Qt's own report of a failed stage, with the whole source after it,
// would bury them.
void withoutQtsShaderReports(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && (message.startsWith(QLatin1String("QOpenGLShader::compile("))
            || message.startsWith(QLatin1String("QOpenGLShader::link"))
            || message.startsWith(QLatin1String("*** Problematic "))))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
}

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << "studio: " << message << '\n';
    return code;
}

} // namespace

int main(int argc, char *argv[])
{
    // The options are read before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    StudioOptions options;
    const QString problem = options.parse(arguments);
    if (options.helpAsked) {
        const QCoreApplication app(argc, argv);
        QTextStream(stdout) << StudioOptions::helpText();
        return 0;
    }
    if (!problem.isEmpty())
        return failWith(problem + QStringLiteral(" (studio --help lists the options)"), 2);

    qtHandler = qInstallMessageHandler(withoutQtsShaderReports);
    QGuiApplication app(argc, argv);
    // Ctrl-C and SIGTERM end the studio as Escape does.
    const QuitOnSignals quitOnSignals;
    StudioWindow window(options);
    if (!window.startupError().isEmpty())
        return failWith(window.startupError(), 1);
    window.start();
    return app.exec();
}
