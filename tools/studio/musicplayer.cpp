#include "musicplayer.h"
#include "musicfile.h"

MusicPlayer::MusicPlayer()
{
    // SDL's own SIGINT and SIGTERM handlers only post an event that nobody
    // here reads; the signals are the application's (QuitOnSignals).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return QStringLiteral("no sound: %1").arg(QString::fromUtf8(SDL_GetError()));
    m_audioStarted = true;

    SDL_AudioSpec want;
    SDL_memset(&want, 0, sizeof(want));
    want.freq = MusicFile::sampleRate;
    want.format = AUDIO_F32LSB;
    want.channels = MusicFile::channels;
    want.samples = MusicFile::framesPerCallback;
    want.userdata = this;
    want.callback = callback;
    SDL_AudioSpec have;
    // No change allowed: SDL converts for a device that wants another
    // format, so the stream's bytes always fit the buffer.
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0)
        return QStringLiteral("no sound: %1").arg(QString::fromUtf8(SDL_GetError()));
    SDL_PauseAudioDevice(m_device, 0);
    return {};
}

void MusicPlayer::closeDevice()
{
    // Closing waits for a running callback; after it none can touch the player.
    if (m_device != 0)
        SDL_CloseAudioDevice(m_device);
    m_device = 0;
    if (m_audioStarted)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
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
