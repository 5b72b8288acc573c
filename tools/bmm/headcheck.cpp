#include "headcheck.h"
#include "failure.h"

#include <QFile>

MusicFile::Head readCheckedHead(QFile &file)
{
    MusicFile::Head head = MusicFile::readHead(file);
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("%1: cannot read: %2").arg(file.fileName(), file.errorString()));
    return head;
}

QString headProblem(const MusicFile::Head &head, qint64 size)
{
    if (head.whole)
        return {};
    if (!head.countRead)
        return QStringLiteral("too short for a beat count: the show finds no beats and no audio");
    return QStringLiteral("truncated list: the count says %1 beats, the file holds %2; the show takes every "
                          "byte after the count as beat values and finds no beats and no audio")
            .arg(head.count)
            .arg((size - 4) / 4);
}
