#include "slurmscript.h"

std::optional<QByteArray> SlurmScript::shellWord(const QByteArray &bytes)
{
    if (bytes.contains('\0') || bytes.contains("\r\n"))
        return std::nullopt;
    QByteArray word = bytes;
    word.replace('\'', "'\\''");
    return '\'' + word + '\'';
}

std::optional<QString> SlurmScript::logPattern(const QString &folder, const QString &name)
{
    if (folder.contains(QLatin1Char('\\')))
        return std::nullopt;
    QString escaped = folder;
    escaped.replace(QLatin1Char('%'), QLatin1String("%%"));
    return escaped + QLatin1Char('/') + name;
}
