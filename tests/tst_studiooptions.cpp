// The studio's command line: what it accepts, the one line and exit code 2
// for what it does not, --help, and the one line and exit code 1 for files
// given on it that cannot be used, or without a display to show its window.

#include "datarows.h"
#include "processrun.h"
#include "studiooptions.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class StudioOptionsTest : public QObject
{
    Q_OBJECT

private slots:
    void goodOptionsAreRead_data();
    void goodOptionsAreRead();
    void theAudioOffsetIsWholeMillisecondsEitherWay_data();
    void theAudioOffsetIsWholeMillisecondsEitherWay();
    void badOptionsAreRefusedInOneLine_data();
    void badOptionsAreRefusedInOneLine();
    void helpListsTheOptionsAndTheKeys();
    void filesGivenThatCannotBeUsedStopItInOneLine_data();
    void filesGivenThatCannotBeUsedStopItInOneLine();
    void withoutAShadersFolderItDrawsTheCompiledInStagesAndSaysSo();
    void withoutADisplayItSaysSoInOneLine_data();
    void withoutADisplayItSaysSoInOneLine();
};

namespace {

ProcessRun::Result runStudio(const QStringList &arguments, const QString &folder,
                             const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    return ProcessRun::run(QStringLiteral(STUDIO_EXECUTABLE), arguments, {folder, environment, 60000});
}

} // namespace

void StudioOptionsTest::goodOptionsAreRead_data()
{
    addRows<QStringList, QString, QString, QSize, double, bool>(
            {"arguments", "shaders", "music", "size", "scale", "fullScreen"},
            {{"defaults", QStringList{}, QString(), "music.bmm", QSize(1280, 720), 1.0, false},
             {"everything", QStringList{"--shaders", "work/stages", "--music=song.bmm", "--size", "640x360", "--scale",
                                        "0.25", "--full-screen"},
              "work/stages", "song.bmm", QSize(640, 360), 0.25, true},
             {"a scale between steps", QStringList{"--scale", "0.6"}, QString(), "music.bmm", QSize(1280, 720), 0.6, false}});
}

void StudioOptionsTest::goodOptionsAreRead()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, shaders);
    QFETCH(QString, music);
    QFETCH(QSize, size);
    QFETCH(double, scale);
    QFETCH(bool, fullScreen);

    StudioOptions options;
    QCOMPARE(options.parse(QStringList{QStringLiteral("studio")} + arguments), QString());
    QCOMPARE(options.shaders, shaders);
    QCOMPARE(options.music, music);
    QCOMPARE(options.musicGiven, arguments.join(QLatin1Char(' ')).contains(QStringLiteral("--music")));
    QCOMPARE(options.size, size);
    QCOMPARE(options.scale, scale);
    QCOMPARE(options.fullScreen, fullScreen);
    QCOMPARE(options.audioOffsetMs, 0);
}

void StudioOptionsTest::theAudioOffsetIsWholeMillisecondsEitherWay_data()
{
    addRows<QString, int>({"given", "ms"}, {{"later", QStringLiteral("40"), 40},
                                           {"earlier", QStringLiteral("-150"), -150},
                                           {"the most", QStringLiteral("2000"), 2000},
                                           {"the most, earlier", QStringLiteral("-2000"), -2000},
                                           {"none", QStringLiteral("0"), 0}});
}

void StudioOptionsTest::theAudioOffsetIsWholeMillisecondsEitherWay()
{
    QFETCH(QString, given);
    QFETCH(int, ms);
    StudioOptions options;
    QCOMPARE(options.parse({QStringLiteral("studio"), QStringLiteral("--audio-offset"), given}), QString());
    QCOMPARE(options.audioOffsetMs, ms);
}

void StudioOptionsTest::badOptionsAreRefusedInOneLine_data()
{
    addRows<QStringList, QString>({"arguments", "says"},
            {{"unknown option", QStringList{"--fps", "30"}, "fps"},
             {"a file as an argument", QStringList{"scene.frag"}, "scene.frag"},
             {"size without height", QStringList{"--size", "640"}, "--size"},
             {"size of zero", QStringList{"--size", "0x360"}, "--size"},
             {"size past the largest side", QStringList{"--size", "16385x360"}, "--size"},
             {"size with a sign", QStringList{"--size", "+640x360"}, "--size"},
             {"size too long to read", QStringList{"--size", "4294967936x360"}, "--size"},
             {"scale below a quarter", QStringList{"--scale", "0.2"}, "--scale"},
             {"scale above 1", QStringList{"--scale", "2"}, "--scale"},
             {"scale not a number", QStringList{"--scale", "half"}, "--scale"},
             {"scale of nan", QStringList{"--scale", "nan"}, "--scale"},
             {"shaders without a folder", QStringList{"--shaders="}, "--shaders"},
             {"music without a file", QStringList{"--music="}, "--music"},
             {"option without its value", QStringList{"--font"}, "font"},
             {"audio offset past two seconds", QStringList{"--audio-offset", "2001"}, "--audio-offset"},
             {"audio offset not whole", QStringList{"--audio-offset", "12.5"}, "--audio-offset"},
             {"audio offset not a number", QStringList{"--audio-offset=late"}, "--audio-offset"}});
}

