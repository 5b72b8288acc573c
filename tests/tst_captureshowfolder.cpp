// The capture renders a maker's show folder: the stages in shaders/ of the
// working folder or in the folder --shaders names, else the compiled-in
// ones; a stage that does not build stops it before anything is written.

#include "capturerun.h"
#include "datarows.h"
#include "makershow.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace CaptureRun;

namespace {

// Two frames of the third shot, small: enough to hold every pixel to another
// capture's, quick to draw.
const QStringList frameArguments{"--size", "96x54", "--fps", "2", "--from", "12", "--to", "12.8"};

const QString compiledInNote = QStringLiteral("capture: no shaders/shader.vert and shaders/shader.frag here: "
                                              "drawing the compiled-in stages");

} // namespace

class CaptureShowFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void framesComeFromTheShowsStages_data();
    void framesComeFromTheShowsStages();
    void brokenStageStopsBeforeAnyOutput_data();
    void brokenStageStopsBeforeAnyOutput();

private:
    QTemporaryDir m_dir;
    QMap<QString, QImage> m_compiledIn; // the frames of the compiled-in stages
};

void CaptureShowFolderTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // In a folder without shaders/: the compiled-in stages, said once.
    const Run compiledIn = run(frameArguments + QStringList{"--png", "frames"}, m_dir.path());
    QVERIFY2(compiledIn.exitCode == 0, qPrintable(compiledIn.errors));
    QCOMPARE(compiledIn.errors.count(compiledInNote), 1);
    m_compiledIn = framesIn(m_dir.filePath(QStringLiteral("frames")));
    // Show time 12 is the timer's 15 s: frame 30 at 2 a second; 12.4 frame 31.
    QCOMPARE(m_compiledIn.keys(), QStringList({"frame-00030.png", "frame-00031.png"}));
}

void CaptureShowFolderTest::framesComeFromTheShowsStages_data()
{
    // Where the stages lie (relative to the working folder), the --shaders
    // given, whether they are the maker's changed ones (red and blue swapped)
    // or the show's own; and stages that the choice must pass over.
    addRows<QString, QString, bool, QString>(
            {"stagesIn", "shadersOption", "changed", "decoyIn"},
            {{"shaders/ of the working folder, changed", "shaders", "", true, ""},
             {"shaders/ of the working folder, the show's own", "shaders", "", false, ""},
             {"--shaders elsewhere, changed", "elsewhere/stages", "elsewhere/stages", true, ""},
             {"--shaders over a shaders/ of the working folder", "mine", "mine", true, "shaders"},
             {"--shaders, the show's own, over a changed shaders/", "own", "own", false, "shaders"}});
}

void CaptureShowFolderTest::framesComeFromTheShowsStages()
{
    QFETCH(QString, stagesIn);
    QFETCH(QString, shadersOption);
    QFETCH(bool, changed);
    QFETCH(QString, decoyIn);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QByteArray vertex = MakerShow::showStage(QStringLiteral("shader.vert"));
    const QByteArray fragment = MakerShow::showStage(QStringLiteral("shader.frag"));
    const QByteArray swapped = MakerShow::withRedAndBlueSwapped(fragment);
    QVERIFY(MakerShow::writeStages(work.filePath(stagesIn), vertex, changed ? swapped : fragment));
    // A stage folder not chosen holds what would show if it were.
    if (!decoyIn.isEmpty())
        QVERIFY(MakerShow::writeStages(work.filePath(decoyIn), vertex, changed ? fragment : swapped));

    QStringList arguments = frameArguments + QStringList{"--png", "frames"};
    if (!shadersOption.isEmpty())
        arguments << "--shaders" << shadersOption;
    const Run captured = run(arguments, work.path());
    QVERIFY2(captured.exitCode == 0, qPrintable(captured.errors));
    QVERIFY2(!captured.errors.contains(compiledInNote), qPrintable(captured.errors));

    // Every pixel the compiled-in stages drew, to the bit; red and blue
    // swapped where the maker swapped them.
    const QMap<QString, QImage> frames = framesIn(work.filePath(QStringLiteral("frames")));
    QCOMPARE(frames.keys(), m_compiledIn.keys());
    for (const QString &name : frames.keys()) {
        const QImage expected = changed ? MakerShow::swappedRedAndBlue(m_compiledIn.value(name)) : m_compiledIn.value(name);
        QVERIFY2(frames.value(name) == expected, qPrintable(name));
        // The swap is a change that shows: the scene is not grey.
        QVERIFY(MakerShow::swappedRedAndBlue(expected) != expected);
    }
}

void CaptureShowFolderTest::brokenStageStopsBeforeAnyOutput_data()
{
    // Which stage is broken and how; the line the message must name it by,
    // as an editor counts the maker's file.
    addRows<QString, QString, QString, QString>(
            {"output", "brokenStage", "mistake", "expected"},
            {{"fragment stage, PNG frames", "--png", "shader.frag", "line 7", "shaders/shader.frag:7:"},
             {"fragment stage, video", "out.mp4", "shader.frag", "line 40", "shaders/shader.frag:40:"},
             {"vertex stage, video", "out.mkv", "shader.vert", "line 3", "shaders/shader.vert:3:"},
             {"stages that do not link", "out.mp4", "shader.frag", "no main",
              "the show's stages do not link; nothing written"},
             {"a folder without both stages", "--png", "shader.vert", "missing",
              "capture: shaders: no shader.vert and shader.frag in that folder"}});
}

void CaptureShowFolderTest::brokenStageStopsBeforeAnyOutput()
{
    QFETCH(QString, output);
    QFETCH(QString, brokenStage);
    QFETCH(QString, mistake);
    QFETCH(QString, expected);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString shaders = work.filePath(QStringLiteral("shaders"));
    QByteArray stages[2] = {MakerShow::showStage(QStringLiteral("shader.vert")),
                            MakerShow::showStage(QStringLiteral("shader.frag"))};
    QByteArray &broken = stages[brokenStage == QLatin1String("shader.frag") ? 1 : 0];
    if (mistake.startsWith(QLatin1String("line ")))
        broken = MakerShow::withMistakeAtLine(broken, mistake.mid(5).toInt());
    else if (mistake == QLatin1String("no main"))
        broken.replace("void main()", "void notMain()");
    QVERIFY(MakerShow::writeStages(shaders, stages[0], stages[1]));
    if (mistake == QLatin1String("missing"))
        QVERIFY(QFile::remove(QDir(shaders).filePath(brokenStage)));

    const QStringList arguments = frameArguments + (output == QLatin1String("--png") ? QStringList{"--png", "frames"}
                                                                                      : QStringList{output});
    // --shaders given, so that a missing stage is the maker's mistake.
    const Run captured = run(arguments + QStringList{"--shaders", "shaders"}, work.path());
    QCOMPARE(captured.exitCode, 1);
    QVERIFY2(captured.errors.contains(expected), qPrintable(captured.errors));
    // The compiler's messages, not Qt's report with the whole source.
    QVERIFY2(!captured.errors.contains(QLatin1String("Problematic")), qPrintable(captured.errors));
    QVERIFY2(captured.errors.count(QLatin1Char('\n')) < 10, qPrintable(captured.errors));
    // Nothing written beside the maker's stages, hidden or not.
    QCOMPARE(contents(work.path()), QStringList{"shaders"});
}

QTEST_GUILESS_MAIN(CaptureShowFolderTest)
#include "tst_captureshowfolder.moc"
