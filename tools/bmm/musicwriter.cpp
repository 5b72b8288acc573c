#include "musicwriter.h"
#include "failure.h"
#include "beatlistwriter.h"
#include "musicfile.h"

MusicWriter::MusicWriter(const QString &path, const QList<int> &beats)
    : m_output(path)
{
    m_stream.setDevice(&m_output.file());
    m_stream.setByteOrder(QDataStream::LittleEndian);
    m_stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
    // The head as every writer of music files writes it: count, then values.
    const QByteArray head = MusicFile::beatListBytes(beats);
    m_stream.writeRawData(head.constData(), head.size());
}

void MusicWriter::writeFrames(const float *samples, qint64 frames)
{
    for (qint64 i = 0; i < frames * MusicFile::channels; ++i)
        m_stream << samples[i];
}

void MusicWriter::commit()
{
    if (m_stream.status() != QDataStream::Ok)
        throw Failure(QStringLiteral("%1: cannot write: %2").arg(m_output.file().fileName(),
                                                                  m_output.file().errorString()));
    m_output.commit();
}
