#include "processrun.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

namespace ProcessRun {

Result run(const QString &program, const QStringList &arguments, const Options &options)
{
    QProcess process;
    process.setWorkingDirectory(options.folder);
    process.setProcessEnvironment(options.environment);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(options.timeoutMs)) {
        process.kill();
        process.waitForFinished();
    } else if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QProcessEnvironment toolEnvironment(QProcessEnvironment environment)
{
    environment.remove(QStringLiteral("LD_PRELOAD"));
    return environment;
}

Result runTool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    return run(program, arguments, {QString(), toolEnvironment(), timeoutMs});
}

QString visibleWindowOf(qint64 pid, int timeoutMs)
{
    // xdotool's own --sync gives up at the first X error, which a window of
    // another test closing on the same screen meanwhile can cause: it is
    // asked again until the window is there.
    const QDeadlineTimer deadline(timeoutMs);
    do {
        const Result found = runTool(QStringLiteral("xdotool"),
                                     {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--pid"), QString::number(pid)}, 15000);
        const QString id = QString::fromLatin1(found.out).split('\n', Qt::SkipEmptyParts).value(0);
        if (found.ok() && !id.isEmpty())
            return id;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return {};
}

QProcessEnvironment withoutDisplay(QProcessEnvironment environment)
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}

} // namespace ProcessRun
