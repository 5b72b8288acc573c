#include "framesink.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString moveIntoPlace(const QString &from, const QString &to)
{
    // One rename: the name holds either what was there or the whole new output.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return QStringLiteral("cannot put the output in place as %1: %2")
                .arg(to, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}
