#ifndef BEATLISTWRITER_H
#define BEATLISTWRITER_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

class QFile;

namespace MusicFile {

// The head of a music file for a beat list, as the show reads it: the
// count, then the values, little-endian.
QByteArray beatListBytes(const QList<int> &beats);

// Which file stood under a name, and as what: a file replaced, rewritten or
// touched since has another stamp.
struct FileStamp
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    // The file under a path; an invalid stamp when there is none.
    static FileStamp of(const QString &path);
    // The file that an open QFile reads.
    static FileStamp of(const QFile &file);
    bool isValid() const { return size >= 0; }
    bool operator==(const FileStamp &other) const;
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// Puts a new beat list at the head of the music file at path, the audio
// after it byte for byte as it was, through a hidden file renamed over the
// old one. Refused, with nothing written, when the file under the name is
// no longer the one stamped `read`, or when its own beat list is cut short
// (the show finds no audio in it to keep). Returns why it was not written,
// in one line naming the file, or an empty string, with the new file's
// stamp in written.
QString rewriteBeatList(const QString &path, const QList<int> &beats, const FileStamp &read,
                        FileStamp *written = nullptr);

} // namespace MusicFile

#endif // BEATLISTWRITER_H
