#ifndef CAPTURERUN_H
#define CAPTURERUN_H

#include "musicfiles.h"
#include "systemtool.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>

// The capture tool run as a user runs it, and what the tests read from its
// outputs.
namespace CaptureRun {

struct Run
{
    int exitCode = -1;
    QString errors;
};

// Runs the capture tool to its end in a folder.
inline Run run(const QStringList &arguments, const QString &folder,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess capture;
    capture.setWorkingDirectory(folder);
    capture.setProcessEnvironment(environment);
    capture.start(QStringLiteral(CAPTURE_EXECUTABLE), arguments);
    if (!capture.waitForFinished(240000) || capture.exitStatus() != QProcess::NormalExit)
        capture.kill();
    return {capture.exitStatus() == QProcess::NormalExit ? capture.exitCode() : -1,
            QString::fromLocal8Bit(capture.readAllStandardError())};
}

// The environment of a machine with no display server at all.
inline QProcessEnvironment withoutDisplay(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    return environment;
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
    const ToolResult probed = runSystemTool(QStringLiteral("ffprobe"),
            {"-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json", video});
    return probed.ok ? QJsonDocument::fromJson(probed.out).object() : QJsonObject();
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

// A video's picture (or sound) decoded by ffmpeg into raw bytes.
inline QByteArray decoded(const QString &video, const QStringList &format)
{
    const ToolResult result = runSystemTool(QStringLiteral("ffmpeg"),
            QStringList{"-v", "error", "-i", video} + format + QStringList{"-"}, 120000);
    return result.ok ? result.out : QByteArray();
}

} // namespace CaptureRun

#endif // CAPTURERUN_H
