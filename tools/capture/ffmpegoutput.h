#ifndef FFMPEGOUTPUT_H
#define FFMPEGOUTPUT_H

#include <QString>
#include <QStringList>

// How the capture has ffmpeg write a video, the same for a capture's own
// video and for parts joined into one: the container by the file's name
// (.mp4, .mov or .mkv), the sound in it, and ffmpeg quiet but for errors.
namespace FfmpegOutput {

// The container a video's name asks for: "mp4", "mov" or "mkv".
QString containerOf(const QString &video);

// Said first: no banner, no progress, errors alone, replacing the pending file.
QStringList quiet();

// The music's samples in the video: kept as they are in .mkv, for editing
// and joining (copied when they come from parts); AAC, which every player
// takes, in .mp4 and .mov.
QStringList sound(const QString &video, bool copied);

// Said last: the container's own settings and format (the pending file's
// name has no extension to go by), and the pending file. An h265 picture
// gets the tag that players of .mp4 and .mov look for.
QStringList container(const QString &video, const QString &codec, const QString &pendingPath);

} // namespace FfmpegOutput

#endif // FFMPEGOUTPUT_H
