// Captures drawn in parts (--part K/N) and joined (--join): the parts hold
// every frame once whatever their number, the join is the whole capture
// exactly, picture and sound, and the join refuses, in one line and writing
// nothing, every set of parts that is not one whole capture.

#include "capturerun.h"
#include "datarows.h"
#include "makershow.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace CaptureRun;

namespace {

// Show seconds 2 to 4.4 at 5 frames a second: frame k is timer millisecond
// 200 k, show time 0.16 k, so frames 13 (2.08) to 27 (4.32), 15 frames.
const QStringList stretch{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "4.4", "--crf", "0"};
constexpr int wholeFrames = 15;
// Show seconds 2 to 2.8: frames 13 to 17, 5 frames, for a part of a frame each.
const QStringList shortStretch{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "2.8", "--crf", "0"};
const QStringList picture{"-map", "0:v", "-f", "rawvideo", "-pix_fmt", "yuv420p"};
const QStringList sound{"-map", "0:a", "-f", "f32le"};

// A join refused as the user must see it: exit status 1 and one line that
// says nothing was written and holds every one of the words.
void checkRefused(const Run &run, const QStringList &said)
{
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().startsWith(QLatin1String("capture: "))
             && lines.first().endsWith(QLatin1String("; nothing written")), qPrintable(run.errors));
    for (const QString &words : said)
        QVERIFY2(lines.first().contains(words), qPrintable(lines.first() + QStringLiteral(" lacks: ") + words));
}

} // namespace

class CaptureJoinTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void partsJoinIntoTheWholeCapture_data();
    void partsJoinIntoTheWholeCapture();
    void joinIntoMp4HasThePicturesAndTheWholeSound();
    void partsAndJoinOfAnyNameJoin();
    void joinRefusesPartsThatAreNotOneWhole_data();
    void joinRefusesPartsThatAreNotOneWhole();
    void joinRefusesAnOutputThatLeadsToAPartOrIntoTheirFolder_data();
    void joinRefusesAnOutputThatLeadsToAPartOrIntoTheirFolder();

private:
    // Captures into the test's folder; true when it succeeded.
    bool capture(const QStringList &arguments, const QString &output);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

bool CaptureJoinTest::capture(const QStringList &arguments, const QString &output)
{
    const Run run = CaptureRun::run(arguments + QStringList{output}, m_dir.path());
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.errors));
    return run.exitCode == 0;
}

void CaptureJoinTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeMusic(path(QStringLiteral("music.bmm")), {100, 200}, 0.5, 40.0));
    QVERIFY(writeMusic(path(QStringLiteral("other.bmm")), {100, 200}, 1.0, 40.0));
    QVERIFY(capture(stretch, QStringLiteral("whole.mkv")));
    QVERIFY(capture(shortStretch, QStringLiteral("whole-short.mkv")));
    // The parts the refusals are made of: the three of a split in three, and
    // some that do not belong with them.
    for (const QString &k : QStringList{"1", "2", "3"})
        QVERIFY(capture(stretch + QStringList{"--part", k + "/3"}, "part-" + k + ".mkv"));
    QVERIFY(capture(stretch + QStringList{"--part", "1/2"}, QStringLiteral("half-1.mkv")));
    QVERIFY(capture(stretch + QStringList{"--part", "2/3", "--supersample", "2"}, QStringLiteral("smooth-2.mkv")));
    QVERIFY(capture(stretch + QStringList{"--part", "2/3", "--crf", "10"}, QStringLiteral("crf10-2.mkv")));
    QVERIFY(capture(stretch + QStringList{"--part", "2/3", "--music", "other.bmm"}, QStringLiteral("other-2.mkv")));
    // Drawn with a font where the others have none (no text.png here).
    QVERIFY(MakerShow::twoRowFont().save(path(QStringLiteral("font.png"))));
    QVERIFY(capture(stretch + QStringList{"--part", "2/3", "--font", "font.png"}, QStringLiteral("font-2.mkv")));
    // The show's stages from a folder, the fragment stage with a line more.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("stages")));
    QVERIFY(QFile::copy(QStringLiteral(SHADERS_DIR "/shader.vert"), path(QStringLiteral("stages/shader.vert"))));
    QVERIFY(QFile::copy(QStringLiteral(SHADERS_DIR "/shader.frag"), path(QStringLiteral("stages/shader.frag"))));
    QFile stage(path(QStringLiteral("stages/shader.frag")));
    QVERIFY(stage.open(QIODevice::Append) && stage.write("// a line more\n") > 0);
    stage.close();
    QVERIFY(capture(stretch + QStringList{"--part", "2/3", "--shaders", "stages"}, QStringLiteral("stages-2.mkv")));
    // Show seconds 2 to 5: frames 13 to 31, its third part frames 25 to 31.
    QStringList longer = stretch;
    longer[7] = QStringLiteral("5");
    QVERIFY(capture(longer + QStringList{"--part", "3/3"}, QStringLiteral("longer-3.mkv")));
    QVERIFY(QFile::copy(path(QStringLiteral("part-2.mkv")), path(QStringLiteral("again-2.mkv"))));
    // A part cut short, as a copy stopped half-way leaves it.
    QFile whole(path(QStringLiteral("part-2.mkv")));
    QFile cut(path(QStringLiteral("cut-2.mkv")));
    QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(whole.size() / 2));
}

