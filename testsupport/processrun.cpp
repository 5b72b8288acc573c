#include "processrun.h"

#include <QProcess>

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

QProcessEnvironment withoutDisplay(QProcessEnvironment environment)
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
}

} // namespace ProcessRun
