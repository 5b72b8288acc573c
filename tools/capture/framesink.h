#ifndef FRAMESINK_H
#define FRAMESINK_H

#include <QString>
#include <QtGlobal>

class QImage;

// Where captured frames go. Nothing stands under the output's name until
// commit() succeeds; a sink destroyed before that leaves nothing behind.
class FrameSink
{
public:
    virtual ~FrameSink() = default;

    // Checks that the output can be written and gets ready for the frames.
    virtual bool open() = 0;
    // One frame, top row first, with the alpha channel ignored: what the
    // screen shows. showFrame is the frame's number in the whole show.
    virtual bool write(const QImage &frame, qint64 showFrame) = 0;
    // Completes the output and puts it under its name.
    virtual bool commit() = 0;

    // What went wrong, for the user.
    QString error() const { return m_error; }

protected:
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

private:
    QString m_error;
};

#endif // FRAMESINK_H
