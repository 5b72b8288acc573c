#include "musicfeed.h"
#include "musicfile.h"

#include <algorithm>
#include <chrono>
#include <cstring>

static_assert((MusicFeed::ringFrames & (MusicFeed::ringFrames - 1)) == 0, "a slot is a frame count masked");
static_assert(MusicFeed::primeFrames <= MusicFeed::ringFrames && MusicFeed::readFrames <= MusicFeed::ringFrames,
              "reads fit the ring");

namespace {

// How often a reader with a full ring looks again whether the device has
// taken some: the callback does not wake it, which would cost it a call
// into the system.
constexpr auto fullRingLook = std::chrono::milliseconds(5);

} // namespace

MusicFeed::MusicFeed()
    : m_ring(size_t(ringFrames) * MusicFile::bytesPerFrame)
    , m_thread([this] { run(); })
{
}

MusicFeed::~MusicFeed()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

QString MusicFeed::open(const QString &path)
{
    QString why;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        why = m_stream.open(path);
    }
    restartAt(0, 0);
    return why;
}

void MusicFeed::restartAt(qint64 frame, SDL_AudioDeviceID device, const std::function<void()> &alongside)
{
    {
        // The first buffers are read before the device may call back again:
        // its next buffer is the music at the frame, never silence in its
        // place, and never the old ring's.
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (device != 0)
            SDL_LockAudioDevice(device);
        m_written.store(0, std::memory_order_relaxed);
        m_taken.store(0, std::memory_order_relaxed);
        m_next = frame;
        if (alongside)
            alongside();
        readAhead(primeFrames);
        if (device != 0)
            SDL_UnlockAudioDevice(device);
    }
    m_wake.notify_one();
}

void MusicFeed::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopping) {
        const qint64 room = ringFrames - std::max<qint64>(0, m_written.load(std::memory_order_relaxed)
                                                             - m_taken.load(std::memory_order_acquire));
        if (room < readFrames) {
            m_wake.wait_for(lock, fullRingLook);
            continue;
        }
        readAhead(readFrames);
    }
}

void MusicFeed::readAhead(qint64 frames)
{
    qint64 written = m_written.load(std::memory_order_relaxed);
    const qint64 taken = m_taken.load(std::memory_order_acquire);
    // Frames the consumer took as silence before they were read are skipped.
    if (taken > written) {
        m_next += taken - written;
        written = taken;
    }
    frames = std::min(frames, ringFrames - (written - taken));
    // In at most two runs, round the end of the ring.
    while (frames > 0) {
        const qint64 slot = written & (ringFrames - 1);
        const qint64 run = std::min(frames, ringFrames - slot);
        m_stream.read(m_next, m_ring.data() + slot * MusicFile::bytesPerFrame, run * MusicFile::bytesPerFrame);
        m_next += run;
        written += run;
        frames -= run;
        m_written.store(written, std::memory_order_release);
    }
}

int MusicFeed::take(char *out, int frames)
{
    const qint64 taken = m_taken.load(std::memory_order_relaxed);
    const qint64 ready = std::clamp<qint64>(m_written.load(std::memory_order_acquire) - taken, 0, frames);
    qint64 done = 0;
    while (done < ready) {
        const qint64 slot = (taken + done) & (ringFrames - 1);
        const qint64 run = std::min(ready - done, ringFrames - slot);
        std::memcpy(out + done * MusicFile::bytesPerFrame, m_ring.data() + slot * MusicFile::bytesPerFrame,
                    size_t(run * MusicFile::bytesPerFrame));
        done += run;
    }
    std::memset(out + ready * MusicFile::bytesPerFrame, 0, size_t(frames - ready) * MusicFile::bytesPerFrame);
    m_taken.store(taken + frames, std::memory_order_release);
    return int(ready);
}

qint64 MusicFeed::buffered() const
{
    return std::max<qint64>(0, m_written.load(std::memory_order_acquire) - m_taken.load(std::memory_order_acquire));
}
