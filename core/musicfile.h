#ifndef MUSICFILE_H
#define MUSICFILE_H

#include "musiclayout.h"

#include <QList>
#include <QtGlobal>

class QIODevice;

// The show's music file: its layout and pace (musiclayout.h), and its beat
// list read as the show reads it.
namespace MusicFile {

// Reads the beat list at the head of an open music file. The file is left
// right after the last byte consumed: after a complete list, at the first byte
// of the audio. An incomplete list (the file ends first, or the device fails)
// comes back empty with every byte after the count consumed.
QList<int> readBeatList(QIODevice &file);

} // namespace MusicFile

#endif // MUSICFILE_H
