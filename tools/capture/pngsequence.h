#ifndef PNGSEQUENCE_H
#define PNGSEQUENCE_H

#include "framesink.h"
#include "pendingoutput.h"

// Frames as PNG files named frame-NNNNN.png after their number in the show,
// written into a pending folder that takes the target's name once every
// frame is in.
class PngSequence : public FrameSink
{
public:
    explicit PngSequence(const QString &directory);

    bool open() override;
    bool write(const QImage &frame, qint64 showFrame) override;
    bool commit() override;

    static QString fileName(qint64 showFrame);

private:
    PendingOutput m_output;
};

#endif // PNGSEQUENCE_H
