#include "quitonsignals.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Where the handler writes; -1 while no QuitOnSignals lives.
volatile sig_atomic_t s_writeEnd = -1;

std::array<int, 2> makePipe()
{
    std::array<int, 2> ends{-1, -1};
    // Non-blocking, so that a handler never waits on a full pipe.
    if (pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        qWarning("QuitOnSignals: no pipe: %s", strerror(errno));
    return ends;
}

} // namespace

QuitOnSignals::QuitOnSignals()
    : m_pipe(makePipe())
    , m_notifier(m_pipe[0], QSocketNotifier::Read)
{
    QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] {
        char drained[16];
        while (read(m_pipe[0], drained, sizeof drained) > 0) {
        }
        QCoreApplication::quit();
    });

    s_writeEnd = m_pipe[1];

    struct sigaction action = {};
    action.sa_handler = &QuitOnSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

QuitOnSignals::~QuitOnSignals()
{
    sigaction(SIGINT, &m_previousInterrupt, nullptr);
    sigaction(SIGTERM, &m_previousTerminate, nullptr);
    s_writeEnd = -1;
    m_notifier.setEnabled(false);
    for (const int end : m_pipe)
        if (end >= 0)
            close(end);
}

void QuitOnSignals::handle(int)
{
    const int savedErrno = errno;
    const int end = s_writeEnd;
    if (end >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(end, &byte, 1);
    }
    errno = savedErrno;
}
