#include "framepipe.h"

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// What a pipe holds unless the system allows less (its limit for anyone is
// 1 MB unless raised): ffmpeg then reads in large parts.
constexpr int pipeBytes = 1 << 20;

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

FramePipe::FramePipe(Prepare prepare)
    : m_prepare(std::move(prepare))
{
}

FramePipe::~FramePipe()
{
    // With the program's reading end gone too, a write to a reader that has
    // gone fails at once; a reader still there takes what is left.
    if (m_ends[0] >= 0)
        ::close(m_ends[0]);
    if (m_writer.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
        }
        m_wake.notify_one();
        // Before the object goes, so that nothing it posts outlives it.
        m_writer.join();
    }
    if (m_ends[1] >= 0)
        ::close(m_ends[1]);
}

bool FramePipe::open()
{
    if (pipe2(m_ends, O_CLOEXEC) != 0) {
        m_error = systemError("no pipe to ffmpeg");
        return false;
    }
    // The child inherits the reading end; the writing end stays here.
    fcntl(m_ends[0], F_SETFD, 0);
    fcntl(m_ends[1], F_SETPIPE_SZ, pipeBytes);
    m_writer = std::thread(&FramePipe::run, this);
    return true;
}

void FramePipe::childStarted()
{
    if (m_ends[0] >= 0)
        ::close(m_ends[0]);
    m_ends[0] = -1;
}

int FramePipe::queued() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_frames.size());
}

void FramePipe::push(const QByteArray &frame)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.push_back(frame);
    }
    m_wake.notify_one();
}

void FramePipe::close()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
}

QString FramePipe::error() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void FramePipe::run()
{
    // A write to a pipe whose reader has gone then fails with EPIPE here,
    // rather than raising SIGPIPE, which would end the program.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

    for (;;) {
        QByteArray frame;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_frames.empty() || m_closing; });
            if (m_frames.empty())
                break;
            frame = m_frames.front();
        }
        if (!writeAll(m_prepare ? m_prepare(frame) : frame)) {
            QMetaObject::invokeMethod(this, &FramePipe::failed, Qt::QueuedConnection);
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_frames.pop_front();
        }
        QMetaObject::invokeMethod(this, &FramePipe::frameWritten, Qt::QueuedConnection);
    }
    // The reader sees the end.
    ::close(m_ends[1]);
    m_ends[1] = -1;
}

bool FramePipe::writeAll(const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_ends[1], data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_error = systemError("writing frames to ffmpeg");
            return false;
        }
        data += written;
        left -= written;
        m_written += written;
    }
    return true;
}
