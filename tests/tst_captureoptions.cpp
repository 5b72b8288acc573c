// The capture's options as its parts pass them on and record them: a part
// drawn from the command line the submitting capture gives it is recorded as
// that capture's part, and each option that shapes the picture or the sound
// is in the record.

#include "captureoptions.h"
#include "datarows.h"
#include "frameschedule.h"
#include "partrecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const CaptureOptions::Stages showStages{"vertex stage", "fragment stage"};

// The options a command line gives, read as the capture reads them.
CaptureOptions parsed(const QStringList &arguments)
{
    CaptureOptions options;
    const QString problem = options.parse(QStringList{QStringLiteral("capture")} + arguments);
    if (!problem.isEmpty())
        qWarning("refused: %s", qPrintable(problem));
    return options;
}

// The shape as "--key=value" lines, but for the stages' digest.
QStringList shapeLines(const QMap<QString, QString> &shape)
{
    QStringList lines;
    for (auto each = shape.cbegin(); each != shape.cend(); ++each)
        if (each.key() != QLatin1String("stages"))
            lines << each.key() + QLatin1Char('=') + each.value();
    return lines;
}

} // namespace

class CaptureOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void partsAreGivenAndRecordWhatShapesTheCapture_data();
    void partsAreGivenAndRecordWhatShapesTheCapture();
    void recordHoldsTheStagesDrawn();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

void CaptureOptionsTest::init()
{
    // A working folder without shaders/ or music: the defaults find nothing.
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(m_folder->path()));
}

void CaptureOptionsTest::partsAreGivenAndRecordWhatShapesTheCapture_data()
{
    // Written out from the options' help: each value as given, the defaults
    // as the help states them (1920x1080, 60 frames a second, from 0,
    // supersample 1, h264 at crf 18 with the tuned default preset, stall
    // limit 120); no music file or font in the folder (nor an installed
    // show's beside the test): none on the nodes either.
    const QStringList defaults{"--size", "1920x1080", "--fps", "60", "--from", "0", "--supersample", "1",
                               "--codec", "h264", "--stall-limit", "120"};
    addRows<QStringList, QStringList, QStringList>({"arguments", "partArguments", "shape"},
            {{"the defaults", {"out.mkv"}, defaults,
              {"--codec=h264", "--crf=18", "--font=none", "--fps=60", "--music=none", "--preset=default", "--shutter=0",
               "--size=1920x1080", "--supersample=1"}},
             {"every option that shapes a part",
              {"--size", "64x36", "--fps", "25", "--from", "2", "--to", "4.5", "--supersample", "2", "--shutter",
               "0.5", "--subframes", "4", "--codec", "h265", "--crf", "20", "--preset", "fast", "--stall-limit", "30",
               "out.mkv"},
              {"--size", "64x36", "--fps", "25", "--from", "2", "--to", "4.5", "--supersample", "2", "--shutter", "0.5",
               "--subframes", "4", "--codec", "h265", "--crf", "20", "--preset", "fast", "--stall-limit", "30"},
              {"--codec=h265", "--crf=20", "--font=none", "--fps=25", "--music=none", "--preset=fast", "--shutter=0.5",
               "--size=64x36", "--subframes=4", "--supersample=2"}},
             // h265's own default rate factor is 20.
             {"h265 at its defaults", {"--codec", "h265", "out.mkv"},
              {"--size", "1920x1080", "--fps", "60", "--from", "0", "--supersample", "1", "--codec", "h265",
               "--stall-limit", "120"},
              {"--codec=h265", "--crf=20", "--font=none", "--fps=60", "--music=none", "--preset=default", "--shutter=0",
               "--size=1920x1080", "--supersample=1"}},
             {"ffv1: no rate factor, no preset", {"--codec", "ffv1", "--size", "63x35", "out.mkv"},
              {"--size", "63x35", "--fps", "60", "--from", "0", "--supersample", "1", "--codec", "ffv1",
               "--stall-limit", "120"},
              {"--codec=ffv1", "--font=none", "--fps=60", "--music=none", "--shutter=0", "--size=63x35", "--supersample=1"}},
             {"a shutter keeps the default sub-frames", {"--shutter", "0.25", "out.mkv"},
              {"--size", "1920x1080", "--fps", "60", "--from", "0", "--supersample", "1", "--shutter", "0.25",
               "--subframes", "8", "--codec", "h264", "--stall-limit", "120"},
              {"--codec=h264", "--crf=18", "--font=none", "--fps=60", "--music=none", "--preset=default", "--shutter=0.25",
               "--size=1920x1080", "--subframes=8", "--supersample=1"}}});
}

void CaptureOptionsTest::partsAreGivenAndRecordWhatShapesTheCapture()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, partArguments);
    QFETCH(QStringList, shape);

    const CaptureOptions whole = parsed(arguments);
    QCOMPARE(whole.pictureArguments(), partArguments);
    QCOMPARE(shapeLines(whole.shape(showStages)), shape);

    // A node draws part 2 of 3 from those arguments: its record is the
    // whole capture's, whatever the order of the options it was given.
    QStringList nodeArguments = whole.pictureArguments();
    nodeArguments.prepend(QStringLiteral("2/3"));
    nodeArguments.prepend(QStringLiteral("--part"));
    const CaptureOptions node = parsed(nodeArguments + QStringList{QStringLiteral("part-2.mkv")});
    QCOMPARE(node.part, 2);
    QCOMPARE(node.shape(showStages), whole.shape(showStages));
    QCOMPARE(node.pictureArguments(), whole.pictureArguments());
}

void CaptureOptionsTest::recordHoldsTheStagesDrawn()
{
    // The music file a part is drawn with, and the stages, are told apart by
    // their contents, not their names.
    QFile music(QStringLiteral("music.bmm"));
    QVERIFY(music.open(QIODevice::WriteOnly));
    music.write(QByteArray(16, '\0'));
    music.close();
    const CaptureOptions options = parsed({"--music", "music.bmm", "--size", "64x36", "out.mkv"});
    QVERIFY(options.pictureArguments().contains(QDir::current().absoluteFilePath(QStringLiteral("music.bmm"))));
    const FrameSchedule whole(5, 0.0, 2.0);
    const PartRecord drawn = PartRecord::of(options, showStages, whole, 1, 2);
    QVERIFY(drawn.hasSound());

    const CaptureOptions::Stages edited{showStages.vertex, showStages.fragment + "\n"};
    QCOMPARE(PartRecord::of(options, edited, whole, 2, 2).notPartOf(drawn), QStringLiteral("drawn by other shader stages"));
    QCOMPARE(PartRecord::of(options, showStages, whole, 2, 2).notPartOf(drawn), QString());

    QVERIFY(music.open(QIODevice::Append));
    music.write("x");
    music.close();
    QCOMPARE(PartRecord::of(options, showStages, whole, 2, 2).notPartOf(drawn),
             QStringLiteral("made from another music file"));
}

QTEST_GUILESS_MAIN(CaptureOptionsTest)
#include "tst_captureoptions.moc"
