#include "captureoptions.h"

#include "pixelsize.h"
#include "showstages.h"

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
constexpr int maxParts = 100000;
constexpr int maxCpus = 4096;

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

// "K/N": part K of N, K from 1.
bool readPart(const QString &text, int *part, int *parts)
{
    const QStringList numbers = text.split(QLatin1Char('/'));
    return numbers.size() == 2 && readWhole(numbers[0], 1, maxParts, part) && readWhole(numbers[1], 1, maxParts, parts)
            && *part <= *parts;
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
                "display: without one it draws through EGL alone.\n\n"
                "A long capture splits into parts, drawn on as many machines, that join into exactly "
                "the whole: --part K/N draws the K-th of N parts into a .mkv file of its own, and "
                "--join OUT PART... puts them together without encoding the picture again, refusing "
                "parts that are missing, doubled, overlapping, unfinished or made differently. "
                "--slurm N does all of it on the Slurm cluster of this machine: it submits the N parts "
                "as one job array and the join as a job that runs once all of them have finished well, "
                "and keeps the parts and the logs beside OUT in a folder named after it (show.parts "
                "for show.mp4). Should a part fail, Slurm cancels the join; the same command again "
                "draws only the parts that are missing, then joins them."));
        parser.addOptions({help, size, fps, from, to, supersample, shutter, subframes, png, codec, crf, preset,
                           music, shaders, stallLimit, part, join, slurm, partition, time, cpusPerTask,
                           account});
        parser.addPositionalArgument(QStringLiteral("OUT"),
                QStringLiteral("The video to write: .mp4, .mov or .mkv; a part, .mkv. With --join, the parts "
                               "to join, in any order."),
                QStringLiteral("OUT | --join OUT PART..."));
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
    const QCommandLineOption part{QStringLiteral("part"),
            QStringLiteral("Draw only the K-th of N parts of the frames (K from 1 to N), into a .mkv file "
                           "that records what it holds, for --join."), QStringLiteral("K/N")};
    const QCommandLineOption join{QStringLiteral("join"),
            QStringLiteral("Join the parts given after it into this video (.mp4, .mov or .mkv), the pictures "
                           "as they are; the sound as it is in .mkv, made AAC in .mp4 and .mov."),
            QStringLiteral("OUT")};
    const QCommandLineOption slurm{QStringLiteral("slurm"),
            QStringLiteral("Submit the capture to the Slurm cluster of this machine (sbatch on the PATH) in "
                           "N parts and a join, and print the jobs; the folder the parts go in must be on "
                           "storage every node shares."), QStringLiteral("N")};
    const QCommandLineOption partition{QStringLiteral("partition"),
            QStringLiteral("With --slurm: the cluster's partition for the jobs."), QStringLiteral("NAME")};
    const QCommandLineOption time{QStringLiteral("time"),
            QStringLiteral("With --slurm: each job's time limit, as sbatch takes it (say 2:00:00)."),
            QStringLiteral("LIMIT")};
    const QCommandLineOption cpusPerTask{QStringLiteral("cpus-per-task"),
            QStringLiteral("With --slurm: CPUs for each part; the scene draws with as many threads."),
            QStringLiteral("N")};
    const QCommandLineOption account{QStringLiteral("account"),
            QStringLiteral("With --slurm: the account the jobs are charged to."), QStringLiteral("NAME")};
    const QCommandLineOption shaders = ShowStages::folderOption();
    const QCommandLineOption music{QStringLiteral("music"),
            QStringLiteral("The show's music file, for the sound track (default %1; "
                           "without it the video is silent).").arg(QLatin1String(ShowFiles::music)),
            QStringLiteral("FILE")};
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

    if (parser.isSet(options.join)) {
        join = true;
        video = parser.value(options.join);
        joinParts = parser.positionalArguments();
        for (const QString &name : parser.optionNames())
            if (!options.join.names().contains(name))
                return QStringLiteral("--join takes the output and the parts alone, not --%1: the parts "
                                      "hold how they were made").arg(name);
        if (!videoExtensions.contains(QFileInfo(video).suffix().toLower()))
            return QStringLiteral("a video goes into a .mp4, .mov or .mkv file, not '%1'").arg(video);
        if (joinParts.isEmpty())
            return QStringLiteral("--join wants the parts to join after the output");
        return {};
    }

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

    if (parser.isSet(options.shaders)) {
        shaders = parser.value(options.shaders);
        if (shaders.isEmpty())
            return QStringLiteral("--shaders wants a folder");
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

    if (parser.isSet(options.part) && !readPart(parser.value(options.part), &part, &parts))
        return QStringLiteral("--part wants K/N, part K of N, K from 1 to N, not '%1'").arg(parser.value(options.part));
    if (parser.isSet(options.slurm) && !readWhole(parser.value(options.slurm), 1, maxParts, &slurmParts))
        return QStringLiteral("--slurm wants a whole number of parts from 1 to %1, not '%2'")
                .arg(maxParts).arg(parser.value(options.slurm));
    if (parts > 0 && slurmParts > 0)
        return QStringLiteral("--slurm submits every part itself: give --part or --slurm, not both");
    for (const QCommandLineOption *slurmOnly : {&options.partition, &options.time, &options.cpusPerTask,
                                                &options.account}) {
        if (!parser.isSet(*slurmOnly))
            continue;
        if (slurmParts == 0)
            return QStringLiteral("--%1 is for the jobs of --slurm").arg(slurmOnly->names().constFirst());
        if (parser.value(*slurmOnly).trimmed().isEmpty())
            return QStringLiteral("--%1 wants a value").arg(slurmOnly->names().constFirst());
    }
    partition = parser.value(options.partition);
    timeLimit = parser.value(options.time);
    account = parser.value(options.account);
    if (parser.isSet(options.cpusPerTask) && !readWhole(parser.value(options.cpusPerTask), 1, maxCpus, &cpusPerTask))
        return QStringLiteral("--cpus-per-task wants a whole number from 1 to %1, not '%2'")
                .arg(maxCpus).arg(parser.value(options.cpusPerTask));

    if (!pngDirectory.isEmpty()) {
        if (parts > 0 || slurmParts > 0)
            return QStringLiteral("--%1 makes videos that join; PNG frames need no join: give each machine "
                                  "--from and --to").arg(parts > 0 ? QStringLiteral("part") : QStringLiteral("slurm"));
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
    if (parts > 0 && extension != QLatin1String("mkv"))
        return QStringLiteral("a part goes into a .mkv file, which keeps the music's samples for the join, not '%1'")
                .arg(video);
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

QStringList CaptureOptions::pictureArguments() const
{
    QStringList arguments{
        QStringLiteral("--size"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
        QStringLiteral("--fps"), QString::number(fps),
        QStringLiteral("--from"), QString::number(from, 'g', 17),
    };
    if (std::isfinite(to))
        arguments << QStringLiteral("--to") << QString::number(to, 'g', 17);
    arguments << QStringLiteral("--supersample") << QString::number(supersample);
    if (shutter > 0.0)
        arguments << QStringLiteral("--shutter") << QString::number(shutter, 'g', 17) << QStringLiteral("--subframes")
                  << QString::number(subframes);
    arguments << QStringLiteral("--codec") << codecName(codec);
    // The defaults as they are: x264's default is tuned beyond its preset.
    if (crf >= 0)
        arguments << QStringLiteral("--crf") << QString::number(crf);
    if (!preset.isEmpty())
        arguments << QStringLiteral("--preset") << preset;
    // Without a music file here, none on the node either, unless one was asked for.
    if (musicGiven || QFileInfo(music).isFile())
        arguments << QStringLiteral("--music") << QFileInfo(music).absoluteFilePath();
    // The same stages on every node: the folder chosen here, by its full path.
    const QString stagesFolder = ShowStages::choose(shaders).folder;
    if (!stagesFolder.isEmpty())
        arguments << QStringLiteral("--shaders") << QFileInfo(stagesFolder).absoluteFilePath();
    arguments << QStringLiteral("--stall-limit") << QString::number(stallSeconds);
    return arguments;
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