void CaptureJoinTest::partsJoinIntoTheWholeCapture_data()
{
    // Part k of n holds the frames from floor(F (k - 1) / n) to before
    // floor(F k / n), counted from the first, F the stretch's frames (15, or
    // 5 for the short one): worked out by hand.
    addRows<bool, int, QList<int>>({"ofTheShortStretch", "parts", "frames"},
            {{"one part", false, 1, {15}},
             {"four parts", false, 4, {3, 4, 4, 4}},
             {"seven parts", false, 7, {2, 2, 2, 2, 2, 2, 3}},
             {"a frame each", true, 5, {1, 1, 1, 1, 1}}});
}

void CaptureJoinTest::partsJoinIntoTheWholeCapture()
{
    QFETCH(bool, ofTheShortStretch);
    QFETCH(int, parts);
    QFETCH(QList<int>, frames);

    const QStringList &arguments = ofTheShortStretch ? shortStretch : stretch;
    const QString whole = path(ofTheShortStretch ? QStringLiteral("whole-short.mkv") : QStringLiteral("whole.mkv"));
    const int wholeCount = ofTheShortStretch ? 5 : wholeFrames;
    QTemporaryDir folder;
    QStringList names;
    // Given to the join last part first: it puts them in order itself.
    for (int k = parts; k >= 1; --k) {
        const QString name = folder.filePath(QStringLiteral("part-%1.mkv").arg(k));
        QVERIFY(capture(arguments + QStringList{"--part", QStringLiteral("%1/%2").arg(k).arg(parts)}, name));
        QCOMPARE(stream(probe(name), QStringLiteral("video")).value("nb_read_frames").toString().toInt(),
                 frames[k - 1]);
        names << name;
    }
    const QString joined = folder.filePath(QStringLiteral("joined.mkv"));
    const Run run = CaptureRun::run(QStringList{"--join", joined} + names, m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

    const QByteArray wholePicture = decoded(whole, picture);
    QCOMPARE(wholePicture.size(), wholeCount * 64 * 36 * 3 / 2);
    QVERIFY(decoded(joined, picture) == wholePicture);
    // A frame is 200 ms of timer: 8820 samples of 8 bytes at 44100 a
    // second, none missing and none twice.
    const QByteArray wholeSound = decoded(whole, sound);
    QCOMPARE(wholeSound.size(), wholeCount * 8820 * 8);
    QVERIFY(decoded(joined, sound) == wholeSound);
    // The parts' record stays with the parts.
    QVERIFY(!probe(joined).value("format").toObject().value("tags").toObject().contains("CAPTURE_PART"));
}

void CaptureJoinTest::joinIntoMp4HasThePicturesAndTheWholeSound()
{
    QTemporaryDir folder;
    const QString joined = folder.filePath(QStringLiteral("joined.mp4"));
    const Run run = CaptureRun::run({"--join", joined, "part-3.mkv", "part-1.mkv", "part-2.mkv"}, m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QCOMPARE(contents(folder.path()), QStringList{"joined.mp4"});
    QVERIFY(decoded(joined, picture) == decoded(path(QStringLiteral("whole.mkv")), picture));
    // The sound made AAC in one run over the whole: 3 s, in whole blocks of
    // 1024 samples, the last one filled up and the file saying how much of it
    // to play.
    const QJsonObject soundTrack = stream(probe(joined), QStringLiteral("audio"));
    QCOMPARE(soundTrack.value("codec_name").toString(), QStringLiteral("aac"));
    QCOMPARE(number(soundTrack, "duration"), 3.0);
    const int samples = decoded(joined, sound).size() / 8;
    QVERIFY2(samples >= 3 * 44100 && samples < 3 * 44100 + 1024, qPrintable(QString::number(samples)));
}

void CaptureJoinTest::partsAndJoinOfAnyNameJoin()
{
    // Names that a list, a shell or a pattern would read as their own:
    // newlines, quotes, a variable, a command, a percent, a backslash.
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("a\nfile 'b' \"c\" $d `e` %a\\f"));
    QVERIFY(QDir().mkpath(folder));
    QStringList parts;
    for (const QString &k : QStringList{"1", "2", "3"}) {
        parts << QDir(folder).filePath("part '" + k + "'\n.mkv");
        QVERIFY(QFile::copy(path("part-" + k + ".mkv"), parts.last()));
    }
    const QString joined = QDir(folder).filePath(QStringLiteral("joined 'x' $y\n.mkv"));
    const Run run = CaptureRun::run(QStringList{"--join", joined} + parts, base.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(decoded(joined, picture) == decoded(path(QStringLiteral("whole.mkv")), picture));
    QVERIFY(decoded(joined, sound) == decoded(path(QStringLiteral("whole.mkv")), sound));
}

void CaptureJoinTest::joinRefusesPartsThatAreNotOneWhole_data()
{
    // Split in three, the parts are frames 13 to 17, 18 to 22 and 23 to 27;
    // split in two, the first half is frames 13 to 19.
    addRows<QStringList, QStringList>({"parts", "said"},
            {{"a part missing", {"part-1.mkv", "part-3.mkv"}, {"part 2 of 3 (frames 18 to 22) is missing"}},
             {"the last part missing", {"part-2.mkv", "part-1.mkv"}, {"part 3 of 3 (frames 23 to 27) is missing"}},
             {"two parts missing", {"part-2.mkv"}, {"part 1 of 3 (frames 13 to 17) is missing"}},
             {"a part twice", {"part-1.mkv", "part-2.mkv", "again-2.mkv", "part-3.mkv"},
              {"part-2.mkv and again-2.mkv both hold part 2 of 3, frames 18 to 22"}},
             {"a file twice", {"part-1.mkv", "part-2.mkv", "part-3.mkv", "part-2.mkv"},
              {"both hold part 2 of 3, frames 18 to 22"}},
             {"parts that overlap", {"half-1.mkv", "part-2.mkv", "part-3.mkv"},
              {"half-1.mkv (part 1 of 2, frames 13 to 19)", "part-2.mkv (part 2 of 3, frames 18 to 22)",
               "overlap in frames 18 to 19"}},
             {"a part cut short", {"part-1.mkv", "cut-2.mkv", "part-3.mkv"},
              {"cut-2.mkv is unfinished", "of its 5 frames", "part 2 of 3, frames 18 to 22"}},
             {"a part supersampled", {"part-1.mkv", "smooth-2.mkv", "part-3.mkv"},
              {"smooth-2.mkv (part 2 of 3, frames 18 to 22) does not match part-1.mkv", "--supersample 2, not 1"}},
             {"a part of another quality", {"part-1.mkv", "part-2.mkv", "crf10-2.mkv"}, {"crf10-2.mkv", "--crf 10, not 0"}},
             {"a part of other stages", {"part-1.mkv", "stages-2.mkv", "part-3.mkv"},
              {"stages-2.mkv", "drawn by other shader stages"}},
             {"a part of other music", {"part-1.mkv", "other-2.mkv", "part-3.mkv"},
              {"other-2.mkv", "another music file"}},
             {"a part drawn with another font", {"part-1.mkv", "font-2.mkv", "part-3.mkv"},
              {"font-2.mkv", "drawn with another font"}},
             {"a part of another stretch", {"part-1.mkv", "part-2.mkv", "longer-3.mkv"},
              {"longer-3.mkv (part 3 of 3, frames 25 to 31) does not match part-1.mkv",
               "made as a part of frames 13 to 31, not frames 13 to 27"}},
             {"a whole capture", {"part-1.mkv", "whole.mkv"}, {"whole.mkv is no part of a capture"}},
             {"a part not there", {"part-1.mkv", "gone-2.mkv", "part-3.mkv"},
              {"part 2 of 3 (frames 18 to 22) is missing (gone-2.mkv: no such file)"}},
             {"a file not there besides the whole", {"part-1.mkv", "part-2.mkv", "part-3.mkv", "gone-4.mkv"},
              {"gone-4.mkv: no such file"}},
             {"the output among the parts", {"part-1.mkv", "part-2.mkv", "part-3.mkv", "joined.mkv"},
              {"joined.mkv is one of the parts"}}});
}

void CaptureJoinTest::joinRefusesPartsThatAreNotOneWhole()
{
    QFETCH(QStringList, parts);
    QFETCH(QStringList, said);

    // What the output held before stays.
    QFile before(path(QStringLiteral("joined.mkv")));
    QVERIFY(before.open(QIODevice::WriteOnly) && before.write("held before") > 0);
    before.close();
    const QStringList folder = contents(m_dir.path());

    const Run run = CaptureRun::run(QStringList{"--join", "joined.mkv"} + parts, m_dir.path());
    checkRefused(run, said);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(contents(m_dir.path()), folder);
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), QByteArray("held before"));
}

