#include "partrecord.h"

#include "frameschedule.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

QString framesText(qint64 first, qint64 count)
{
    if (count == 1)
        return QStringLiteral("frame %1").arg(first);
    return QStringLiteral("frames %1 to %2").arg(first).arg(first + count - 1);
}

QMap<QString, QString> PartRecord::shapeOf(const CaptureOptions &options, const CaptureOptions::Stages &drawn)
{
    return options.shape(drawn);
}

PartRecord PartRecord::of(const CaptureOptions &options, const CaptureOptions::Stages &drawn,
                          const FrameSchedule &whole, int k, int n)
{
    const FrameSchedule part = whole.part(k, n);
    PartRecord record;
    record.part = k;
    record.parts = n;
    record.first = part.first();
    record.count = part.count();
    record.wholeFirst = whole.first();
    record.wholeCount = whole.count();
    record.shape = shapeOf(options, drawn);
    return record;
}

QString PartRecord::toText() const
{
    QJsonObject shapes;
    for (auto each = shape.cbegin(); each != shape.cend(); ++each)
        shapes.insert(each.key(), each.value());
    const QJsonObject object{
        {QStringLiteral("part"), part},
        {QStringLiteral("parts"), parts},
        {QStringLiteral("first"), first},
        {QStringLiteral("count"), count},
        {QStringLiteral("wholeFirst"), wholeFirst},
        {QStringLiteral("wholeCount"), wholeCount},
        {QStringLiteral("shape"), shapes},
        {QStringLiteral("device"), device},
        {QStringLiteral("renderer"), renderer},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

namespace {

// No character a terminal acts on rather than prints (a carriage return, an
// escape sequence, a mark that turns the line around).
bool isPrintable(const QString &text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
                || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    });
}

} // namespace

std::optional<PartRecord> PartRecord::fromText(const QString &text)
{
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    // Every number a whole one from 0 to mostFrames, so that the sums and
    // the sound's samples that a join works out stay far inside 64 bits,
    // whatever another machine's file says.
    bool wholeNumbers = true;
    const auto whole = [&](const char *key) {
        const QJsonValue value = object.value(QLatin1String(key));
        const double number = value.toDouble(-1.0);
        if (!value.isDouble() || !(number >= 0.0 && number <= double(mostFrames)) || number != std::floor(number)) {
            wholeNumbers = false;
            return qint64(0);
        }
        return qint64(number);
    };
    PartRecord record;
    record.part = int(whole("part"));
    record.parts = int(whole("parts"));
    record.first = whole("first");
    record.count = whole("count");
    record.wholeFirst = whole("wholeFirst");
    record.wholeCount = whole("wholeCount");
    const QJsonObject shapes = object.value(QStringLiteral("shape")).toObject();
    for (auto each = shapes.begin(); each != shapes.end(); ++each)
        record.shape.insert(each.key(), each.value().toString());
    record.device = object.value(QStringLiteral("device")).toString();
    record.renderer = object.value(QStringLiteral("renderer")).toString();
    // Its words are said on the maker's terminal: a capture writes only
    // printable ones, of a line at most.
    bool printable = record.device.size() <= longestText && isPrintable(record.device)
            && record.renderer.size() <= longestText && isPrintable(record.renderer);
    for (auto each = record.shape.cbegin(); each != record.shape.cend(); ++each)
        printable = printable && each.key().size() <= longestText && isPrintable(each.key())
                && each.value().size() <= longestText && isPrintable(each.value());
    // A record that does not hold together is no record.
    bool fpsRead = false;
    const int fps = record.shape.value(QStringLiteral("--fps")).toInt(&fpsRead);
    if (!wholeNumbers || !printable || record.parts < 1 || record.part < 1 || record.part > record.parts || record.count < 1
        || record.wholeCount < 1 || record.first < record.wholeFirst
        || record.first + record.count > record.wholeFirst + record.wholeCount
        || !fpsRead || fps < 1 || fps > mostFps)
        return std::nullopt;
    return record;
}

QString PartRecord::describe() const
{
    return QStringLiteral("part %1 of %2, %3").arg(part).arg(parts).arg(framesText(first, count));
}

QString PartRecord::notPartOf(const PartRecord &other) const
{
    if (wholeFirst != other.wholeFirst || wholeCount != other.wholeCount)
        return QStringLiteral("made as a part of %1, not %2")
                .arg(framesText(wholeFirst, wholeCount), framesText(other.wholeFirst, other.wholeCount));
    QStringList keys = shape.keys();
    for (const QString &key : other.shape.keys())
        if (!keys.contains(key))
            keys << key;
    for (const QString &key : qAsConst(keys)) {
        const QString mine = shape.value(key, QStringLiteral("none"));
        const QString theirs = other.shape.value(key, QStringLiteral("none"));
        if (mine == theirs)
            continue;
        const QString digestDifference = CaptureOptions::digestDifference(key);
        if (!digestDifference.isEmpty())
            return digestDifference;
        return QStringLiteral("made with %1 %2, not %3").arg(key, mine, theirs);
    }
    return {};
}
