#ifndef MUSICPLAYER_H
#define MUSICPLAYER_H

#include "musicfeed.h"

#include <SDL.h>

#include <atomic>

// Plays the music file on the default audio device through SDL, streamed
// from the file, from whatever frame it is told: before the payload and
// past its end it plays silence. The device pulls buffers on its own thread
// and copies them from the music a reader thread has read ahead; seeking
// and pausing come from the GUI thread.
class MusicPlayer
{
public:
    MusicPlayer() = default;
    ~MusicPlayer();
    MusicPlayer(const MusicPlayer &) = delete;
    MusicPlayer &operator=(const MusicPlayer &) = delete;

    // Opens the music file. Returns why it could not, or an empty string;
    // without a file the player plays silence.
    QString open(const QString &path);
    const QList<int> &beats() const { return m_feed.beats(); }
    qint64 frames() const { return m_feed.frames(); }

    // Opens and starts the default device, paused. Returns why it could
    // not, or an empty string; without a device nothing plays and the
    // position moves only by seeks.
    QString startDevice();
    bool isStreaming() const { return m_device != 0; }
    SDL_AudioDeviceID device() const { return m_device; }
    // How far behind what the device has been given its sound is: the
    // buffer it was granted, which plays while it asks for the next.
    int latencyFrames() const { return m_latencyFrames; }
    void closeDevice();

    // The frame the device gets next; negative before the payload.
    qint64 position() const { return m_position.load(std::memory_order_relaxed); }
    void seek(qint64 frame);
    // Where the last seek put the music (the device has moved on since).
    qint64 seekedTo() const { return m_seekedTo; }
    bool isPlaying() const { return m_playing.load(std::memory_order_relaxed); }
    void setPlaying(bool playing);
    // While paused: plays this many frames from a frame, then silence again.
    void playSnippet(qint64 frame, int frames);

    // Buffers filled so far.
    qint64 buffers() const { return m_buffers.load(std::memory_order_relaxed); }

    // Frames read ahead of the device.
    qint64 buffered() const { return m_feed.buffered(); }

    // One buffer of the device: the music from the position on, or silence
    // while paused. The device's callback; the tests call it themselves to
    // play the device's part with exact buffers (a seek reads the first
    // MusicFeed::primeFrames at once; later ones come from the reader's
    // thread, which buffered() tells about).
    void fill(Uint8 *stream, int length);

private:
    static void callback(void *player, Uint8 *stream, int length);
    // To a frame, with a snippet to play from there while paused.
    void moveTo(qint64 frame, int snippet);

    MusicFeed m_feed;
    SDL_AudioDeviceID m_device = 0;
    int m_latencyFrames = 0;
    bool m_audioStarted = false;
    qint64 m_seekedTo = 0;
    // Written by the callback and by seek(), which holds the device's lock
    // (the callback runs under it) while the ring starts over; read
    // anywhere, whole.
    std::atomic<qint64> m_position{0};
    std::atomic<bool> m_playing{false};
    // Frames of a snippet still to play while paused.
    std::atomic<int> m_snippet{0};
    std::atomic<qint64> m_buffers{0};
};

#endif // MUSICPLAYER_H
