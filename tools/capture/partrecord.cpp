#include "partrecord.h"

#include "captureoptions.h"
#include "frameschedule.h"
#include "inputfile.h"
#include "showgl.h"
#include "showstages.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The digest of a whole file, or noMusic when it cannot be read (the capture
// then makes no sound track).
QString musicDigest(const QString &path)
{
    QFile file(path);
    if (!openInputFile(file).isEmpty())
        return PartRecord::noMusic();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hash.addData(&file))
        return PartRecord::noMusic();
    return QString::fromLatin1(hash.result().toHex());
}

// The stages the capture draws with: a show folder's, or the compiled-in ones.
QString stagesDigest(const CaptureOptions &options)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const ShowStages::Choice choice = ShowStages::choose(options.shaders);
    if (choice.folder.isEmpty()) {
        hash.addData(ShowGL::stageSource(ShowGL::vertexShader()));
        hash.addData(ShowGL::stageSource(ShowGL::fragmentShader()));
    } else {
        const ShowStages::Texts texts = ShowStages::read(choice.folder);
        hash.addData(texts.vertex);
        hash.addData(texts.fragment);
    }
    return QString::fromLatin1(hash.result().toHex());
}

// Keys of the shape whose values are digests: a difference said in words.
const QMap<QString, QString> digests{{QStringLiteral("--music"), QStringLiteral("made from another music file")},
                                     {QStringLiteral("stages"), QStringLiteral("drawn by other shader stages")}};

} // namespace

QString framesText(qint64 first, qint64 count)
{
    if (count == 1)
        return QStringLiteral("frame %1").arg(first);
    return QStringLiteral("frames %1 to %2").arg(first).arg(first + count - 1);
}

QMap<QString, QString> PartRecord::shapeOf(const CaptureOptions &options)
{
    QMap<QString, QString> shape{
        {QStringLiteral("--size"), QStringLiteral("%1x%2").arg(options.size.width()).arg(options.size.height())},
        {QStringLiteral("--fps"), QString::number(options.fps)},
        {QStringLiteral("--supersample"), QString::number(options.supersample)},
        {QStringLiteral("--shutter"), QString::number(options.shutter, 'g', 17)},
        {QStringLiteral("--codec"), CaptureOptions::codecName(options.codec)},
        {QStringLiteral("--music"), musicDigest(options.music)},
        {QStringLiteral("stages"), stagesDigest(options)},
    };
    if (options.shutter > 0.0)
        shape.insert(QStringLiteral("--subframes"), QString::number(options.subframes));
    if (options.codec != CaptureOptions::Codec::Ffv1) {
        shape.insert(QStringLiteral("--crf"), QString::number(options.effectiveCrf()));
        // x264's default is tuned beyond its preset.
        shape.insert(QStringLiteral("--preset"), options.preset.isEmpty() ? QStringLiteral("default") : options.preset);
    }
    return shape;
}

PartRecord PartRecord::of(const CaptureOptions &options, const FrameSchedule &whole, int k, int n)
{
    const FrameSchedule part = whole.part(k, n);
    PartRecord record;
    record.part = k;
    record.parts = n;
    record.first = part.first();
    record.count = part.count();
    record.wholeFirst = whole.first();
    record.wholeCount = whole.count();
    record.shape = shapeOf(options);
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

QString PartRecord::shapeDifference(const PartRecord &other) const
{
    QStringList keys = shape.keys();
    for (const QString &key : other.shape.keys())
        if (!keys.contains(key))
            keys << key;
    for (const QString &key : qAsConst(keys)) {
        const QString mine = shape.value(key, QStringLiteral("none"));
        const QString theirs = other.shape.value(key, QStringLiteral("none"));
        if (mine == theirs)
            continue;
        if (digests.contains(key))
            return digests.value(key);
        return QStringLiteral("made with %1 %2, not %3").arg(key, mine, theirs);
    }
    return {};
}
