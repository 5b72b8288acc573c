#ifndef MUSICFILES_H
#define MUSICFILES_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QtEndian>

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

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace MusicFiles

#endif // MUSICFILES_H
