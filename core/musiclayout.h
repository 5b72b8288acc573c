#ifndef MUSICLAYOUT_H
#define MUSICLAYOUT_H

#include <cstdint>

// The layout of the show's music file and the pace of its audio, shared by
// the show, its tools and the web build: plain C++, no Qt. A little-endian
// unsigned 32-bit beat count, that many signed 32-bit beat times in
// audio-clock units, then interleaved stereo 32-bit float samples at
// 44100 Hz to the end of the file.
namespace MusicFile {

constexpr int sampleRate = 44100;
constexpr int channels = 2;
constexpr int bytesPerSample = 4;
constexpr int bytesPerFrame = channels * bytesPerSample;

// The head's size for a count of beats: the count, then the values.
constexpr std::int64_t headBytes(std::int64_t count) { return 4 + 4 * count; }

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

// The audio clock and seconds of music, each way; a beat time is the whole
// number of units nearest.
constexpr double secondsAtClock(double clock) { return clock / clockPerSecond; }
constexpr double clockAtSeconds(double seconds) { return seconds * clockPerSecond; }

} // namespace MusicFile

#endif // MUSICLAYOUT_H
