#ifndef PROCESSRUN_H
#define PROCESSRUN_H

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Programs run to their end as a user runs them, for the tests and the
// benchmarks: the project's own programs, and system tools (xdotool, ffmpeg,
// make, the scripts), which are not built with the sanitizers and so must not
// get the sanitizer runtime that sanitizer test runs preload.
namespace ProcessRun {

struct Result
{
    int exitCode = -1; // -1: it crashed, or did not end in time and was killed
    QByteArray out;
    QByteArray err;

    bool ok() const { return exitCode == 0; }
    QString outText() const { return QString::fromLocal8Bit(out); }
    QString errText() const { return QString::fromLocal8Bit(err); }
};

struct Options
{
    QString folder; // the working folder; empty: this one
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    int timeoutMs = 120000;
};

Result run(const QString &program, const QStringList &arguments, const Options &options = {});

// The environment for a system tool: this one without the preloads of the
// sanitizer build's tests.
QProcessEnvironment toolEnvironment(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

// A system tool run in the tool environment.
Result runTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000);

// The X window id of a visible window of the process `pid`, once there is
// one; empty if none shows within `timeoutMs`.
QString visibleWindowOf(qint64 pid, int timeoutMs);

// The environment of a machine with no display server at all.
QProcessEnvironment withoutDisplay(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

} // namespace ProcessRun

#endif // PROCESSRUN_H
