#include "captureoptions.h"

#include "inputfile.h"
#include "pixelsize.h"
#include "showstages.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <functional>
#include <optional>
#include <vector>

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
constexpr int maxGpus = 64;
constexpr int maxDevice = 1023;

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

// Where an option applies: to any capture, to a video alone (not to PNG
// frames), or to the jobs of --slurm alone.
enum class Use { Any, Video, Slurm };

// One option of the capture, described once: its name, value and help; how
// its value is read into the options (an empty string when it is good, else
// the one line that says why not); how a part's command line passes it on
// (nothing: left out); and how a part's record holds it (nothing: not in the
// record), under its own name or `recordKey`.
struct Row
{
    QCommandLineOption option;
    Use use = Use::Any;
    std::function<QString(CaptureOptions &, const QString &)> read;
    std::function<std::optional<QString>(const CaptureOptions &)> argument;
    std::function<std::optional<QString>(const CaptureOptions &, const CaptureOptions::Stages &)> shape;
    QString recordKey;
    // For a value held as a digest: what parts that differ in it were.
    QString digestDifference;

    QString name() const { return option.names().constLast(); }
    QString key() const { return recordKey.isEmpty() ? QStringLiteral("--") + name() : recordKey; }
};

QCommandLineOption option(const QString &name, const QString &help, const QString &value = {})
{
    return QCommandLineOption(name, help, value);
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

QString sizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

// A whole number from lowest to highest, or the line that refuses it.
QString readWholeOption(const QString &option, const QString &text, int lowest, int highest, int *value)
{
    if (readWhole(text, lowest, highest, value))
        return {};
    return QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'").arg(option).arg(lowest).arg(highest).arg(text);
}

// The digest of a whole file, or `none` when it cannot be read (the capture
// then makes no sound track, or draws no font).
QString fileDigest(const QString &path, const QString &none)
{
    QFile file(path);
    if (path.isEmpty() || !openInputFile(file).isEmpty())
        return none;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hash.addData(&file))
        return none;
    return QString::fromLatin1(hash.result().toHex());
}

QString stagesDigest(const CaptureOptions::Stages &drawn)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(drawn.vertex);
    hash.addData(drawn.fragment);
    return QString::fromLatin1(hash.result().toHex());
}

