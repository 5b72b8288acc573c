#ifndef MUSICSTREAM_H
#define MUSICSTREAM_H

#include <QFile>
#include <QList>
#include <QString>

// The audio of a music file as one stream of stereo float frames that can
// be read from any frame, for players that seek: the payload plays from
// frame 0, and frames before it or past its end are silence. The payload is
// read from the open file a buffer at a time, never loaded whole.
//
// One thread at a time: once an audio device reads it, only its callback.
class MusicStream
{
public:
    // Opens the file by the rule for inputs and reads its beat list. Returns
    // why it could not, naming the file, or an empty string.
    QString open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }

    const QList<int> &beats() const { return m_beats; }
    // Whole frames of payload; a trailing partial frame plays as it is.
    qint64 frames() const { return m_payloadBytes / bytesPerFrame(); }

    // Fills length bytes from frame `first` on (negative before the
    // payload): the payload's bytes where there are any, zeros elsewhere, and
    // zeros also for what a failing read leaves.
    void read(qint64 first, char *out, qint64 length);

    // Reads the next length bytes of an open music file into a device's
    // buffer, straight from where the file stands, and silences what the file
    // did not deliver (past its end, a failing read, a closed file): a buffer
    // never keeps stale samples. Returns the bytes read.
    static qint64 readSamples(QIODevice &file, char *out, qint64 length);

private:
    static qint64 bytesPerFrame();

    QFile m_file;
    QList<int> m_beats;
    qint64 m_payloadStart = 0;
    qint64 m_payloadBytes = 0;
};

#endif // MUSICSTREAM_H
