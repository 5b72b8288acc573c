#ifndef MUSICFILES_H
#define MUSICFILES_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QtEndian>

#include <algorithm>

// Music files made byte by byte for the tests.
namespace MusicFiles {

inline QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray head(quint32 count, const QList<int> &values)
{
    QByteArray bytes = le32(count);
    for (const int value : values)
        bytes += le32(quint32(value));
    return bytes;
}

// Stereo float frames that differ from each other and from silence.
inline QByteArray payload(int frames)
{
    QByteArray bytes(frames * 8, '\0');
    for (int i = 0; i < frames * 2; ++i) {
        const float sample = 0.5f * float((qint64(i) * 7919) % 2001 - 1000) / 1000.0f + (i % 2 ? 0.25f : -0.25f);
        qToLittleEndian(sample, bytes.data() + 4 * i);
    }
    return bytes;
}

// Stereo float frames that tell where they are: frame i holds i + 1 on the
// left and -(i + 1) on the right (whole numbers are exact in a float up to
// 2^24, over six minutes), so that no frame is silence.
inline QByteArray countingPayload(int frames)
{
    QByteArray bytes(frames * 8, '\0');
    for (int i = 0; i < frames; ++i) {
        qToLittleEndian(float(i + 1), bytes.data() + 8 * i);
        qToLittleEndian(-float(i + 1), bytes.data() + 8 * i + 4);
    }
    return bytes;
}

// The frame of a counting payload that the bytes at offset hold; -1 for
// silence, -2 for anything else.
inline qint64 countedFrame(const QByteArray &bytes, qint64 offset)
{
    const float left = qFromLittleEndian<float>(bytes.constData() + offset);
    const float right = qFromLittleEndian<float>(bytes.constData() + offset + 4);
    if (left == 0.0f && right == 0.0f)
        return -1;
    if (left < 1.0f || right != -left || left != float(qint64(left)))
        return -2;
    return qint64(left) - 1;
}

// One callback's buffer on the show's device: 882 stereo float frames.
constexpr int bufferBytes = 882 * 8;

inline bool allZero(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return byte == 0; });
}

// SDL's disk driver writes every buffer the device plays. A device opens
// paused and plays silence of its own until it is started, so a buffer or two
// of silence may come before the first callback's.
inline int silentBuffersBeforeTheFirstCallback(const QByteArray &received)
{
    int buffers = 0;
    while ((buffers + 1) * bufferBytes <= received.size() && allZero(received.mid(buffers * bufferBytes, bufferBytes)))
        ++buffers;
    return buffers;
}

// What the callbacks gave a device that was closed while they streamed.
// SDL pauses a device first when it closes it, so its playing thread may
// write one last buffer (rarely two) of silence of its own after the last
// callback's: those go, as do the ones before the first callback.
inline QByteArray playedUntilClosed(const QByteArray &received)
{
    constexpr int mostClosingBuffers = 2;
    QByteArray played = received.mid(silentBuffersBeforeTheFirstCallback(received) * bufferBytes);
    for (int buffer = 0; buffer < mostClosingBuffers && played.size() >= bufferBytes
         && allZero(played.right(bufferBytes)); ++buffer)
        played.chop(bufferBytes);
    return played;
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace MusicFiles

#endif // MUSICFILES_H
