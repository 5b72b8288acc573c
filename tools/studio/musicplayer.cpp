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
    return m_stream.open(path);
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
    // Under the device's lock no callback runs: the next buffer starts
    // exactly at the new frame, and no callback's advance overwrites it.
    m_seekedTo = frame;
    if (m_device != 0)
        SDL_LockAudioDevice(m_device);
    m_position.store(frame, std::memory_order_relaxed);
    if (m_device != 0)
        SDL_UnlockAudioDevice(m_device);
}

void MusicPlayer::setPlaying(bool playing)
{
    m_playing.store(playing, std::memory_order_relaxed);
    m_snippet.store(0, std::memory_order_relaxed);
}

void MusicPlayer::playSnippet(qint64 frame, int frames)
{
    seek(frame);
    m_snippet.store(frames, std::memory_order_relaxed);
}

void MusicPlayer::fill(Uint8 *stream, int length)
{
    m_buffers.fetch_add(1, std::memory_order_relaxed);
    // Paused, only what is left of a snippet plays; SDL hands over the
    // buffer as it was left: silence, never stale samples.
    int playing = length;
    if (!m_playing.load(std::memory_order_relaxed)) {
        const int snippet = m_snippet.load(std::memory_order_relaxed);
        playing = std::min(length, snippet * MusicFile::bytesPerFrame);
        m_snippet.store(snippet - playing / MusicFile::bytesPerFrame, std::memory_order_relaxed);
        SDL_memset(stream + playing, 0, size_t(length - playing));
        if (playing == 0)
            return;
    }
    const qint64 frame = m_position.load(std::memory_order_relaxed);
    m_stream.read(frame, reinterpret_cast<char *>(stream), playing);
    m_position.store(frame + playing / MusicFile::bytesPerFrame, std::memory_order_relaxed);
}

void MusicPlayer::callback(void *player, Uint8 *stream, int length)
{
    static_cast<MusicPlayer *>(player)->fill(stream, length);
}
