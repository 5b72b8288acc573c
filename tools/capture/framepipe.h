#ifndef FRAMEPIPE_H
#define FRAMEPIPE_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Frames down a pipe to a child process, written by a thread of their own:
// a wait on the GL in the capture never leaves the encoder without frames,
// and an encoder that takes nothing never holds up the event loop. Each
// frame is prepared (converted) on that thread too, just before it goes.
//
// The child reads the pipe as file descriptor childEnd(), which it inherits;
// once it has started, childStarted() gives up the program's own copy, so
// that writing fails (rather than waits for ever) when the child is gone.
class FramePipe : public QObject
{
    Q_OBJECT

public:
    using Prepare = std::function<QByteArray(const QByteArray &)>;

    explicit FramePipe(Prepare prepare);
    // The writer must have stopped: close() done and its frames written, or
    // the reader gone.
    ~FramePipe() override;

    // Makes the pipe; false with error() set when it cannot.
    bool open();
    int childEnd() const { return m_ends[0]; }
    void childStarted();

    // Frames queued and not yet written whole.
    int queued() const;
    void push(const QByteArray &frame);
    // No more frames: the reader sees the end once the queue is written.
    void close();
    // Bytes that have gone down the pipe; grows while the reader reads.
    qint64 bytesWritten() const { return m_written.load(); }
    QString error() const;

signals:
    // A frame has gone down the pipe whole.
    void frameWritten();
    // The pipe broke: the reader is gone.
    void failed();

private:
    void run();
    bool writeAll(const QByteArray &bytes);

    Prepare m_prepare;
    int m_ends[2] = {-1, -1};
    std::thread m_writer;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_frames;   // the one being written stays first
    bool m_closing = false;
    QString m_error;
    std::atomic<qint64> m_written{0};
};

#endif // FRAMEPIPE_H