// Every option of the capture, in the order the help lists them, a part's
// command line gives them and their values are read (the codec before the
// options that depend on it).
const std::vector<Row> &rows()
{
    static const std::vector<Row> table{
        {option(QStringLiteral("size"), QStringLiteral("Frame size in pixels (default 1920x1080)."),
                QStringLiteral("WxH")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             o.size = PixelSize::parse(text);
             return o.size.isValid() ? QString() : PixelSize::refusal(QStringLiteral("--size"), text);
         },
         [](const CaptureOptions &o) { return std::optional<QString>(sizeText(o.size)); },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) { return std::optional<QString>(sizeText(o.size)); },
         {}, {}},
        {option(QStringLiteral("fps"), QStringLiteral("Frames per second of the show's timer (default 60)."),
                QStringLiteral("N")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readWhole(text, 1, maxFps, &o.fps))
                 return QString();
             return QStringLiteral("--fps wants a whole number of frames per second from 1 to %1, not '%2'")
                     .arg(maxFps).arg(text);
         },
         [](const CaptureOptions &o) { return std::optional<QString>(QString::number(o.fps)); },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return std::optional<QString>(QString::number(o.fps));
         },
         {}, {}},
        {option(QStringLiteral("from"), QStringLiteral("Show second to start at (default 0)."),
                QStringLiteral("SECONDS")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readSeconds(text, &o.from) && o.from >= 0.0)
                 return QString();
             return QStringLiteral("--from wants show seconds from 0 on, not '%1'").arg(text);
         },
         // The whole capture's frames are in the record already.
         [](const CaptureOptions &o) { return std::optional<QString>(number(o.from)); }, nullptr, {}, {}},
        {option(QStringLiteral("to"), QStringLiteral("Show second to stop before (default: the end of the show)."),
                QStringLiteral("SECONDS")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readSeconds(text, &o.to))
                 return QString();
             return QStringLiteral("--to wants show seconds, not '%1'").arg(text);
         },
         [](const CaptureOptions &o) {
             return std::isfinite(o.to) ? std::optional<QString>(number(o.to)) : std::nullopt;
         },
         nullptr, {}, {}},
        {option(QStringLiteral("supersample"),
                QStringLiteral("Draw each frame at N times its width and height and average each N x N block "
                               "in linear light, for smooth edges (1 to 4, default 1)."), QStringLiteral("N")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             return readWholeOption(QStringLiteral("supersample"), text, 1, maxSupersample, &o.supersample);
         },
         [](const CaptureOptions &o) { return std::optional<QString>(QString::number(o.supersample)); },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return std::optional<QString>(QString::number(o.supersample));
         },
         {}, {}},
        {option(QStringLiteral("shutter"),
                QStringLiteral("Motion blur: average sub-frames spread over this fraction of each frame's "
                               "duration, in linear light (0 to 1, default 0: none)."), QStringLiteral("F")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readSeconds(text, &o.shutter) && o.shutter >= 0.0 && o.shutter <= 1.0)
                 return QString();
             return QStringLiteral("--shutter wants a fraction of a frame from 0 to 1, not '%1'").arg(text);
         },
         [](const CaptureOptions &o) {
             return o.shutter > 0.0 ? std::optional<QString>(number(o.shutter)) : std::nullopt;
         },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) { return std::optional<QString>(number(o.shutter)); },
         {}, {}},
        {option(QStringLiteral("subframes"),
                QStringLiteral("Sub-frames a frame averages with --shutter (1 to 64, default 8)."), QStringLiteral("N")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             return readWholeOption(QStringLiteral("subframes"), text, 1, maxSubframes, &o.subframes);
         },
         [](const CaptureOptions &o) {
             return o.shutter > 0.0 ? std::optional<QString>(QString::number(o.subframes)) : std::nullopt;
         },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return o.shutter > 0.0 ? std::optional<QString>(QString::number(o.subframes)) : std::nullopt;
         },
         {}, {}},
        {option(QStringLiteral("png"), QStringLiteral("Write PNG frames into a new folder instead of a video."),
                QStringLiteral("DIR")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             o.pngDirectory = text;
             return text.isEmpty() ? QStringLiteral("--png wants a folder") : QString();
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("codec"), QStringLiteral("h264 (default), h265, or ffv1 (lossless, in .mkv)."),
                QStringLiteral("NAME")),
         Use::Video,
         [](CaptureOptions &o, const QString &text) {
             for (const CaptureOptions::Codec each :
                  {CaptureOptions::Codec::H264, CaptureOptions::Codec::H265, CaptureOptions::Codec::Ffv1})
                 if (text.toLower() == CaptureOptions::codecName(each)) {
                     o.codec = each;
                     return QString();
                 }
             return QStringLiteral("--codec wants h264, h265 or ffv1, not '%1'").arg(text);
         },
         [](const CaptureOptions &o) { return std::optional<QString>(CaptureOptions::codecName(o.codec)); },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return std::optional<QString>(CaptureOptions::codecName(o.codec));
         },
         {}, {}},
        {option(QStringLiteral("crf"),
                QStringLiteral("Constant rate factor of h264 and h265, 0 (lossless) to 51: lower is better and "
                               "larger (default 18 for h264, 20 for h265)."), QStringLiteral("N")),
         Use::Video,
         [](CaptureOptions &o, const QString &text) {
             if (o.codec == CaptureOptions::Codec::Ffv1)
                 return QStringLiteral("--crf is for h264 and h265; ffv1 is lossless");
             return readWholeOption(QStringLiteral("crf"), text, 0, maxCrf, &o.crf);
         },
         // The defaults as they are: x264's default is tuned beyond its preset.
         [](const CaptureOptions &o) {
             return o.crf >= 0 ? std::optional<QString>(QString::number(o.crf)) : std::nullopt;
         },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return o.codec != CaptureOptions::Codec::Ffv1 ? std::optional<QString>(QString::number(o.effectiveCrf()))
                                                          : std::nullopt;
         },
         {}, {}},
        {option(QStringLiteral("preset"),
                QStringLiteral("The encoder's speed against the file's size for h264 and h265, ultrafast to "
                               "veryslow (default superfast, tuned, for h264; veryfast for h265)."),
                QStringLiteral("NAME")),
         Use::Video,
         [](CaptureOptions &o, const QString &text) {
             if (o.codec == CaptureOptions::Codec::Ffv1)
                 return QStringLiteral("--preset is for h264 and h265; ffv1 has none");
             o.preset = text.toLower();
             if (presets.contains(o.preset))
                 return QString();
             return QStringLiteral("--preset wants one of %1, not '%2'").arg(presets.join(QStringLiteral(", ")), text);
         },
         [](const CaptureOptions &o) { return o.preset.isEmpty() ? std::nullopt : std::optional<QString>(o.preset); },
         // x264's default is tuned beyond its preset.
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             if (o.codec == CaptureOptions::Codec::Ffv1)
                 return std::optional<QString>();
             return std::optional<QString>(o.preset.isEmpty() ? QStringLiteral("default") : o.preset);
         },
         {}, {}},
        {option(QStringLiteral("music"),
                QStringLiteral("The show's music file, for the sound track (default %1; without it the video is "
                               "silent).").arg(QLatin1String(ShowFiles::music)), QStringLiteral("FILE")),
         Use::Video,
         [](CaptureOptions &o, const QString &text) {
             o.music = text;
             o.musicGiven = true;
             return QString();
         },
         // Without a music file here, none on the node either, unless one was asked for.
         [](const CaptureOptions &o) {
             if (!o.musicGiven && !QFileInfo(o.music).isFile())
                 return std::optional<QString>();
             return std::optional<QString>(QFileInfo(o.music).absoluteFilePath());
         },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) { return std::optional<QString>(fileDigest(o.music, CaptureOptions::noMusic())); },
         {}, QStringLiteral("made from another music file")},
        {ShowStages::folderOption(), Use::Any,
         [](CaptureOptions &o, const QString &text) {
             o.shaders = text;
             return text.isEmpty() ? QStringLiteral("--shaders wants a folder") : QString();
         },
         // The same stages on every node: the folder chosen here, by its full path.
         [](const CaptureOptions &o) {
             const QString folder = ShowStages::choose(o.shaders).folder;
             return folder.isEmpty() ? std::nullopt : std::optional<QString>(QFileInfo(folder).absoluteFilePath());
         },
         [](const CaptureOptions &, const CaptureOptions::Stages &drawn) {
             return std::optional<QString>(stagesDigest(drawn));
         },
         QStringLiteral("stages"), QStringLiteral("drawn by other shader stages")},
        {option(QStringLiteral("font"),
                QStringLiteral("The image for the font texture, iFont (default %1 in the working folder, as the "
                               "show reads it, else the installed show's).").arg(QLatin1String(ShowFiles::font)),
                QStringLiteral("FILE")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             o.font = text;
             o.fontGiven = true;
             return text.isEmpty() ? QStringLiteral("--font wants a file") : QString();
         },
         // The same font on every node, by its full path.
         [](const CaptureOptions &o) {
             const QString font = o.fontFile();
             return font.isEmpty() ? std::nullopt : std::optional<QString>(QFileInfo(font).absoluteFilePath());
         },
         [](const CaptureOptions &o, const CaptureOptions::Stages &) {
             return std::optional<QString>(fileDigest(o.fontFile(), QStringLiteral("none")));
         },
         {}, QStringLiteral("drawn with another font")},
        {option(QStringLiteral("stall-limit"),
                QStringLiteral("Give up when ffmpeg has taken no frame and written nothing for this long "
                               "(default 120)."), QStringLiteral("SECONDS")),
         Use::Video,
         [](CaptureOptions &o, const QString &text) {
             if (readWhole(text, 1, 86400, &o.stallSeconds))
                 return QString();
             return QStringLiteral("--stall-limit wants whole seconds from 1 to 86400, not '%1'").arg(text);
         },
         [](const CaptureOptions &o) { return std::optional<QString>(QString::number(o.stallSeconds)); }, nullptr,
         {}, {}},
        // Each part draws on the GPU Slurm allots it: no part is given one.
        {option(QStringLiteral("device"),
                QStringLiteral("Draw on the N-th EGL device, without any display; 'list' lists them and what "
                               "EGL tells of each (default: the GPU Slurm allotted the task, else the first GPU, "
                               "else the software device)."), QStringLiteral("N|list")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readWhole(text, 0, maxDevice, &o.device))
                 return QString();
             return QStringLiteral("--device wants the number of an EGL device, or list, not '%1'").arg(text);
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("part"),
                QStringLiteral("Draw only the K-th of N parts of the frames (K from 1 to N), into a .mkv file "
                               "that records what it holds, for --join."), QStringLiteral("K/N")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readPart(text, &o.part, &o.parts))
                 return QString();
             return QStringLiteral("--part wants K/N, part K of N, K from 1 to N, not '%1'").arg(text);
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("join"),
                QStringLiteral("Join the parts given after it into this video (.mp4, .mov or .mkv), the pictures "
                               "as they are; the sound as it is in .mkv, made AAC in .mp4 and .mov."),
                QStringLiteral("OUT")),
         Use::Any, nullptr, nullptr, nullptr, {}, {}},
        {option(QStringLiteral("slurm"),
                QStringLiteral("Submit the capture to the Slurm cluster of this machine (sbatch on the PATH) in "
                               "N parts and a join, and print the jobs; the folder the parts go in must be on "
                               "storage every node shares."), QStringLiteral("N")),
         Use::Any,
         [](CaptureOptions &o, const QString &text) {
             if (readWhole(text, 1, maxParts, &o.slurmParts))
                 return QString();
             return QStringLiteral("--slurm wants a whole number of parts from 1 to %1, not '%2'").arg(maxParts).arg(text);
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("partition"), QStringLiteral("With --slurm: the cluster's partition for the jobs."),
                QStringLiteral("NAME")),
         Use::Slurm, [](CaptureOptions &o, const QString &text) { o.partition = text; return QString(); },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("time"),
                QStringLiteral("With --slurm: each job's time limit, as sbatch takes it (say 2:00:00)."),
                QStringLiteral("LIMIT")),
         Use::Slurm, [](CaptureOptions &o, const QString &text) { o.timeLimit = text; return QString(); },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("cpus-per-task"),
                QStringLiteral("With --slurm: CPUs for each part; the scene draws with as many threads."),
                QStringLiteral("N")),
         Use::Slurm,
         [](CaptureOptions &o, const QString &text) {
             return readWholeOption(QStringLiteral("cpus-per-task"), text, 1, maxCpus, &o.cpusPerTask);
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("gpus-per-part"),
                QStringLiteral("With --slurm: GPUs for each part (sbatch --gres=gpu:N); each part draws on the "
                               "first GPU Slurm allots it."), QStringLiteral("N")),
         Use::Slurm,
         [](CaptureOptions &o, const QString &text) {
             return readWholeOption(QStringLiteral("gpus-per-part"), text, 1, maxGpus, &o.gpusPerPart);
         },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("gres"),
                QStringLiteral("With --slurm: generic resources for each part, as sbatch's --gres takes them "
                               "(say gpu:a100:1)."), QStringLiteral("RESOURCES")),
         Use::Slurm, [](CaptureOptions &o, const QString &text) { o.gres = text; return QString(); },
         nullptr, nullptr, {}, {}},
        {option(QStringLiteral("account"), QStringLiteral("With --slurm: the account the jobs are charged to."),
                QStringLiteral("NAME")),
         Use::Slurm, [](CaptureOptions &o, const QString &text) { o.account = text; return QString(); },
         nullptr, nullptr, {}, {}},
    };
    return table;
}

