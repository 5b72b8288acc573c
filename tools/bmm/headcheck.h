#ifndef HEADCHECK_H
#define HEADCHECK_H

#include "musicfile.h"

#include <QString>

class QFile;

// Reads the head of an open music file with the show's own reader, leaving
// the file where the show's reader leaves it. Throws Failure when the file
// cannot be read.
MusicFile::Head readCheckedHead(QFile &file);

// Why the show finds neither beats nor audio in a music file of this size,
// in one line without the file's name; empty when the head is whole.
QString headProblem(const MusicFile::Head &head, qint64 size);

#endif // HEADCHECK_H
