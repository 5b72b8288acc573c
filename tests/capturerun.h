#ifndef CAPTURERUN_H
#define CAPTURERUN_H

#include "musicfiles.h"
#include "processrun.h"

#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

// The capture tool run as a user runs it, and what the tests read from its
// outputs.
namespace CaptureRun {

using ProcessRun::withoutDisplay;

// The capture tool run to its end in a folder: its exit code (-1 for a
// crash) and its standard error.
struct Run
{
    int exitCode = -1;
    QString errors;
};

inline Run run(const QStringList &arguments, const QString &folder,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    const ProcessRun::Result result = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE), arguments,
                                                      {folder, environment, 240000});
    return {result.exitCode, result.errText()};
}

inline QString showSeconds(double seconds)
{
    return QString::number(seconds, 'g', 17);
}

// Everything in a folder, hidden files included.
inline QStringList contents(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Everything under a folder by relative path: a file's bytes, a link's
// target, a folder as such; links not followed.
inline QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> held;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        const QString name = QDir(folder).relativeFilePath(entry.filePath());
        if (entry.isSymLink()) {
            held.insert(name, "link to " + entry.symLinkTarget().toUtf8());
        } else if (entry.isDir()) {
            held.insert(name, "folder");
        } else {
            QFile file(entry.filePath());
            held.insert(name, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
        }
    }
    return held;
}

inline QImage opaque(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB888);
}

// The PNG frames of a folder by name, as pixels.
inline QMap<QString, QImage> framesIn(const QString &folder)
{
    QMap<QString, QImage> frames;
    for (const QString &name : QDir(folder).entryList({"*.png"}, QDir::Files))
        frames.insert(name, opaque(QImage(QDir(folder).filePath(name))));
    return frames;
}

// A music file: the beat list, then silence, then loud sound.
inline bool writeMusic(const QString &path, const QList<int> &beats, double silentSeconds, double loudSeconds)
{
    return MusicFiles::write(path, MusicFiles::head(quint32(beats.size()), beats)
                             + QByteArray(int(silentSeconds * 44100) * 8, '\0')
                             + MusicFiles::payload(int(loudSeconds * 44100)));
}

// What ffprobe says of a video, frames counted.
inline QJsonObject probe(const QString &video)
{
    const ProcessRun::Result probed = ProcessRun::runTool(QStringLiteral("ffprobe"),
            {"-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json", video});
    return probed.ok() ? QJsonDocument::fromJson(probed.out).object() : QJsonObject();
}

inline QJsonObject stream(const QJsonObject &probed, const QString &type)
{
    for (const QJsonValue &s : probed.value(QStringLiteral("streams")).toArray())
        if (s.toObject().value(QStringLiteral("codec_type")).toString() == type)
            return s.toObject();
    return {};
}

inline double number(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString().toDouble();
}

// The record a part of a capture holds (its CAPTURE_PART tag); empty where
// there is none.
inline QJsonObject partRecord(const QString &part)
{
    const QJsonObject tags = probe(part).value(QStringLiteral("format")).toObject()
                                     .value(QStringLiteral("tags")).toObject();
    return QJsonDocument::fromJson(tags.value(QStringLiteral("CAPTURE_PART")).toString().toUtf8()).object();
}

// A video's picture (or sound) decoded by ffmpeg into raw bytes.
inline QByteArray decoded(const QString &video, const QStringList &format)
{
    const ProcessRun::Result result = ProcessRun::runTool(QStringLiteral("ffmpeg"),
            QStringList{"-v", "error", "-i", video} + format + QStringList{"-"}, 120000);
    return result.ok() ? result.out : QByteArray();
}

} // namespace CaptureRun

#endif // CAPTURERUN_H
