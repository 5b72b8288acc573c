// A part file's record as the join reads it from the part's tag, which may
// come from another machine or from anyone: a record is taken only when it
// holds together and its numbers are whole ones a capture can make, so that
// nothing the join works out from it (the frames' ends, the sound's
// samples) runs past 64 bits; anything else is no record, and the join says
// the file is no part.

#include "datarows.h"
#include "partfile.h"
#include "partrecord.h"

#include <QtTest>

namespace {

// What a real capture wrote into a part (capture --part 2/3 --fps 24
// --from 1 --to 1.5, read back with ffprobe, with the device and renderer
// of a capture that names them), with one field put in place of its own
// where a row says.
QString recordWith(const QString &field, const QString &value)
{
    QString text = QString::fromUtf8(
            "{\"count\":5,\"device\":\"Mesa's surfaceless platform\",\"first\":35,\"part\":2,\"parts\":3,"
            "\"renderer\":\"llvmpipe (LLVM 15.0.6, 256 bits)\",\"shape\":{\"--codec\":\"h264\",\"--crf\":\"18\","
            "\"--fps\":\"24\",\"--music\":\"none\",\"--preset\":\"default\",\"--shutter\":\"0\",\"--size\":\"32x18\","
            "\"--supersample\":\"1\",\"stages\":\"e0add89c7663f4b5549fc80f1179dcd2ddca228a\"},\"wholeCount\":15,"
            "\"wholeFirst\":30}");
    if (field.isEmpty())
        return text;
    const QRegularExpression own(QStringLiteral("\"%1\":(\"[^\"]*\"|[0-9]+)").arg(QRegularExpression::escape(field)));
    return text.replace(own, QStringLiteral("\"%1\":%2").arg(field, value));
}

} // namespace

class PartRecordTest : public QObject
{
    Q_OBJECT

private slots:
    void aRecordIsTakenOnlyWhenItHoldsTogether_data();
    void aRecordIsTakenOnlyWhenItHoldsTogether();
};

void PartRecordTest::aRecordIsTakenOnlyWhenItHoldsTogether_data()
{
    addRows<QString, QString, bool>({"field", "value", "taken"},
            {{"as the capture wrote it", "", "", true},
             {"the last frames of the whole", "first", "40", true},
             // 2^31 - 1 frames would be 24 days at 1000 frames a second: the most taken.
             {"the most frames taken", "wholeCount", "2147483647", true},
             {"frames past the whole", "first", "41", false},
             {"a part beyond the parts", "part", "4", false},
             {"no frames", "count", "0", false},
             {"a negative first frame", "wholeFirst", "-1", false},
             {"half a frame", "count", "4.5", false},
             {"a count as text", "count", "\"5\"", false},
             // Found by fuzzing: numbers beyond 64 bits were cast to whole
             // ones (undefined), and ends near 2^63 overflowed when added.
             {"a first frame of 1e300", "first", "1e300", false},
             {"a whole beyond 64 bits", "wholeCount", "1e19", false},
             {"frames whose end overflows", "wholeCount", "9223372036854775807", false},
             {"2^31 frames", "count", "2147483648", false},
             {"no frame rate", "--fps", "\"\"", false},
             {"a frame rate of text", "--fps", "\"fast\"", false},
             {"a frame rate of 1001", "--fps", "\"1001\"", false},
             {"a frame rate of 1000", "--fps", "\"1000\"", true},
             // Its words are said on the maker's terminal (the join names a
             // part's renderer and what it was made with): one that a
             // terminal would act on rather than print makes no record.
             {"a renderer that clears the screen", "renderer", "\"llvmpipe\\u001b[2J\"", false},
             {"a size with a carriage return", "--size", "\"32x18\\r64x36\"", false},
             {"a device with a right-to-left mark", "device", "\"card\\u202e0\"", false},
             {"a renderer of 201 characters", "renderer", "\"" + QString(201, QLatin1Char('r')) + "\"", false},
             {"a renderer of 200 characters", "renderer", "\"" + QString(200, QLatin1Char('r')) + "\"", true}});
}

void PartRecordTest::aRecordIsTakenOnlyWhenItHoldsTogether()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, taken);

    const QString text = recordWith(field, value);
    // The row's value stands in the text.
    QVERIFY(field.isEmpty() || text.contains(QStringLiteral("\"%1\":%2").arg(field, value)));
    const std::optional<PartRecord> record = PartRecord::fromText(text);
    QCOMPARE(record.has_value(), taken);
    if (!taken)
        return;
    QCOMPARE(PartRecord::fromText(record->toText())->toText(), record->toText());
    // What a file of none of its frames lacks is said in numbers that stay
    // whole: "it holds 0 of its N frames".
    PartFile file;
    file.record = *record;
    QCOMPARE(file.missing(), QStringLiteral("it holds 0 of its %1 frames").arg(record->count));
}

QTEST_GUILESS_MAIN(PartRecordTest)
#include "tst_partrecord.moc"
