// A program that takes Ctrl-C and SIGTERM as the show does, for the signal
// tests. It says on standard output where it stands:
//   signalprobe wedge   "wedged" once its event loop is stuck on a blocking
//                       read of standard input, which a line ends; "ended in
//                       order" once its event loop has quit.
//   signalprobe nopipe  takes the signals with no file descriptor left for
//                       the pipe, then "running" while its loop runs.

#include "quitonsignals.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Holds every free file descriptor while it lives.
class AllDescriptorsTaken
{
public:
    AllDescriptorsTaken()
    {
        for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            m_taken.push_back(fd);
    }
    ~AllDescriptorsTaken()
    {
        for (const int fd : m_taken)
            close(fd);
    }

private:
    std::vector<int> m_taken;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);

    if (mode == QLatin1String("wedge")) {
        const QuitOnSignals quitOnSignals;
        QTimer::singleShot(0, [] {
            say("wedged");
            char line[64];
            [[maybe_unused]] const ssize_t got = read(STDIN_FILENO, line, sizeof line);
        });
        const int status = app.exec();
        say("ended in order");
        return status;
    }

    if (mode == QLatin1String("nopipe")) {
        std::optional<AllDescriptorsTaken> taken;
        taken.emplace();
        const QuitOnSignals quitOnSignals;
        taken.reset();
        if (quitOnSignals.isActive())
            return 3;
        QTimer::singleShot(0, [] { say("running"); });
        return app.exec();
    }
    return 2;
}
