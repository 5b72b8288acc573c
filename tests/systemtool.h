#ifndef SYSTEMTOOL_H
#define SYSTEMTOOL_H

#include <QProcess>

// What a system tool (xdotool, ffmpeg, ...) printed, and whether it succeeded.
struct ToolResult
{
    bool ok = false;
    QByteArray out;
    QByteArray err;
};

// Runs a system tool to its end. The tools are not built with the sanitizers,
// so they do not get the sanitizer runtime that sanitizer test runs preload.
inline ToolResult runSystemTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    tool.setProcessEnvironment(environment);
    tool.start(program, arguments);
    ToolResult result;
    result.ok = tool.waitForFinished(timeoutMs) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    result.out = tool.readAllStandardOutput();
    result.err = tool.readAllStandardError();
    return result;
}

#endif // SYSTEMTOOL_H
