#include "quitonsignals.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Where the handler writes; -1 while no QuitOnSignals lives.
volatile sig_atomic_t s_writeEnd = -1;

struct sigaction actionOf(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    // Neither signal interrupts the handler of the other: a second one waits
    // until the first has put the default action back, and then takes it.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    return action;
}

} // namespace

QuitOnSignals::QuitOnSignals()
{
    // Non-blocking, so that a handler never waits on a full pipe.
    if (pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("cannot take Ctrl-C and SIGTERM in order (no pipe: %s): they end the program at once",
                 strerror(errno));
        m_pipe = {-1, -1};
        return;
    }

    m_notifier.emplace(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(&*m_notifier, &QSocketNotifier::activated, [this] {
        char drained[16];
        while (read(m_pipe[0], drained, sizeof drained) > 0) {
        }
        QCoreApplication::quit();
    });

    s_writeEnd = m_pipe[1];
    const struct sigaction action = actionOf(&QuitOnSignals::handle);
    sigaction(SIGINT, &action, &m_previousInterrupt);
    sigaction(SIGTERM, &action, &m_previousTerminate);
}

QuitOnSignals::~QuitOnSignals()
{
    if (m_notifier) {
        sigaction(SIGINT, &m_previousInterrupt, nullptr);
        sigaction(SIGTERM, &m_previousTerminate, nullptr);
        s_writeEnd = -1;
        m_notifier.reset();
    }
    for (const int end : m_pipe)
        if (end >= 0)
            close(end);
}

void QuitOnSignals::handle(int)
{
    const int savedErrno = errno;
    const struct sigaction byDefault = actionOf(SIG_DFL);
    sigaction(SIGINT, &byDefault, nullptr);
    sigaction(SIGTERM, &byDefault, nullptr);
    const int end = s_writeEnd;
    if (end >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(end, &byte, 1);
    }
    errno = savedErrno;
}
