#include "quitonsignals.h"
#include "window.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    // Ctrl-C and SIGTERM end the show as Escape does, window and audio closed in order.
    const QuitOnSignals quitOnSignals;
    Window window;
    window.showFullScreen();
    return app.exec();
}
