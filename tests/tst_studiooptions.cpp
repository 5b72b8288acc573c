// The studio's command line: what it accepts, the one line and exit code 2
// for what it does not, --help, and the one line and exit code 1 for files
// given on it that cannot be used, or without a display to show its window.

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
    void badOptionsAreRefusedInOneLine_data();
    void badOptionsAreRefusedInOneLine();
    void helpListsTheOptionsAndTheKeys();
    void filesGivenThatCannotBeUsedStopItInOneLine_data();
    void filesGivenThatCannotBeUsedStopItInOneLine();
    void withoutAShadersFolderItDrawsTheCompiledInStagesAndSaysSo();
    void withoutADisplayItSaysSoInOneLine_data();
    void withoutADisplayItSaysSoInOneLine();

private:
    struct Run
    {
        int code = -1;
        QByteArray out;
        QByteArray err;
    };
    static Run run(const QStringList &arguments, const QString &folder, bool stopAfterStart = false,
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

StudioOptionsTest::Run StudioOptionsTest::run(const QStringList &arguments, const QString &folder, bool stopAfterStart,
                                              const QProcessEnvironment &environment)
{
    QProcess studio;
    studio.setWorkingDirectory(folder);
    studio.setProcessEnvironment(environment);
    studio.start(QStringLiteral(STUDIO_EXECUTABLE), arguments);
    Run result;
    if (!studio.waitForStarted())
        return result;
    if (stopAfterStart) {
        // Until it has said what it draws and has drawn a while, then as
        // Ctrl-C or SIGTERM end it.
        const bool started = QTest::qWaitFor([&] {
            result.err += studio.readAllStandardError();
            return result.err.contains("compiled-in");
        }, 30000);
        QTest::qWait(500);
        started ? studio.terminate() : studio.kill();
    }
    if (!studio.waitForFinished(60000) || studio.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = studio.exitCode();
    result.out = studio.readAllStandardOutput();
    result.err += studio.readAllStandardError();
    return result;
}

void StudioOptionsTest::goodOptionsAreRead_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("shaders");
    QTest::addColumn<QString>("music");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("fullScreen");

    QTest::newRow("defaults") << QStringList{} << QString() << QStringLiteral("music.bmm") << QSize(1280, 720) << 1.0 << false;
    QTest::newRow("everything")
        << QStringList{QStringLiteral("--shaders"), QStringLiteral("work/stages"), QStringLiteral("--music=song.bmm"),
                       QStringLiteral("--size"), QStringLiteral("640x360"), QStringLiteral("--scale"),
                       QStringLiteral("0.25"), QStringLiteral("--full-screen")}
        << QStringLiteral("work/stages") << QStringLiteral("song.bmm") << QSize(640, 360) << 0.25 << true;
    QTest::newRow("a scale between steps") << QStringList{QStringLiteral("--scale"), QStringLiteral("0.6")}
                                           << QString() << QStringLiteral("music.bmm") << QSize(1280, 720) << 0.6 << false;
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
}

void StudioOptionsTest::badOptionsAreRefusedInOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");

    QTest::newRow("unknown option") << QStringList{QStringLiteral("--fps"), QStringLiteral("30")} << QStringLiteral("fps");
    QTest::newRow("a file as an argument") << QStringList{QStringLiteral("scene.frag")} << QStringLiteral("scene.frag");
    QTest::newRow("size without height") << QStringList{QStringLiteral("--size"), QStringLiteral("640")} << QStringLiteral("--size");
    QTest::newRow("size of zero") << QStringList{QStringLiteral("--size"), QStringLiteral("0x360")} << QStringLiteral("--size");
    QTest::newRow("size past the largest side") << QStringList{QStringLiteral("--size"), QStringLiteral("16385x360")} << QStringLiteral("--size");
    QTest::newRow("size with a sign") << QStringList{QStringLiteral("--size"), QStringLiteral("+640x360")} << QStringLiteral("--size");
    QTest::newRow("size too long to read") << QStringList{QStringLiteral("--size"), QStringLiteral("4294967936x360")} << QStringLiteral("--size");
    QTest::newRow("scale below a quarter") << QStringList{QStringLiteral("--scale"), QStringLiteral("0.2")} << QStringLiteral("--scale");
    QTest::newRow("scale above 1") << QStringList{QStringLiteral("--scale"), QStringLiteral("2")} << QStringLiteral("--scale");
    QTest::newRow("scale not a number") << QStringList{QStringLiteral("--scale"), QStringLiteral("half")} << QStringLiteral("--scale");
    QTest::newRow("scale of nan") << QStringList{QStringLiteral("--scale"), QStringLiteral("nan")} << QStringLiteral("--scale");
    QTest::newRow("shaders without a folder") << QStringList{QStringLiteral("--shaders=")} << QStringLiteral("--shaders");
    QTest::newRow("music without a file") << QStringList{QStringLiteral("--music=")} << QStringLiteral("--music");
    QTest::newRow("option without its value") << QStringList{QStringLiteral("--font")} << QStringLiteral("font");
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
    const Run result = run(arguments, dir.path());
    QCOMPARE(result.code, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith("studio: ") && result.err.contains(says.toUtf8()), result.err.constData());
}

