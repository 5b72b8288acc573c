#include "musicplayer.h"
#include "audiodevice.h"
#include "musicfile.h"

#include <algorithm>

MusicPlayer::~MusicPlayer()
{
    closeDevice();
}

QString MusicPlayer::open(const QString &path)
{
    return m_feed.open(path);
}

QString MusicPlayer::startDevice()
{
    closeDevice();
    std::string why = AudioDevice::startAudio();
    if (why.empty()) {
        m_audioStarted = true;
        m_device = AudioDevice::open(callback, this, why);
    }
    // The device takes its buffers at the size asked for: one plays while
    // it asks for the next.
    m_latencyFrames = m_device != 0 ? MusicFile::framesPerCallback : 0;
    return why.empty() ? QString() : QStringLiteral("no sound: %1").arg(QString::fromStdString(why));
}

void MusicPlayer::closeDevice()
{
    // Closing waits for a running callback; after it none can touch the player.
    AudioDevice::close(m_device);
    m_device = 0;
    m_latencyFrames = 0;
    if (m_audioStarted)
        AudioDevice::stopAudio();
    m_audioStarted = false;
}

void MusicPlayer::seek(qint64 frame)
{
    moveTo(frame, 0);
}

void MusicPlayer::moveTo(qint64 frame, int snippet)
{
    // The position, the snippet and the ring move in one step, under the
    // device's lock: no callback between them plays the old ring's next
    // buffer or counts it, and the next buffer starts exactly at the frame.
    m_seekedTo = frame;
    m_feed.restartAt(frame, m_device, [&] {
        m_position.store(frame, std::memory_order_relaxed);
        m_snippet.store(snippet, std::memory_order_relaxed);
    });
}

void MusicPlayer::setPlaying(bool playing)
{
    m_playing.store(playing, std::memory_order_relaxed);
    m_snippet.store(0, std::memory_order_relaxed);
}

void MusicPlayer::playSnippet(qint64 frame, int frames)
{
    moveTo(frame, frames);
}

void MusicPlayer::fill(Uint8 *stream, int length)
{
    m_buffers.fetch_add(1, std::memory_order_relaxed);
    // Paused, only what is left of a snippet plays.
    int frames = length / MusicFile::bytesPerFrame;
    if (!m_playing.load(std::memory_order_relaxed)) {
        const int snippet = m_snippet.load(std::memory_order_relaxed);
        frames = std::min(frames, snippet);
        m_snippet.store(snippet - frames, std::memory_order_relaxed);
    }
    // Only copies: the music was read on another thread. SDL hands over the
    // buffer as it was left: silence after it, never stale samples.
    if (frames > 0)
        m_feed.take(reinterpret_cast<char *>(stream), frames);
    SDL_memset(stream + frames * MusicFile::bytesPerFrame, 0, size_t(length - frames * MusicFile::bytesPerFrame));
    m_position.fetch_add(frames, std::memory_order_relaxed);
}

void MusicPlayer::callback(void *player, Uint8 *stream, int length)
{
    static_cast<MusicPlayer *>(player)->fill(stream, length);
}
