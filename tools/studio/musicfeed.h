#ifndef MUSICFEED_H
#define MUSICFEED_H

#include "musicstream.h"

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The music read ahead of the audio device on a thread of its own, into a
// ring of frames that the device's callback only copies from: the callback
// never reads the file, never waits and never locks. A seek starts the ring
// over at a frame and reads its first buffers at once, on the thread that
// seeks and before the device may call back, so that the device's next
// buffer is the music there.
//
// One reader (the feed's thread, or a seek) writes the ring at a time; one
// consumer (the device's callback, or a test playing the device's part)
// takes from it.
class MusicFeed
{
public:
    // Frames the ring holds (0.74 s), those a seek reads at once (0.19 s),
    // and those the thread reads at a time.
    static constexpr int ringFrames = 32768;
    static constexpr int primeFrames = 8192;
    static constexpr int readFrames = 4096;

    MusicFeed();
    ~MusicFeed();
    MusicFeed(const MusicFeed &) = delete;
    MusicFeed &operator=(const MusicFeed &) = delete;

    // Opens a music file (before any device plays it), and starts at its
    // first frame. Returns why it could not, or an empty string.
    QString open(const QString &path);
    // The beats and length of the open file, which only open() changes.
    const QList<int> &beats() const { return m_stream.beats(); }
    qint64 frames() const { return m_stream.frames(); }

    // The ring starts over at a frame. Neither the reader nor a callback of
    // the device (0 for none) runs meanwhile, nor while alongside runs: what
    // the caller keeps of the position moves with the ring in one step.
    void restartAt(qint64 frame, SDL_AudioDeviceID device, const std::function<void()> &alongside = {});

    // The consumer's side: fills frames frames of stereo float samples with
    // the music from where the last call ended, silence for any the reader
    // has not read yet (they are skipped). Returns the frames that were music.
    int take(char *out, int frames);
    // Frames read ahead and not yet taken.
    qint64 buffered() const;

private:
    void run();
    // With the mutex held: reads up to frames frames into the ring.
    void readAhead(qint64 frames);

    MusicStream m_stream; // read by the reader only
    std::vector<char> m_ring;
    // Counted in frames since the last restart; the slot of frame n is n
    // modulo the ring's size. Only the reader moves m_written, only the
    // consumer m_taken.
    std::atomic<qint64> m_written{0};
    std::atomic<qint64> m_taken{0};
    qint64 m_next = 0; // the stream's frame of the next frame written

    std::mutex m_mutex; // the reader's side
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

#endif // MUSICFEED_H
