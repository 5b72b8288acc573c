#include "stagemessages.h"
#include "stagelog.h"

bool isQtShaderReport(QtMsgType type, const QString &message)
{
    return type == QtWarningMsg
            && (message.startsWith(QLatin1String("QOpenGLShader::compile("))
                || message.startsWith(QLatin1String("QOpenGLShader::link"))
                || message.startsWith(QLatin1String("*** Problematic ")));
}

namespace {

QtMessageHandler handlerBefore = nullptr;

void withoutQtShaderReports(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!isQtShaderReport(type, message) && handlerBefore)
        handlerBefore(type, context, message);
}

} // namespace

QtMessageHandler leaveOutQtShaderReports()
{
    handlerBefore = qInstallMessageHandler(withoutQtShaderReports);
    return withoutQtShaderReports;
}

QString stagesDoNotBuild(const QString &log, const QString &file, bool linking, const QString &as)
{
    const QString what = (linking ? QStringLiteral("the show's stages do not link") : file + QStringLiteral(" does not compile"))
            + (as.isEmpty() ? QString() : QLatin1Char(' ') + as);
    return QStringLiteral("%1; nothing written:\n%2").arg(what, stageMessages(log, file).join(QLatin1Char('\n')));
}

QStringList stageMessages(const QString &log, const QString &file)
{
    QStringList messages;
    for (const std::string &message : StageLog::messages(log.toStdString(), file.toStdString()))
        messages << QString::fromStdString(message);
    return messages;
}