void CaptureJoinTest::joinRefusesAnOutputThatLeadsToAPartOrIntoTheirFolder_data()
{
    // The three parts lie in show.parts, as capture --slurm leaves them, with
    // its log and script; the links are made before the join (pairs: the
    // link, what it points to; @: by an absolute path). Expected words: the
    // name as typed, and the part or folder it comes to, read off the links.
    addRows<QStringList, QString, QString, QStringList>({"links", "out", "partsIn", "said"},
            {{"a link to a part", {"out.mkv", "show.parts/part-2.mkv"}, "out.mkv", "show.parts",
              {"out.mkv leads to", "part-2.mkv, one of the parts"}},
             {"a link to a link to a part", {"out.mkv", "middle.mkv", "middle.mkv", "@show.parts/part-3.mkv"},
              "out.mkv", "show.parts", {"out.mkv leads to", "part-3.mkv, one of the parts"}},
             {"a part through a linked folder", {"alias", "show.parts"}, "alias/part-1.mkv", "show.parts",
              {"alias/part-1.mkv leads to", "part-1.mkv, one of the parts"}},
             {"a part named plainly, the parts through a linked folder", {"alias", "show.parts"},
              "show.parts/part-2.mkv", "alias", {"show.parts/part-2.mkv leads to", "part-2.mkv, one of the parts"}},
             {"a link to the parts' log", {"out.mkv", "show.parts/join.log"}, "out.mkv", "show.parts",
              {"out.mkv leads into", "show.parts, the folder of the parts"}},
             {"a new file in the parts' folder", {}, "show.parts/joined.mkv", "show.parts",
              {"show.parts/joined.mkv leads into", "show.parts, the folder of the parts"}},
             {"a link into the parts' folder to no file yet", {"out.mkv", "show.parts/new.mkv"}, "out.mkv",
              "show.parts", {"out.mkv leads into", "show.parts, the folder of the parts"}},
             {"the parts' folder through a linked folder", {"alias", "show.parts"}, "alias/joined.mkv",
              "show.parts", {"alias/joined.mkv leads into", "show.parts, the folder of the parts"}}});
}

