#ifndef FRAMESINK_H
#define FRAMESINK_H

#include <QByteArray>
#include <QObject>
#include <QString>

// Where captured frames go. Nothing stands under the output's name until
// the sink has finished; a sink destroyed before that leaves nothing behind.
// A sink may take its frames at its own pace: the capture hands it the next
// only while it is ready, and waits for ready() otherwise, in the event loop.
class FrameSink : public QObject
{
    Q_OBJECT

public:
    // Checks that the output can be written and gets ready for the frames.
    virtual bool open() = 0;
    // Whether it can take a frame now.
    virtual bool isReady() const { return true; }
    // One frame, RGBA, bottom row first as GL has it, with the alpha channel
    // ignored: what the screen shows. showFrame is the frame's number in the
    // whole show.
    virtual bool write(const QByteArray &frame, qint64 showFrame) = 0;
    // Completes the output and puts it under its name; finished() or
    // failed() follows, from the event loop.
    virtual void finish() = 0;
    // The output's bytes so far.
    virtual qint64 bytesWritten() const = 0;

    // What went wrong, for the user.
    QString error() const { return m_error; }

signals:
    void ready();
    void finished();
    void failed();

protected:
    bool fail(const QString &error)
    {
        if (m_error.isEmpty())
            m_error = error;
        return false;
    }

private:
    QString m_error;
};

#endif // FRAMESINK_H
