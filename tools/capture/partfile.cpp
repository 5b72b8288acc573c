#include "partfile.h"

#include "frameschedule.h"
#include "inputfile.h"
#include "musicfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

namespace {

// ffprobe reads a part's every packet header, a few thousand for the whole
// show: seconds at most, unless the file system hangs.
constexpr int probeMs = 120000;

} // namespace

PartFile PartFile::read(const QString &path)
{
    PartFile file;
    file.path = path;
    QFile input(path);
    const QString why = openInputFile(input);
    if (!why.isEmpty()) {
        file.error = why;
        return file;
    }
    input.close();

    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty()) {
        file.error = QStringLiteral("no ffprobe on the PATH; it reads the parts (Debian package ffmpeg)");
        return file;
    }
    QProcess probe;
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.start(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                          QStringLiteral("format_tags=%1:stream=index,codec_type,codec_name:packet=stream_index,size")
                                  .arg(PartRecord::tagName()),
                          QStringLiteral("-of"), QStringLiteral("json"), path});
    if (!probe.waitForFinished(probeMs) || probe.exitStatus() != QProcess::NormalExit) {
        probe.kill();
        probe.waitForFinished(1000);
        file.error = QStringLiteral("%1 could not be read: ffprobe did not finish").arg(path);
        return file;
    }
    const QJsonObject probed = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    if (probe.exitCode() != 0 || probed.isEmpty()) {
        file.error = QStringLiteral("%1 is no video: %2")
                .arg(path, QString::fromLocal8Bit(probe.readAllStandardError()).simplified());
        return file;
    }
    const QString recordText = probed.value(QStringLiteral("format")).toObject().value(QStringLiteral("tags"))
            .toObject().value(PartRecord::tagName()).toString();
    const std::optional<PartRecord> record = PartRecord::fromText(recordText);
    if (!record) {
        file.error = QStringLiteral("%1 is no part of a capture: it has no record of one (capture --part makes parts)")
                .arg(path);
        return file;
    }
    file.record = *record;

    int video = -1;
    int sound = -1;
    for (const QJsonValue &each : probed.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = each.toObject();
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("video") && video < 0)
            video = stream.value(QStringLiteral("index")).toInt();
        // A part keeps the music's samples as they are.
        else if (type == QLatin1String("audio") && sound < 0
                 && stream.value(QStringLiteral("codec_name")).toString() == QLatin1String("pcm_f32le"))
            sound = stream.value(QStringLiteral("index")).toInt();
    }
    qint64 soundBytes = 0;
    for (const QJsonValue &each : probed.value(QStringLiteral("packets")).toArray()) {
        const QJsonObject packet = each.toObject();
        const int stream = packet.value(QStringLiteral("stream_index")).toInt();
        if (stream == video)
            ++file.frames;
        else if (stream == sound)
            soundBytes += packet.value(QStringLiteral("size")).toString().toLongLong();
    }
    if (sound >= 0)
        file.samples = soundBytes / MusicFile::bytesPerFrame;
    return file;
}

QString PartFile::missing() const
{
    if (!isPart())
        return {};
    if (frames != record.count)
        return QStringLiteral("it holds %1 of its %2 frames").arg(frames).arg(record.count);
    if (!record.hasSound())
        return {};
    const FrameSchedule part(record.shape.value(QStringLiteral("--fps")).toInt(), record.first, record.count);
    const qint64 expected = part.sampleAt(part.first() + part.count()) - part.sampleAt(part.first());
    if (samples < 0)
        return QStringLiteral("it has no sound track");
    if (samples != expected)
        return QStringLiteral("it holds %1 of its %2 samples of sound").arg(samples).arg(expected);
    return {};
}
