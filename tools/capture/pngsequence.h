#ifndef PNGSEQUENCE_H
#define PNGSEQUENCE_H

#include "framesink.h"
#include "pendingoutput.h"

#include <QSize>

// Frames as PNG files named frame-NNNNN.png after their number in the show,
// written into a pending folder that takes the target's name once every
// frame is in.
class PngSequence : public FrameSink
{
    Q_OBJECT

public:
    PngSequence(const QString &directory, const QSize &size);

    bool open() override;
    bool write(const QByteArray &frame, qint64 showFrame) override;
    void finish() override;
    qint64 bytesWritten() const override { return m_bytes; }

    static QString fileName(qint64 showFrame);

private:
    QSize m_size;
    PendingOutput m_output;
    qint64 m_bytes = 0;
};

#endif // PNGSEQUENCE_H
