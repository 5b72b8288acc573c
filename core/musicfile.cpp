#include "musicfile.h"

#include <QDataStream>
#include <QIODevice>

QList<int> MusicFile::readBeatList(QIODevice &file)
{
    QDataStream stream(&file);
    stream.setByteOrder(QDataStream::LittleEndian);

    QList<int> beats;

    // A file shorter than the count gives 0 and consumes what there was.
    quint32 count = 0;
    stream >> count;

    // A count is only a claim: the file holds no more values than follow it.
    // A count it cannot satisfy ends in an empty list whatever is read, so its
    // values are consumed as the stream reads them but never kept; keeping
    // them could cost more memory than the file itself.
    const qint64 fileCanHold = qMax<qint64>(0, (file.size() - 4) / 4);
    const bool canComplete = count <= fileCanHold;
    if (canComplete)
        beats.reserve(int(count));

    for (quint32 i = 0; i < count; ++i) {
        qint32 value = 0;
        stream >> value;
        if (stream.status() != QDataStream::Ok) {
            beats.clear();
            break;
        }
        if (canComplete)
            beats.append(value);
    }
    return beats;
}
