#include "pixelsize.h"

#include <QRegularExpression>

QSize PixelSize::parse(const QString &text)
{
    // Five digits at most, so that no side overflows before it is checked.
    static const QRegularExpression sizePattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
    const QRegularExpressionMatch match = sizePattern.match(text);
    if (!match.hasMatch())
        return {};
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < 1 || size.height() < 1 || size.width() > maxSide || size.height() > maxSide)
        return {};
    return size;
}

QString PixelSize::refusal(const QString &option, const QString &text)
{
    return QStringLiteral("%1 wants WIDTHxHEIGHT in pixels, each from 1 to %2, not '%3'")
            .arg(option).arg(maxSide).arg(text);
}
