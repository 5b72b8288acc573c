#include "musicstream.h"
#include "inputfile.h"
#include "musicfile.h"

#include <cstring>

QString MusicStream::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    m_beats.clear();
    m_payloadStart = m_payloadBytes = 0;
    const QString why = openInputFile(m_file);
    if (!why.isEmpty())
        return why;
    m_beats = MusicFile::readBeatList(m_file);
    m_payloadStart = m_file.pos();
    m_payloadBytes = qMax<qint64>(0, m_file.size() - m_payloadStart);
    return {};
}

qint64 MusicStream::bytesPerFrame()
{
    return MusicFile::bytesPerFrame;
}

void MusicStream::read(qint64 first, char *out, qint64 length)
{
    std::memset(out, 0, size_t(length));
    if (!m_file.isOpen())
        return;
    // The part of [first, first + length) in bytes that the payload covers.
    const qint64 start = first * bytesPerFrame();
    const qint64 from = qBound<qint64>(0, start, m_payloadBytes);
    const qint64 to = qBound<qint64>(0, start + length, m_payloadBytes);
    if (from >= to)
        return;
    // Reading on from where the last read ended keeps the file's own buffer.
    const qint64 at = m_payloadStart + from;
    if (m_file.pos() != at && !m_file.seek(at))
        return;
    readSamples(m_file, out + (from - start), to - from);
}

qint64 MusicStream::readSamples(QIODevice &file, char *out, qint64 length)
{
    // A closed file is not read at all: every read would log a warning.
    const qint64 delivered = file.isOpen() ? qMax<qint64>(0, file.read(out, length)) : 0;
    // A failed read may have left anything there: it is silenced whole.
    std::memset(out + delivered, 0, size_t(length - delivered));
    return delivered;
}
