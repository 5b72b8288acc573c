#ifndef QUITONSIGNALS_H
#define QUITONSIGNALS_H

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <optional>

// Ends the application's event loop on Ctrl-C (SIGINT) and SIGTERM, the way
// Escape ends the show. The handler only writes a byte into a pipe, which is
// all a signal handler may safely do; the event loop reads it and quits.
//
// A second signal ends the process at once: the first one gives both signals
// their default action back, so a program whose event loop is stuck, or whose
// orderly end hangs, still goes on the next Ctrl-C. Without a pipe the
// signals keep the action they had (by default, ending the process), with a
// warning. One at a time; the previous actions come back when it goes.
class QuitOnSignals
{
public:
    QuitOnSignals();
    ~QuitOnSignals();
    QuitOnSignals(const QuitOnSignals &) = delete;
    QuitOnSignals &operator=(const QuitOnSignals &) = delete;

    // Whether the signals end the event loop; false when no pipe could be made.
    bool isActive() const { return m_notifier.has_value(); }

private:
    static void handle(int signal);

    std::array<int, 2> m_pipe{-1, -1};
    std::optional<QSocketNotifier> m_notifier; // reads the pipe; none without one
    struct sigaction m_previousInterrupt = {};
    struct sigaction m_previousTerminate = {};
};

#endif // QUITONSIGNALS_H