void StudioOptionsTest::badOptionsAreRefusedInOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);

    StudioOptions options;
    const QString problem = options.parse(QStringList{QStringLiteral("studio")} + arguments);
    QVERIFY(problem.contains(says));

    // The program says it in one line and exits with 2, before it needs a display.
    QTemporaryDir dir;
    const ProcessRun::Result result = runStudio(arguments, dir.path());
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith("studio: ") && result.err.contains(says.toUtf8()), result.err.constData());
}

void StudioOptionsTest::helpListsTheOptionsAndTheKeys()
{
    QTemporaryDir dir;
    const ProcessRun::Result result = runStudio({QStringLiteral("--help")}, dir.path());
    QCOMPARE(result.exitCode, 0);
    for (const char *text : {"--shaders", "--music", "--font", "--size", "--scale", "--full-screen", "--audio-offset",
                             "F11", "F12", "Space", "Escape", "Ctrl+S", "Ctrl+Z", "wheel"})
        QVERIFY2(result.out.contains(text), text);
}

void StudioOptionsTest::filesGivenThatCannotBeUsedStopItInOneLine_data()
{
    addRows<QStringList, QString>({"arguments", "says"},
            {{"a shaders folder without the stages", QStringList{"--shaders", "empty"},
              "empty: no shader.vert and shader.frag"},
             {"a shaders folder that is not there", QStringList{"--shaders", "nowhere"},
              "nowhere: no shader.vert and shader.frag"},
             {"a music file that is not there", QStringList{"--music", "missing.bmm"}, "missing.bmm: no such file"},
             {"a music file that is a folder", QStringList{"--music", "empty"}, "empty: not a regular file"},
             {"a font that is no image", QStringList{"--font", "font.png"}, "font.png: not an image"}});
}

void StudioOptionsTest::filesGivenThatCannotBeUsedStopItInOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
    QFile font(dir.filePath(QStringLiteral("font.png")));
    QVERIFY(font.open(QIODevice::WriteOnly) && font.write("not a png") > 0);
    font.close();

    const ProcessRun::Result result = runStudio(arguments, dir.path());
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith(("studio: " + says).toUtf8()), result.err.constData());
}

void StudioOptionsTest::withoutAShadersFolderItDrawsTheCompiledInStagesAndSaysSo()
{
    QTemporaryDir dir;
    QProcess studio;
    studio.setWorkingDirectory(dir.path());
    studio.start(QStringLiteral(STUDIO_EXECUTABLE), {QStringLiteral("--size"), QStringLiteral("160x90")});
    // Until it has said what it draws and has drawn a while, then as Ctrl-C
    // or SIGTERM end it.
    QByteArray err;
    QVERIFY(QTest::qWaitFor([&] {
        err += studio.readAllStandardError();
        return err.contains("compiled-in");
    }, 30000));
    // Its window on the screen, drawing.
    QVERIFY(!ProcessRun::visibleWindowOf(studio.processId(), 30000).isEmpty());
    studio.terminate();
    QVERIFY(studio.waitForFinished(60000));
    err += studio.readAllStandardError();
    QCOMPARE(studio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(studio.exitCode(), 0);
    QVERIFY2(err.contains("studio: no shaders/shader.vert and shaders/shader.frag here: drawing the compiled-in "
                          "stages, with nothing to watch\n"), err.constData());
    QCOMPARE(err.count("compiled-in"), 1);
    QVERIFY2(err.contains("studio: music.bmm: no such file: no music\n"), err.constData());
}

void StudioOptionsTest::withoutADisplayItSaysSoInOneLine_data()
{
    addRows<QString, QString>({"display", "says"},
            {{"none set", QString(), "no display: neither DISPLAY nor WAYLAND_DISPLAY is set"},
             {"one that is not there", ":6543", "the display :6543 cannot be used"}});
}

void StudioOptionsTest::withoutADisplayItSaysSoInOneLine()
{
    QFETCH(QString, display);
    QFETCH(QString, says);

    QProcessEnvironment environment = ProcessRun::withoutDisplay();
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    QTemporaryDir dir;
    // Not an abort with Qt's own lines: exit status 1 and one line.
    const ProcessRun::Result result = runStudio({}, dir.path(), environment);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith(("studio: cannot open its window: " + says).toUtf8()), result.err.constData());
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_MAIN(StudioOptionsTest)
#include "tst_studiooptions.moc"
