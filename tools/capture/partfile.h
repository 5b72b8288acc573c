#ifndef PARTFILE_H
#define PARTFILE_H

#include "partrecord.h"

#include <QString>

#include <optional>

// A part of a capture as its file holds it: the record written into it, and
// what it really holds, as ffprobe reads it.
struct PartFile
{
    // Reads a file; error() says why it is no part when it is none.
    static PartFile read(const QString &path);

    QString path;
    PartRecord record;   // parts 0 when it is none
    QString error;           // why the file is no part at all
    qint64 frames = 0;       // the pictures it holds
    qint64 samples = -1;     // its sound's stereo samples; -1: no sound track

    bool isPart() const { return record.parts > 0; }
    // How a folder that capture --slurm makes for the parts of a video ends:
    // show.parts for show.mkv, with the parts, their logs, scripts and jobs.
    static QString folderSuffix() { return QStringLiteral(".parts"); }
    // Empty when it holds every frame and sample its record promises; else
    // what it lacks.
    QString missing() const;
};

#endif // PARTFILE_H