void StudioOptionsTest::helpListsTheOptionsAndTheKeys()
{
    QTemporaryDir dir;
    const Run result = run({QStringLiteral("--help")}, dir.path());
    QCOMPARE(result.code, 0);
    for (const char *text : {"--shaders", "--music", "--font", "--size", "--scale", "--full-screen", "F11", "F12",
                             "Space", "Escape"})
        QVERIFY2(result.out.contains(text), text);
}

void StudioOptionsTest::filesGivenThatCannotBeUsedStopItInOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("a shaders folder without the stages") << QStringList{QStringLiteral("--shaders"), QStringLiteral("empty")}
                                                         << QStringLiteral("empty: no shader.vert and shader.frag");
    QTest::newRow("a shaders folder that is not there") << QStringList{QStringLiteral("--shaders"), QStringLiteral("nowhere")}
                                                        << QStringLiteral("nowhere: no shader.vert and shader.frag");
    QTest::newRow("a music file that is not there") << QStringList{QStringLiteral("--music"), QStringLiteral("missing.bmm")}
                                                    << QStringLiteral("missing.bmm: no such file");
    QTest::newRow("a music file that is a folder") << QStringList{QStringLiteral("--music"), QStringLiteral("empty")}
                                                   << QStringLiteral("empty: not a regular file");
    QTest::newRow("a font that is no image") << QStringList{QStringLiteral("--font"), QStringLiteral("font.png")}
                                             << QStringLiteral("font.png: not an image");
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

    const Run result = run(arguments, dir.path());
    QCOMPARE(result.code, 1);
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith(("studio: " + says).toUtf8()), result.err.constData());
}

void StudioOptionsTest::withoutAShadersFolderItDrawsTheCompiledInStagesAndSaysSo()
{
    QTemporaryDir dir;
    const Run result = run({QStringLiteral("--size"), QStringLiteral("160x90")}, dir.path(), true);
    QCOMPARE(result.code, 0);
    QVERIFY2(result.err.contains("studio: no shaders/shader.vert and shaders/shader.frag here: drawing the compiled-in "
                                 "stages, with nothing to watch\n"), result.err.constData());
    QCOMPARE(result.err.count("compiled-in"), 1);
    QVERIFY2(result.err.contains("studio: music.bmm: no such file: no music\n"), result.err.constData());
}

void StudioOptionsTest::withoutADisplayItSaysSoInOneLine_data()
{
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("says");
    QTest::newRow("none set") << QString() << QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    QTest::newRow("one that is not there") << QStringLiteral(":6543")
                                           << QStringLiteral("the display :6543 cannot be used");
}

void StudioOptionsTest::withoutADisplayItSaysSoInOneLine()
{
    QFETCH(QString, display);
    QFETCH(QString, says);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                                QStringLiteral("QT_QPA_PLATFORM")})
        environment.remove(name);
    if (!display.isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), display);
    QTemporaryDir dir;
    // Not an abort with Qt's own lines: exit status 1 and one line.
    const Run result = run({}, dir.path(), false, environment);
    QCOMPARE(result.code, 1);
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.startsWith(("studio: cannot open its window: " + says).toUtf8()), result.err.constData());
    QVERIFY(QDir(dir.path()).isEmpty());
}

QTEST_MAIN(StudioOptionsTest)
#include "tst_studiooptions.moc"
