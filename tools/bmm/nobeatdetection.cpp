// pack --detect-beats where bmm was built without aubio: the rest of the
// tool works, and this says what is missing.

#include "beatdetection.h"

#include "failure.h"

QList<int> detectBeats(const QString &)
{
    throw Failure(QStringLiteral("--detect-beats: this bmm was built without aubio's beat tracker "
                                 "(Debian package libaubio-dev)"));
}
