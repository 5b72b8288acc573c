#include "musichead.h"
#include "failure.h"
#include "musicfile.h"

#include <QFile>
#include <QtEndian>

QString MusicHead::problem() const
{
    if (size < 4)
        return QStringLiteral("too short for a beat count: the show finds no beats and no audio");
    const qint64 valuesHeld = (size - 4) / 4;
    if (count > valuesHeld)
        return QStringLiteral("truncated list: the count says %1 beats, the file holds %2; the show takes every "
                              "byte after the count as beat values and finds no beats and no audio")
                .arg(count).arg(valuesHeld);
    return {};
}

MusicHead readMusicHead(QFile &file)
{
    MusicHead head;
    head.size = file.size();
    head.beats = MusicFile::readBeatList(file);
    head.payloadStart = file.pos();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(file.fileName(), file.errorString()));

    // The count itself, which the reader does not give back for a list it drops.
    uchar bytes[4] = {};
    if (head.size >= 4 && file.seek(0) && file.read(reinterpret_cast<char *>(bytes), 4) == 4)
        head.count = qFromLittleEndian<quint32>(bytes);
    if (!file.seek(head.payloadStart))
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(file.fileName(), file.errorString()));
    return head;
}
