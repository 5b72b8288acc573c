#include "stagemessages.h"

#include <QRegularExpression>

namespace {

struct Form
{
    QRegularExpression pattern;
    int line;
    int column; // 0: none
    int text;
    int kind;   // 0: the text says it
};

// Mesa "0:42(7): error: ...", NVIDIA "0(42) : error C0000: ...", others
// "ERROR: 0:42: ...". The first number is the source string, always 0 here.
const Form forms[] = {
    {QRegularExpression(QStringLiteral("^\\d+:(\\d+)\\((\\d+)\\):\\s*(.*)$")), 1, 2, 3, 0},
    {QRegularExpression(QStringLiteral("^\\d+\\((\\d+)\\)\\s*:\\s*(.*)$")), 1, 0, 2, 0},
    {QRegularExpression(QStringLiteral("^(ERROR|WARNING):\\s*\\d+:(\\d+):\\s*(.*)$")), 2, 0, 3, 1},
};

} // namespace

QStringList stageMessages(const QString &log, const QString &file)
{
    QStringList messages;
    const QStringList lines = log.split(QLatin1Char('\n'));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        QString message = QStringLiteral("%1: %2").arg(file, line);
        for (const Form &form : forms) {
            const QRegularExpressionMatch match = form.pattern.match(line);
            if (!match.hasMatch())
                continue;
            QString place = file + QLatin1Char(':') + match.captured(form.line);
            if (form.column)
                place += QLatin1Char(':') + match.captured(form.column);
            QString text = match.captured(form.text);
            if (form.kind)
                text = match.captured(form.kind).toLower() + QStringLiteral(": ") + text;
            message = place + QStringLiteral(": ") + text;
            break;
        }
        messages << message;
    }
    return messages;
}
