#include "beatstext.h"
#include "failure.h"
#include "musicfile.h"

#include <QFile>
#include <QTextStream>

#include <cmath>
#include <limits>

std::optional<int> clockFromSeconds(double seconds)
{
    const double clock = std::round(MusicFile::clockAtSeconds(seconds));
    if (!std::isfinite(clock) || clock < std::numeric_limits<int>::min() || clock > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(clock);
}

namespace {

// The longest part of a line a refusal quotes.
constexpr int quotedLength = 60;

// A field of the file as a refusal quotes it: whatever the file holds, one
// line a terminal only prints (a control or format character, a carriage
// return or an escape sequence, shown as \uXXXX), cut short when long.
QString quoted(const QString &field)
{
    QString shown;
    for (const QChar c : field.left(quotedLength)) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    if (field.size() > quotedLength)
        shown += QStringLiteral("...");
    return QStringLiteral("\"%1\"").arg(shown);
}

// A time in seconds from a line of the file, or a failure naming the line.
int clockAt(const QString &path, int number, const QString &field, const QString &what)
{
    bool ok = false;
    const double seconds = field.toDouble(&ok);
    if (!ok)
        throw Failure(QStringLiteral("%1:%2: not a %3 in seconds: %4").arg(path).arg(number).arg(what, quoted(field)));
    const std::optional<int> clock = clockFromSeconds(seconds);
    if (!clock)
        throw Failure(QStringLiteral("%1:%2: %3 out of range: %4").arg(path).arg(number).arg(what, quoted(field)));
    return *clock;
}

} // namespace

QList<int> readBeatsText(const QString &path)
{
    // By the inputs' rule: a FIFO would block the tool, a folder holds no lines.
    QFile file(path);
    openInput(file);

    QList<int> beats;
    QTextStream text(&file);
    for (int number = 1; !text.atEnd(); ++number) {
        // Whatever ends the line, "\n" or "\r\n", goes with the outer blanks.
        const QString line = text.readLine();
        // An audio editor's label: start, end and text, split by tabs; the
        // start is the beat. A label of a frequency range adds a line that
        // starts with a backslash, which holds no time.
        const QStringList fields = line.split(QLatin1Char('\t'));
        const QString second = fields.size() > 1 ? fields[1].trimmed() : QString();
        if (fields.size() > 1 && !second.isEmpty() && !second.startsWith(QLatin1Char('#'))) {
            const QString start = fields[0].trimmed();
            if (start == QLatin1String("\\"))
                continue;
            const int beat = clockAt(path, number, start, QStringLiteral("label start"));
            clockAt(path, number, second, QStringLiteral("label end"));
            beats << beat;
            continue;
        }
        QString time = line;
        const int comment = time.indexOf(QLatin1Char('#'));
        if (comment >= 0)
            time.truncate(comment);
        time = time.trimmed();
        if (!time.isEmpty())
            beats << clockAt(path, number, time, QStringLiteral("time"));
    }
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("%1: cannot read the beats: %2").arg(path, file.errorString()));
    return beats;
}

QString beatsText(const QList<int> &beats, const QString &source)
{
    QString text = QStringLiteral("# beat times in seconds, from %1\n").arg(source);
    // One clock unit is 2 ms, so three decimals give every value back exactly.
    for (const int beat : beats)
        text += QString::number(MusicFile::secondsAtClock(beat), 'f', 3) + QLatin1Char('\n');
    return text;
}
