#include "captureoptions.h"

#include "pixelsize.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>

namespace {

// The show timer counts milliseconds: past 1000 frames a second, frames would repeat.
constexpr int maxFps = 1000;
constexpr int maxSupersample = 4;
// Every sum of light in a pixel must stay within 32 bits: 4 x 4 samples of
// 64 sub-frames at 2^20 each make 2^30.
constexpr int maxSubframes = 64;
constexpr int maxCrf = 51;

// The containers a video may be written in, by the file name's extension.
const QStringList videoExtensions{QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("mkv")};

// x264's and x265's presets, fastest first: the later, the smaller the file
// for the same picture and the longer it takes.
const QStringList presets{
    QStringLiteral("ultrafast"), QStringLiteral("superfast"), QStringLiteral("veryfast"), QStringLiteral("faster"),
    QStringLiteral("fast"), QStringLiteral("medium"), QStringLiteral("slow"), QStringLiteral("slower"),
    QStringLiteral("veryslow"), QStringLiteral("placebo"),
};

bool readWhole(const QString &text, int lowest, int highest, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= lowest && *value <= highest;
}

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
                "into a video with the music as its sound track, or into PNG frames. Needs no "
                "display: without one it draws through EGL alone."));
        parser.addOptions({help, size, fps, from, to, supersample, shutter, subframes, png, codec, crf, preset,
                           music, stallLimit});
        parser.addPositionalArgument(QStringLiteral("OUT"),
                QStringLiteral("The video to write: .mp4, .mov or .mkv."));
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
    const QCommandLineOption supersample{QStringLiteral("supersample"),
            QStringLiteral("Draw each frame at N times its width and height and average each N x N block "
                           "in linear light, for smooth edges (1 to 4, default 1)."), QStringLiteral("N")};
    const QCommandLineOption shutter{QStringLiteral("shutter"),
            QStringLiteral("Motion blur: average sub-frames spread over this fraction of each frame's "
                           "duration, in linear light (0 to 1, default 0: none)."), QStringLiteral("F")};
    const QCommandLineOption subframes{QStringLiteral("subframes"),
            QStringLiteral("Sub-frames a frame averages with --shutter (1 to 64, default 8)."), QStringLiteral("N")};
    const QCommandLineOption codec{QStringLiteral("codec"),
            QStringLiteral("h264 (default), h265, or ffv1 (lossless, in .mkv)."), QStringLiteral("NAME")};
    const QCommandLineOption crf{QStringLiteral("crf"),
            QStringLiteral("Constant rate factor of h264 and h265, 0 (lossless) to 51: lower is better and larger "
                           "(default 18 for h264, 20 for h265)."), QStringLiteral("N")};
    const QCommandLineOption preset{QStringLiteral("preset"),
            QStringLiteral("The encoder's speed against the file's size for h264 and h265, ultrafast to veryslow "
                           "(default superfast, tuned, for h264; veryfast for h265)."), QStringLiteral("NAME")};
    const QCommandLineOption stallLimit{QStringLiteral("stall-limit"),
            QStringLiteral("Give up when ffmpeg has taken no frame and written nothing for this long "
                           "(default 120)."), QStringLiteral("SECONDS")};
    const QCommandLineOption png{QStringLiteral("png"),
            QStringLiteral("Write PNG frames into a new folder instead of a video."), QStringLiteral("DIR")};
    const QCommandLineOption music{QStringLiteral("music"),
            QStringLiteral("The show's music file, for the sound track (default music.bmm; "
                           "without it the video is silent)."), QStringLiteral("FILE")};
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
        size = PixelSize::parse(parser.value(options.size));
        if (!size.isValid())
            return PixelSize::refusal(QStringLiteral("--size"), parser.value(options.size));
    }

    if (parser.isSet(options.fps) && !readWhole(parser.value(options.fps), 1, maxFps, &fps))
        return QStringLiteral("--fps wants a whole number of frames per second from 1 to %1, not '%2'")
                .arg(maxFps).arg(parser.value(options.fps));

    if (parser.isSet(options.from) && (!readSeconds(parser.value(options.from), &from) || from < 0.0))
        return QStringLiteral("--from wants show seconds from 0 on, not '%1'").arg(parser.value(options.from));
    if (parser.isSet(options.to) && !readSeconds(parser.value(options.to), &to))
        return QStringLiteral("--to wants show seconds, not '%1'").arg(parser.value(options.to));
    if (to <= from)
        return QStringLiteral("--to (%1) must be later than --from (%2)").arg(parser.value(options.to)).arg(from);

    if (parser.isSet(options.supersample)
        && !readWhole(parser.value(options.supersample), 1, maxSupersample, &supersample))
        return QStringLiteral("--supersample wants a whole number from 1 to %1, not '%2'")
                .arg(maxSupersample).arg(parser.value(options.supersample));
    if (size.width() * supersample > PixelSize::maxSide || size.height() * supersample > PixelSize::maxSide)
        return QStringLiteral("--supersample %1 at %2x%3 draws beyond %4 pixels a side")
                .arg(supersample).arg(size.width()).arg(size.height()).arg(PixelSize::maxSide);
    if (parser.isSet(options.shutter)
        && (!readSeconds(parser.value(options.shutter), &shutter) || shutter < 0.0 || shutter > 1.0))
        return QStringLiteral("--shutter wants a fraction of a frame from 0 to 1, not '%1'")
                .arg(parser.value(options.shutter));
    if (parser.isSet(options.subframes)) {
        if (!readWhole(parser.value(options.subframes), 1, maxSubframes, &subframes))
            return QStringLiteral("--subframes wants a whole number from 1 to %1, not '%2'")
                    .arg(maxSubframes).arg(parser.value(options.subframes));
        if (!parser.isSet(options.shutter))
            return QStringLiteral("--subframes is for motion blur: give --shutter too");
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return QStringLiteral("one output at a time, not '%1'").arg(positional.join(QStringLiteral("' '")));
    pngDirectory = parser.value(options.png);
    video = positional.value(0);
    if (parser.isSet(options.png) && pngDirectory.isEmpty())
        return QStringLiteral("--png wants a folder");
    if (video.isEmpty() == pngDirectory.isEmpty())
        return QStringLiteral("give either a video file or --png DIR");

    if (!pngDirectory.isEmpty()) {
        for (const QCommandLineOption *videoOnly : {&options.codec, &options.crf, &options.preset, &options.music,
                                                    &options.stallLimit})
            if (parser.isSet(*videoOnly))
                return QStringLiteral("--%1 is for a video; PNG frames have no sound and no codec")
                        .arg(videoOnly->names().constFirst());
        return {};
    }

    const QString extension = QFileInfo(video).suffix().toLower();
    if (!videoExtensions.contains(extension))
        return QStringLiteral("a video goes into a .mp4, .mov or .mkv file, not '%1'").arg(video);
    if (parser.isSet(options.codec)) {
        const QString name = parser.value(options.codec).toLower();
        bool known = false;
        for (const Codec each : {Codec::H264, Codec::H265, Codec::Ffv1})
            if (name == codecName(each)) {
                codec = each;
                known = true;
            }
        if (!known)
            return QStringLiteral("--codec wants h264, h265 or ffv1, not '%1'").arg(parser.value(options.codec));
    }
    if (codec == Codec::Ffv1 && extension != QLatin1String("mkv"))
        return QStringLiteral("ffv1 goes into a .mkv file; a .%1 file cannot hold it").arg(extension);
    if (parser.isSet(options.crf)) {
        if (codec == Codec::Ffv1)
            return QStringLiteral("--crf is for h264 and h265; ffv1 is lossless");
        if (!readWhole(parser.value(options.crf), 0, maxCrf, &crf))
            return QStringLiteral("--crf wants a whole number from 0 to %1, not '%2'")
                    .arg(maxCrf).arg(parser.value(options.crf));
    }
    if (parser.isSet(options.preset)) {
        if (codec == Codec::Ffv1)
            return QStringLiteral("--preset is for h264 and h265; ffv1 has none");
        preset = parser.value(options.preset).toLower();
        if (!presets.contains(preset))
            return QStringLiteral("--preset wants one of %1, not '%2'")
                    .arg(presets.join(QStringLiteral(", ")), parser.value(options.preset));
    }
    // 4:2:0 video halves the colour's width and height.
    if (codec != Codec::Ffv1 && (size.width() % 2 || size.height() % 2))
        return QStringLiteral("%1 video wants an even width and height, not %2x%3")
                .arg(codecName(codec)).arg(size.width()).arg(size.height());
    if (parser.isSet(options.stallLimit) && !readWhole(parser.value(options.stallLimit), 1, 86400, &stallSeconds))
        return QStringLiteral("--stall-limit wants whole seconds from 1 to 86400, not '%1'")
                .arg(parser.value(options.stallLimit));
    musicGiven = parser.isSet(options.music);
    if (musicGiven)
        music = parser.value(options.music);
    return {};
}

QString CaptureOptions::helpText()
{
    return Parser().parser.helpText();
}

int CaptureOptions::effectiveCrf() const
{
    if (crf >= 0)
        return crf;
    // About the same look from both: h265 needs fewer bits for it.
    return codec == Codec::H265 ? 20 : 18;
}

QString CaptureOptions::effectivePreset() const
{
    if (!preset.isEmpty())
        return preset;
    // Fast enough to leave the drawing most of the machine (the video
    // encoder tunes x264's further). x265 takes several times longer at any
    // preset; at veryfast it made a 1280x720 frame of the show in about half
    // the time the frame took to draw, at a third of x264's bytes.
    return codec == Codec::H265 ? QStringLiteral("veryfast") : QStringLiteral("superfast");
}

QString CaptureOptions::codecName(Codec codec)
{
    switch (codec) {
    case Codec::H264: return QStringLiteral("h264");
    case Codec::H265: return QStringLiteral("h265");
    case Codec::Ffv1: return QStringLiteral("ffv1");
    }
    return {};
}
