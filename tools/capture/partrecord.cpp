#include "partrecord.h"

#include "frameschedule.h"

#include <QJsonDocument>
#include <QJsonObject>

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

std::optional<PartRecord> PartRecord::fromText(const QString &text)
{
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    PartRecord record;
    record.part = object.value(QStringLiteral("part")).toInt();
    record.parts = object.value(QStringLiteral("parts")).toInt();
    const auto whole = [&](const char *key) { return qint64(object.value(QLatin1String(key)).toDouble(-1)); };
    record.first = whole("first");
    record.count = whole("count");
    record.wholeFirst = whole("wholeFirst");
    record.wholeCount = whole("wholeCount");
    const QJsonObject shapes = object.value(QStringLiteral("shape")).toObject();
    for (auto each = shapes.begin(); each != shapes.end(); ++each)
        record.shape.insert(each.key(), each.value().toString());
    record.device = object.value(QStringLiteral("device")).toString();
    record.renderer = object.value(QStringLiteral("renderer")).toString();
    // A record that does not hold together is no record.
    if (record.parts < 1 || record.part < 1 || record.part > record.parts || record.count < 1 || record.first < 0
        || record.wholeCount < 1 || record.wholeFirst < 0 || record.first < record.wholeFirst
        || record.first + record.count > record.wholeFirst + record.wholeCount
        || record.shape.value(QStringLiteral("--fps")).toInt() < 1)
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
