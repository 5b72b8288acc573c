#include "ffmpegoutput.h"

#include <QFileInfo>

namespace FfmpegOutput {

namespace {

bool isMatroska(const QString &video)
{
    return containerOf(video) == QLatin1String("mkv");
}

} // namespace

QString containerOf(const QString &video)
{
    return QFileInfo(video).suffix().toLower();
}

QStringList quiet()
{
    return {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-nostdin"),
            QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y")};
}

QStringList sound(const QString &video, bool copied)
{
    if (isMatroska(video))
        return {QStringLiteral("-c:a"), copied ? QStringLiteral("copy") : QStringLiteral("pcm_f32le")};
    return {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("192k")};
}

QStringList container(const QString &video, const QString &codec, const QString &pendingPath)
{
    if (isMatroska(video))
        return {QStringLiteral("-f"), QStringLiteral("matroska"), pendingPath};
    QStringList arguments;
    if (codec == QLatin1String("h265"))
        arguments << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
    arguments << QStringLiteral("-movflags") << QStringLiteral("+faststart") << QStringLiteral("-f")
              << containerOf(video) << pendingPath;
    return arguments;
}

} // namespace FfmpegOutput
