#ifndef BEATDETECTION_H
#define BEATDETECTION_H

#include <QList>
#include <QString>

// Beat times (audio-clock units) found in an audio file's music, for
// pack --detect-beats. Throws Failure naming the file when it cannot.
QList<int> detectBeats(const QString &path);

#endif // BEATDETECTION_H
