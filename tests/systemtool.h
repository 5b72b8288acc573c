#ifndef SYSTEMTOOL_H
#define SYSTEMTOOL_H

#include <QProcess>

// What a system tool (xdotool, ffmpeg, ...) printed, and whether it succeeded.
struct ToolResult
{
    bool ok = false;   // finished with exit code 0
    int exitCode = -1; // -1 when it crashed or did not finish in time
    QByteArray out;
    QByteArray err;
};

// Runs a system tool to its end. The tools are not built with the sanitizers,
// so they do not get the sanitizer runtime that sanitizer test runs preload.
inline ToolResult runSystemTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000,
                                const QString &workingDirectory = {})
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(workingDirectory);
    tool.start(program, arguments);
    ToolResult result;
    if (tool.waitForFinished(timeoutMs) && tool.exitStatus() == QProcess::NormalExit)
        result.exitCode = tool.exitCode();
    result.ok = result.exitCode == 0;
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

#endif // SYSTEMTOOL_H