void CaptureJoinTest::joinRefusesAnOutputThatLeadsToAPartOrIntoTheirFolder()
{
    QFETCH(QStringList, links);
    QFETCH(QString, out);
    QFETCH(QString, partsIn);
    QFETCH(QStringList, said);

    QTemporaryDir folder;
    const QDir dir(folder.path());
    QVERIFY(dir.mkdir(QStringLiteral("show.parts")));
    for (const QString &k : QStringList{"1", "2", "3"})
        QVERIFY(QFile::copy(path("part-" + k + ".mkv"), dir.filePath("show.parts/part-" + k + ".mkv")));
    for (const QString &name : QStringList{"join.log", "part.sh"}) {
        QFile file(dir.filePath("show.parts/" + name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("kept") > 0);
    }
    for (int i = 0; i < links.size(); i += 2) {
        const QString pointsTo = links[i + 1].startsWith(QLatin1Char('@')) ? dir.filePath(links[i + 1].mid(1))
                                                                          : links[i + 1];
        QVERIFY(QFile::link(pointsTo, dir.filePath(links[i])));
    }
    const QMap<QString, QByteArray> before = snapshot(folder.path());

    QStringList parts;
    for (const QString &k : QStringList{"1", "2", "3"})
        parts << partsIn + "/part-" + k + ".mkv";
    checkRefused(CaptureRun::run(QStringList{"--join", out} + parts, folder.path()), said);
    QVERIFY(snapshot(folder.path()) == before);
}

QTEST_MAIN(CaptureJoinTest)
#include "tst_capturejoin.moc"
