#ifndef MUSICWRITER_H
#define MUSICWRITER_H

#include <QDataStream>
#include <QList>
#include <QSaveFile>

// Writes a music file: the beat list, then stereo float frames. Everything
// goes to a temporary file beside the target, which takes the target's name
// only on commit(), so a failure never leaves a partial music file.
class MusicWriter
{
public:
    MusicWriter(const QString &path, const QList<int> &beats);

    // Interleaved left/right samples.
    void writeFrames(const float *samples, qint64 frames);
    void commit();

private:
    QSaveFile m_file;
    QDataStream m_stream;
};

#endif // MUSICWRITER_H
