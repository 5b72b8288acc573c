#include "captureoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

namespace {

// Beyond this a framebuffer is larger than GL drivers commonly allow.
constexpr int maxSide = 16384;
// The show timer counts milliseconds: past 1000 frames a second, frames would repeat.
constexpr int maxFps = 1000;

bool readSeconds(const QString &text, double *seconds)
{
    bool ok = false;
    *seconds = text.toDouble(&ok);
    return ok && std::isfinite(*seconds);
}

// The options, shared by the reading and the help text.
struct Parser
{
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
                "Renders the show offline at a fixed frame rate, every frame as the show draws it, "
                "into an MP4 video (H.264) with the music as its sound track, or into PNG frames."));
        parser.addOptions({help, size, fps, from, to, png, music});
        parser.addPositionalArgument(QStringLiteral("OUT.mp4"), QStringLiteral("The video to write."));
    }

    QCommandLineParser parser;
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help.")};
    const QCommandLineOption size{QStringLiteral("size"),
            QStringLiteral("Frame size in pixels (default 1920x1080)."), QStringLiteral("WxH")};
    const QCommandLineOption fps{QStringLiteral("fps"),
            QStringLiteral("Frames per second of the show's timer (default 60)."), QStringLiteral("N")};
    const QCommandLineOption from{QStringLiteral("from"),
            QStringLiteral("Show second to start at (default 0)."), QStringLiteral("SECONDS")};
    const QCommandLineOption to{QStringLiteral("to"),
            QStringLiteral("Show second to stop before (default: the end of the show)."), QStringLiteral("SECONDS")};
    const QCommandLineOption png{QStringLiteral("png"),
            QStringLiteral("Write PNG frames into a new folder instead of a video."), QStringLiteral("DIR")};
    const QCommandLineOption music{QStringLiteral("music"),
            QStringLiteral("The show's music file, for the sound track (default music.bmm)."), QStringLiteral("FILE")};
};

} // namespace

QString CaptureOptions::parse(const QStringList &arguments)
{
    Parser options;
    QCommandLineParser &parser = options.parser;
    if (!parser.parse(arguments))
        return parser.errorText();
    helpAsked = parser.isSet(options.help);
    if (helpAsked)
        return {};

    if (parser.isSet(options.size)) {
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"))
                .match(parser.value(options.size));
        size = match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
        if (size.width() < 1 || size.height() < 1 || size.width() > maxSide || size.height() > maxSide)
            return QStringLiteral("--size wants WIDTHxHEIGHT in pixels, each from 1 to %1, not '%2'")
                    .arg(maxSide).arg(parser.value(options.size));
    }

    if (parser.isSet(options.fps)) {
        bool ok = false;
        fps = parser.value(options.fps).toInt(&ok);
        if (!ok || fps < 1 || fps > maxFps)
            return QStringLiteral("--fps wants a whole number of frames per second from 1 to %1, not '%2'")
                    .arg(maxFps).arg(parser.value(options.fps));
    }

    if (parser.isSet(options.from) && (!readSeconds(parser.value(options.from), &from) || from < 0.0))
        return QStringLiteral("--from wants show seconds from 0 on, not '%1'").arg(parser.value(options.from));
    if (parser.isSet(options.to) && !readSeconds(parser.value(options.to), &to))
        return QStringLiteral("--to wants show seconds, not '%1'").arg(parser.value(options.to));
    if (to <= from)
        return QStringLiteral("--to (%1) must be later than --from (%2)").arg(parser.value(options.to)).arg(from);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return QStringLiteral("one output at a time, not '%1'").arg(positional.join(QStringLiteral("' '")));
    pngDirectory = parser.value(options.png);
    video = positional.value(0);
    if (parser.isSet(options.png) && pngDirectory.isEmpty())
        return QStringLiteral("--png wants a folder");
    if (video.isEmpty() == pngDirectory.isEmpty())
        return QStringLiteral("give either a video file or --png DIR");

    if (!video.isEmpty() && (size.width() % 2 || size.height() % 2))
        return QStringLiteral("an H.264 video wants an even width and height, not %1x%2")
                .arg(size.width()).arg(size.height());
    if (parser.isSet(options.music)) {
        if (!pngDirectory.isEmpty())
            return QStringLiteral("--music is for a video; PNG frames have no sound");
        music = parser.value(options.music);
    }
    return {};
}

QString CaptureOptions::helpText()
{
    return Parser().parser.helpText();
}
