#ifndef MUSICFILE_H
#define MUSICFILE_H

#include <QList>
#include <QtGlobal>

class QIODevice;

// The layout of the show's music file, shared by the show and its tools: a
// little-endian unsigned 32-bit beat count, that many signed 32-bit beat times
// in audio-clock units, then interleaved stereo 32-bit float samples at
// 44100 Hz to the end of the file.
namespace MusicFile {

constexpr int sampleRate = 44100;
constexpr int channels = 2;
constexpr int bytesPerSample = 4;
constexpr int bytesPerFrame = channels * bytesPerSample;

// The audio device's buffer, as the show asks for it: 882 frames, 20 ms.
constexpr int framesPerCallback = 882;
constexpr int msPerCallback = 20;
static_assert(framesPerCallback * 1000 == msPerCallback * sampleRate, "a buffer lasts 20 ms");

// The audio clock gains 10 per callback, whatever the buffer, so beat times
// run at 500 units a second of music (one unit, 2 ms) on that buffer.
constexpr float clockPerCallback = 10.0f;
constexpr int clockPerSecond = 500;
static_assert(int(clockPerCallback) * 1000 == clockPerSecond * msPerCallback,
              "10 units a 20 ms callback are 500 a second");

// Reads the beat list at the head of an open music file. The file is left
// right after the last byte consumed: after a complete list, at the first byte
// of the audio. An incomplete list (the file ends first, or the device fails)
// comes back empty with every byte after the count consumed.
QList<int> readBeatList(QIODevice &file);

} // namespace MusicFile

#endif // MUSICFILE_H
