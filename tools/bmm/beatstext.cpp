#include "beatstext.h"
#include "failure.h"
#include "musicfile.h"

#include <QFile>
#include <QTextStream>

#include <cmath>
#include <limits>

std::optional<int> clockFromSeconds(double seconds)
{
    const double clock = std::round(seconds * MusicFile::clockPerSecond);
    if (!std::isfinite(clock) || clock < std::numeric_limits<int>::min() || clock > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(clock);
}

QList<int> readBeatsText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("%1: cannot read the beats: %2").arg(path, file.errorString()));

    QList<int> beats;
    QTextStream text(&file);
    for (int number = 1; !text.atEnd(); ++number) {
        QString line = text.readLine();
        const int comment = line.indexOf(QLatin1Char('#'));
        if (comment >= 0)
            line.truncate(comment);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        bool ok = false;
        const double seconds = line.toDouble(&ok);
        if (!ok)
            throw Failure(QStringLiteral("%1:%2: not a time in seconds: \"%3\"").arg(path).arg(number).arg(line));
        const std::optional<int> clock = clockFromSeconds(seconds);
        if (!clock)
            throw Failure(QStringLiteral("%1:%2: time out of range: \"%3\"").arg(path).arg(number).arg(line));
        beats << *clock;
    }
    return beats;
}

QString beatsText(const QList<int> &beats, const QString &source)
{
    QString text = QStringLiteral("# beat times in seconds, from %1\n").arg(source);
    // One clock unit is 2 ms, so three decimals give every value back exactly.
    for (const int beat : beats)
        text += QString::number(double(beat) / MusicFile::clockPerSecond, 'f', 3) + QLatin1Char('\n');
    return text;
}
