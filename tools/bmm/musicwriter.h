#ifndef MUSICWRITER_H
#define MUSICWRITER_H

#include "outputfile.h"

#include <QDataStream>
#include <QList>

// Writes a music file: the beat list, then stereo float frames. Everything
// goes to a pending output, which takes the target's name only on commit(),
// so a failure never leaves a partial music file.
class MusicWriter
{
public:
    MusicWriter(const QString &path, const QList<int> &beats);

    // Interleaved left/right samples.
    void writeFrames(const float *samples, qint64 frames);
    void commit();

private:
    OutputFile m_output;
    QDataStream m_stream;
};

#endif // MUSICWRITER_H
