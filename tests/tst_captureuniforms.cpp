// The capture feeds a maker's stage what the show feeds it: the beat pulse
// the show feeds at each show time when drawn at 60 frames a second,
// whatever the capture's own rate, each sub-frame of a shutter its own; and
// the font, --font's or the working folder's text.png, the same way up with
// and without supersampling and motion blur.

#include "capturerun.h"
#include "datarows.h"
#include "makershow.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace CaptureRun;

namespace {

// The stage's picture is 16 x 8: the font's green is read a quarter of the
// way down (its bottom row, above the middle) and three quarters down.
const QStringList small{"--size", "16x8"};
int redOf(const QImage &frame) { return qRed(frame.pixel(8, 2)); }
int upperGreen(const QImage &frame) { return qGreen(frame.pixel(8, 1)); }
int lowerGreen(const QImage &frame) { return qGreen(frame.pixel(8, 6)); }

} // namespace

class CaptureUniformsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void framesCarryTheShowsPulseAndTheFont_data();
    void framesCarryTheShowsPulseAndTheFont();
    void fontComesFromTheOptionOrTheWorkingFolder_data();
    void fontComesFromTheOptionOrTheWorkingFolder();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void CaptureUniformsTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(MakerShow::writeStages(path(QStringLiteral("shaders")), MakerShow::showStage(QStringLiteral("shader.vert")),
                                   MakerShow::everyUniformStage()));
    QVERIFY(writeMusic(path(QStringLiteral("music.bmm")), {500, 520, 1000}, 3.0, 0.0));
    QVERIFY(MakerShow::twoRowFont().save(path(QStringLiteral("font.png"))));
}

void CaptureUniformsTest::framesCarryTheShowsPulseAndTheFont_data()
{
    // Worked out by hand from the beat list. The show at 60 frames a second
    // draws frame k at k x 1000 / 60 ms of its timer (rounded down), with
    // the clock at half the milliseconds: beat 500 fires on frame 60 (1000
    // ms, show time 0.8), beat 520 on frame 63 (1050 ms; frame 62 reads
    // 1033). A beat's frame has the pulse 0.9, red 230 of 255; then 0.8 (204)
    // and 0.7 (178.5, either way). At 30 frames a second the capture's frame
    // k reads k x 1000 / 30 ms: frame 30 is the show's frame 60 and frame 31
    // (1033 ms) the show's frame 62, not the frame after 60. A shutter of a
    // whole frame at 30 a second spreads two sub-frames to 1041.3 ms (0.7)
    // and 1058.3 ms (0.9, beat 520's frame), averaged in linear light: with
    // light (v / 255)^2.2, 179 and 230 average to 206.
    addRows<QStringList, QStringList, QList<int>, QList<int>>({"options", "frames", "lowestRed", "highestRed"}, {
        {"at 60 a second: before, on and after beat 500, then beat 520",
         {"--fps", "60", "--from", "0.78", "--to", "0.85"},
         {"frame-00059.png", "frame-00060.png", "frame-00061.png", "frame-00062.png", "frame-00063.png"},
         {0, 229, 203, 178, 229}, {0, 230, 204, 179, 230}},
        {"at 30 a second: the show's frames 60 and 62", {"--fps", "30", "--from", "0.79", "--to", "0.85"},
         {"frame-00030.png", "frame-00031.png"}, {229, 178}, {230, 179}},
        {"supersampled", {"--fps", "60", "--from", "0.8", "--to", "0.82", "--supersample", "2"},
         {"frame-00060.png", "frame-00061.png"}, {229, 203}, {230, 204}},
        {"with a shutter, a sub-frame either side of beat 520",
         {"--fps", "30", "--from", "0.82", "--to", "0.85", "--shutter", "1", "--subframes", "2"},
         {"frame-00031.png"}, {205}, {207}},
        {"supersampled with a shutter", {"--fps", "30", "--from", "0.82", "--to", "0.85", "--shutter", "1",
                                         "--subframes", "2", "--supersample", "2"},
         {"frame-00031.png"}, {205}, {207}},
    });
}

void CaptureUniformsTest::framesCarryTheShowsPulseAndTheFont()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, frames);
    QFETCH(QList<int>, lowestRed);
    QFETCH(QList<int>, highestRed);

    const QString out = QStringLiteral("frames-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    const Run run = CaptureRun::run(small + options + QStringList{"--font", "font.png", "--png", out}, m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QMap<QString, QImage> drawn = framesIn(path(out));
    QCOMPARE(drawn.keys(), frames);
    for (int i = 0; i < frames.size(); ++i) {
        const QImage frame = drawn.value(frames[i]);
        QVERIFY2(redOf(frame) >= lowestRed[i] && redOf(frame) <= highestRed[i],
                 qPrintable(QStringLiteral("%1: red %2").arg(frames[i]).arg(redOf(frame))));
        // The font's top row (green 0) at the bottom of the picture, its
        // bottom row (255) at the top, whatever drew the frame.
        QCOMPARE(upperGreen(frame), 255);
        QCOMPARE(lowerGreen(frame), 0);
    }
}

void CaptureUniformsTest::fontComesFromTheOptionOrTheWorkingFolder_data()
{
    // The working folder's text.png is the font turned over (green 255 on
    // top), so that the picture says which was drawn with.
    addRows<QStringList, bool, int, int, QString>({"options", "textPngHere", "upper", "lower", "said"}, {
        {"--font over the working folder's", {"--font", "../font.png"}, true, 255, 0, ""},
        {"the working folder's text.png", {}, true, 0, 255, ""},
        {"none here, none installed: black", {}, false, 0, 0, "capture: no text.png here or installed: iFont is black"},
        {"a --font that is no image: refused", {"--font", "../music.bmm"}, true, -1, -1,
         "capture: ../music.bmm: not an image that can be read"},
        {"a --font not there: refused", {"--font", "none.png"}, true, -1, -1,
         "capture: none.png: not an image that can be read"},
    });
}

void CaptureUniformsTest::fontComesFromTheOptionOrTheWorkingFolder()
{
    QFETCH(QStringList, options);
    QFETCH(bool, textPngHere);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QFETCH(QString, said);

    const QString work = path(QStringLiteral("work-%1").arg(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
    QVERIFY(QDir().mkpath(work));
    QVERIFY(MakerShow::writeStages(QDir(work).filePath(QStringLiteral("shaders")),
                                   MakerShow::showStage(QStringLiteral("shader.vert")), MakerShow::everyUniformStage()));
    if (textPngHere)
        QVERIFY(MakerShow::twoRowFont(true).save(QDir(work).filePath(QStringLiteral("text.png"))));

    const Run run = CaptureRun::run(small + QStringList{"--fps", "2", "--from", "2", "--to", "2.3"} + options
                                            + QStringList{"--png", "frames"}, work);
    if (upper < 0) {
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.errors.trimmed(), said);
        QVERIFY(!QFileInfo::exists(QDir(work).filePath(QStringLiteral("frames"))));
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(run.errors.count(QStringLiteral("iFont")), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty())
        QVERIFY2(run.errors.contains(said), qPrintable(run.errors));
    const QMap<QString, QImage> drawn = framesIn(QDir(work).filePath(QStringLiteral("frames")));
    QCOMPARE(drawn.size(), 1);
    QCOMPARE(upperGreen(drawn.first()), upper);
    QCOMPARE(lowerGreen(drawn.first()), lower);
}

QTEST_GUILESS_MAIN(CaptureUniformsTest)
#include "tst_captureuniforms.moc"
