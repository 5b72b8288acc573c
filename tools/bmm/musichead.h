#ifndef MUSICHEAD_H
#define MUSICHEAD_H

#include <QList>
#include <QString>
#include <QtGlobal>

class QFile;

// The head of a music file as the show reads it, and what the count claims.
struct MusicHead
{
    qint64 size = 0;         // of the whole file
    quint32 count = 0;       // as the file states it; 0 when it holds fewer than 4 bytes
    QList<int> beats;        // as the show reads them
    qint64 payloadStart = 0; // where the show's reader leaves the file

    // Why the show finds neither beats nor audio in the file, in one line
    // without the file's name; empty when the head is whole.
    QString problem() const;
};

// Reads the head of an open music file with the show's own reader and leaves
// the file where that reader does. Throws Failure when the file cannot be read.
MusicHead readMusicHead(QFile &file);

#endif // MUSICHEAD_H
