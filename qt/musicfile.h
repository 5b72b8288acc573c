#ifndef MUSICFILE_H
#define MUSICFILE_H

#include "musichead.h"
#include "musiclayout.h"

#include <QList>
#include <QtGlobal>

class QIODevice;

// The show's music file: its layout and pace (musiclayout.h), and its head
// read from an open file by the show's one reader (musichead.h).
namespace MusicFile {

struct Head
{
    bool whole = false;     // the list is complete: the audio follows it
    HeadParser::Fault fault = HeadParser::Fault::None;
    bool countRead = false; // the file holds 4 bytes for the count
    quint32 count = 0;      // as the file states it, kept also for a list that is not whole
    QList<int> beats;       // in file order; empty unless whole
};

// Reads the head of an open music file from where it stands. The file is
// left right after the head when it is whole, at the first byte of the
// audio; otherwise at its end, so that it plays nothing. A device that fails
// ends the head there.
Head readHead(QIODevice &file);

// The beat list of readHead, for callers that need nothing else.
QList<int> readBeatList(QIODevice &file);

} // namespace MusicFile

#endif // MUSICFILE_H
