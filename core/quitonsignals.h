#ifndef QUITONSIGNALS_H
#define QUITONSIGNALS_H

#include <QSocketNotifier>

#include <array>
#include <csignal>

// Ends the application's event loop on Ctrl-C (SIGINT) and SIGTERM, the way
// Escape ends the show. The handler only writes a byte into a pipe, which is
// all a signal handler may safely do; the event loop reads it and quits.
// One at a time; the previous handlers come back when it goes.
class QuitOnSignals
{
public:
    QuitOnSignals();
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals &) = delete;
    QuitOnSignals &operator=(const QuitOnSignals &) = delete;

private:
    static void handle(int signal);

    std::array<int, 2> m_pipe;
    QSocketNotifier m_notifier;
    struct sigaction m_previousInterrupt = {};
    struct sigaction m_previousTerminate = {};
};

#endif // QUITONSIGNALS_H
