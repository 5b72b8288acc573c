#ifndef INPUTFILE_H
#define INPUTFILE_H

#include "failure.h"

#include <QFile>
#include <QFileInfo>

// Opens a file to read, as the show would: only a regular file (a FIFO would
// block, a folder holds nothing).
inline void openInput(QFile &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        throw Failure(QStringLiteral("%1: no such file").arg(file.fileName()));
    if (!info.isFile())
        throw Failure(QStringLiteral("%1: not a regular file").arg(file.fileName()));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(file.fileName(), file.errorString()));
}

#endif // INPUTFILE_H