const QCommandLineOption helpOption{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};

// The command line's parser, its options from the table.
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
        parser.addOption(helpOption);
        for (const Row &row : rows())
            parser.addOption(row.option);
        parser.addPositionalArgument(QStringLiteral("OUT"),
                QStringLiteral("The video to write: .mp4, .mov or .mkv; a part, .mkv. With --join, the parts "
                               "to join, in any order."),
                QStringLiteral("OUT | --join OUT PART..."));
    }

    QCommandLineParser parser;
};

} // namespace

QString CaptureOptions::parse(const QStringList &arguments)
{
    Parser options;
    QCommandLineParser &parser = options.parser;
    if (!parser.parse(arguments))
        return parser.errorText();
    helpAsked = parser.isSet(helpOption);
    if (helpAsked)
        return {};
    deviceListAsked = parser.value(QStringLiteral("device")) == QLatin1String("list");
    if (deviceListAsked)
        return {};

    const QString joinName = QStringLiteral("join");
    if (parser.isSet(joinName)) {
        join = true;
        video = parser.value(joinName);
        joinParts = parser.positionalArguments();
        for (const QString &name : parser.optionNames())
            if (name != joinName)
                return QStringLiteral("--join takes the output and the parts alone, not --%1: the parts "
                                      "hold how they were made").arg(name);
        if (!videoExtensions.contains(QFileInfo(video).suffix().toLower()))
            return QStringLiteral("a video goes into a .mp4, .mov or .mkv file, not '%1'").arg(video);
        if (joinParts.isEmpty())
            return QStringLiteral("--join wants the parts to join after the output");
        return {};
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return QStringLiteral("one output at a time, not '%1'").arg(positional.join(QStringLiteral("' '")));
    video = positional.value(0);
    const bool png = parser.isSet(QStringLiteral("png"));

    // Options where they do not apply, before their values are read.
    for (const Row &row : rows()) {
        if (!parser.isSet(row.option))
            continue;
        if (row.use == Use::Video && png)
            return QStringLiteral("--%1 is for a video; PNG frames have no sound and no codec").arg(row.name());
        if (row.use == Use::Slurm) {
            if (!parser.isSet(QStringLiteral("slurm")))
                return QStringLiteral("--%1 is for the jobs of --slurm").arg(row.name());
            if (parser.value(row.option).trimmed().isEmpty())
                return QStringLiteral("--%1 wants a value").arg(row.name());
        }
    }
    for (const Row &row : rows()) {
        if (!row.read || !parser.isSet(row.option))
            continue;
        const QString problem = row.read(*this, parser.value(row.option));
        if (!problem.isEmpty())
            return problem;
    }

    // What the options say together.
    if (to <= from)
        return QStringLiteral("--to (%1) must be later than --from (%2)").arg(parser.value(QStringLiteral("to"))).arg(from);
    if (size.width() * supersample > PixelSize::maxSide || size.height() * supersample > PixelSize::maxSide)
        return QStringLiteral("--supersample %1 at %2x%3 draws beyond %4 pixels a side")
                .arg(supersample).arg(size.width()).arg(size.height()).arg(PixelSize::maxSide);
    if (parser.isSet(QStringLiteral("subframes")) && !parser.isSet(QStringLiteral("shutter")))
        return QStringLiteral("--subframes is for motion blur: give --shutter too");
    if (video.isEmpty() == pngDirectory.isEmpty())
        return QStringLiteral("give either a video file or --png DIR");
    if (parts > 0 && slurmParts > 0)
        return QStringLiteral("--slurm submits every part itself: give --part or --slurm, not both");
    if (device >= 0 && slurmParts > 0)
        return QStringLiteral("--device picks a device of this machine; with --slurm each part draws on the GPU "
                              "Slurm allots it (--gpus-per-part)");
    if (png) {
        if (parts > 0 || slurmParts > 0)
            return QStringLiteral("--%1 makes videos that join; PNG frames need no join: give each machine "
                                  "--from and --to").arg(parts > 0 ? QStringLiteral("part") : QStringLiteral("slurm"));
        return {};
    }

    const QString extension = QFileInfo(video).suffix().toLower();
    if (!videoExtensions.contains(extension))
        return QStringLiteral("a video goes into a .mp4, .mov or .mkv file, not '%1'").arg(video);
    if (parts > 0 && extension != QLatin1String("mkv"))
        return QStringLiteral("a part goes into a .mkv file, which keeps the music's samples for the join, not '%1'")
                .arg(video);
    if (codec == Codec::Ffv1 && extension != QLatin1String("mkv"))
        return QStringLiteral("ffv1 goes into a .mkv file; a .%1 file cannot hold it").arg(extension);
    // 4:2:0 video halves the colour's width and height.
    if (codec != Codec::Ffv1 && (size.width() % 2 || size.height() % 2))
        return QStringLiteral("%1 video wants an even width and height, not %2x%3")
                .arg(codecName(codec)).arg(size.width()).arg(size.height());
    return {};
}

QStringList CaptureOptions::pictureArguments() const
{
    QStringList arguments;
    for (const Row &row : rows()) {
        if (!row.argument)
            continue;
        if (const std::optional<QString> value = row.argument(*this))
            arguments << QStringLiteral("--") + row.name() << *value;
    }
    return arguments;
}

QMap<QString, QString> CaptureOptions::shape(const Stages &drawn) const
{
    QMap<QString, QString> shape;
    for (const Row &row : rows()) {
        if (!row.shape)
            continue;
        if (const std::optional<QString> value = row.shape(*this, drawn))
            shape.insert(row.key(), *value);
    }
    return shape;
}

QString CaptureOptions::digestDifference(const QString &key)
{
    for (const Row &row : rows())
        if (row.key() == key)
            return row.digestDifference;
    return {};
}

QString CaptureOptions::fontFile() const
{
    if (fontGiven || QFileInfo(font).isFile())
        return font;
    const QString installed = installedFont();
    return QFileInfo(installed).isFile() ? installed : QString();
}

QString CaptureOptions::installedFont()
{
    // CAPTURE_DATA_FROM_PROGRAM: the data folder relative to the binaries folder.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(CAPTURE_DATA_FROM_PROGRAM) + QLatin1Char('/')
                           + QLatin1String(ShowFiles::font));
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
