// The studio: the show's scene from the shader stages on disk, rebuilt on
// every save, with the music in step with the picture.

#include "newshow.h"
#include "quitonsignals.h"
#include "stagemessages.h"
#include "studiooptions.h"
#include "studiowindow.h"

#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

int failWith(const QString &message, int code)
{
    QTextStream(stderr) << "studio: " << message << '\n';
    return code;
}

// Without a display Qt ends the program with an abort and several lines of
// its own. While the application starts, Qt's messages are held: a fatal one
// gives way to one line and exit status 1; otherwise they are passed on.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;

// Which display was tried, and the first thing Qt said of it.
QString displayTried()
{
    const QString x = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (x.isEmpty() && wayland.isEmpty())
        return QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    const auto said = std::find_if(heldMessages.cbegin(), heldMessages.cend(),
                                   [](const HeldMessage &held) { return held.category.startsWith("qt.qpa"); });
    return QStringLiteral("the display %1 cannot be used%2")
            .arg(x.isEmpty() ? wayland : x,
                 said == heldMessages.cend() ? QString() : QStringLiteral(" (%1)").arg(said->text.simplified()));
}

void whileStarting(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, context.category, message});
        return;
    }
    std::_Exit(failWith(QStringLiteral("cannot open its window: %1; run it on the desktop, or on a virtual "
                                       "screen (scripts/with-x)").arg(displayTried()), 1));
}

void passOnHeldMessages(QtMessageHandler handler)
{
    for (const HeldMessage &held : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        handler(held.type, context, held.text);
    }
    heldMessages.clear();
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

    if (!options.newShow.isEmpty()) {
        const QCoreApplication app(argc, argv);
        const QString failure = NewShow::create(options.newShow, NewShow::installedFolder());
        if (!failure.isEmpty())
            return failWith(failure, 1);
        QTextStream(stdout) << "A new show in " << options.newShow << ": " << NewShow::files().join(QStringLiteral(", "))
                            << '\n';
        return 0;
    }

    const QtMessageHandler qtHandler = qInstallMessageHandler(whileStarting);
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    // The studio reports the compiler's messages itself, each named by file
    // and line.
    passOnHeldMessages(leaveOutQtShaderReports());
    // Ctrl-C and SIGTERM end the studio in order, without asking: unsaved
    // beat edits are kept beside the music file.
    const QuitOnSignals quitOnSignals;
    StudioWindow window(options);
    if (!window.startupError().isEmpty())
        return failWith(window.startupError(), 1);
    window.start();
    return app.exec();
}
