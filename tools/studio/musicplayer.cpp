#include "musicplayer.h"
#include "audiodevice.h"
#include "musicfile.h"

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
    return why.empty() ? QString() : QStringLiteral("no sound: %1").arg(QString::fromStdString(why));
}

void MusicPlayer::closeDevice()
{
    // Closing waits for a running callback; after it none can touch the player.
    AudioDevice::close(m_device);
    m_device = 0;
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
}

void MusicPlayer::fill(Uint8 *stream, int length)
{
    m_buffers.fetch_add(1, std::memory_order_relaxed);
    if (!m_playing.load(std::memory_order_relaxed)) {
        // SDL hands over the buffer as it was left: silence, never stale samples.
        SDL_memset(stream, 0, size_t(length));
        return;
    }
    const qint64 frame = m_position.load(std::memory_order_relaxed);
    m_stream.read(frame, reinterpret_cast<char *>(stream), length);
    m_position.store(frame + length / MusicFile::bytesPerFrame, std::memory_order_relaxed);
}

void MusicPlayer::callback(void *player, Uint8 *stream, int length)
{
    static_cast<MusicPlayer *>(player)->fill(stream, length);
}
