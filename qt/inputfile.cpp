#include "inputfile.h"

#include <QFile>
#include <QFileInfo>

QString openInputFile(QFile &file)
{
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("%1: no such file").arg(file.fileName());
    if (!info.isFile())
        return QStringLiteral("%1: not a regular file").arg(file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot read: %2").arg(file.fileName(), file.errorString());
    return {};
}
