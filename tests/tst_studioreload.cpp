// Saving a stage, however the editor saves it, reaches the studio's screen;
// a save that changes nothing builds nothing, and a burst builds once; a
// stage that does not build keeps the last picture and puts the compiler's
// messages, by file and line, over it and on standard error until a good
// save; a first build that fails shows its messages on a plain background.

#include "datarows.h"
#include "stagemessages.h"
#include "studioprobe.h"

#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <optional>

enum class Save { InPlace, RenameOver, BackupThenNewFile };
Q_DECLARE_METATYPE(Save)

namespace {

const QColor red(255, 0, 0);
const QColor green(0, 255, 0);
const QColor blue(0, 0, 255);
const char *const redStage = "1.0, 0.0, 0.0, 1.0";
const char *const greenStage = "0.0, 1.0, 0.0, 1.0";
const char *const blueStage = "0.0, 0.0, 1.0, 1.0";

const QString vertexPath = QStringLiteral("shaders/shader.vert");
const QString fragmentPath = QStringLiteral("shaders/shader.frag");

// Saves as editors do: in place; a new file renamed over the old one; or
// the old one renamed away first, the stage missing until the studio has
// seen it gone (`watcher` says so).
bool save(Save how, const QString &path, const QByteArray &text, const StageWatcher *watcher = nullptr)
{
    switch (how) {
    case Save::InPlace:
        return StudioProbe::writeInPlace(path, text);
    case Save::RenameOver: {
        const QString temporary = path + QStringLiteral(".tmp~");
        return StudioProbe::writeInPlace(temporary, text)
                && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0;
    }
    case Save::BackupThenNewFile: {
        const QString backup = path + QLatin1Char('~');
        if (!watcher)
            return false;
        QSignalSpy missing(watcher, &StageWatcher::waitingFor);
        if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(backup).constData()) != 0
            || !QTest::qWaitFor([&] { return missing.count() > 0; }, 30000))
            return false;
        return StudioProbe::writeInPlace(path, text) && QFile::remove(backup);
    }
    }
    return false;
}

} // namespace

class StudioReloadTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyKindOfSaveReachesTheScreen_data();
    void everyKindOfSaveReachesTheScreen();
    void saveThatChangesNothingBuildsNothing();
    void burstOfSavesBuildsOnceOrTwice();
    void failedBuildKeepsThePictureAndShowsWhereItBroke_data();
    void failedBuildKeepsThePictureAndShowsWhereItBroke();
    void firstBuildThatFailsShowsItsMessagesOnAPlainBackground();
    void programReportsTheMessagesOnStandardErrorByFileAndLine();
    void compilerMessagesOfEveryDriverAreNamedByFileAndLine_data();
    void compilerMessagesOfEveryDriverAreNamedByFileAndLine();

private:
    std::unique_ptr<StudioWindow> startStudio(const QByteArray &fragment);
    static bool waitForScene(StudioProbe &probe, const QColor &colour);

    std::optional<StudioFolder> m_folder;
};

void StudioReloadTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
}

void StudioReloadTest::cleanup()
{
    m_folder.reset();
}

std::unique_ptr<StudioWindow> StudioReloadTest::startStudio(const QByteArray &fragment)
{
    if (!StudioProbe::writeInPlace(fragmentPath, fragment))
        return nullptr;
    StudioOptions options;
    options.size = QSize(320, 180);
    return StudioProbe::started(std::make_unique<StudioWindow>(options), true);
}

bool StudioReloadTest::waitForScene(StudioProbe &probe, const QColor &colour)
{
    // A rebuild and a frame, on a busy machine: generous.
    return QTest::qWaitFor([&] { return StudioProbe::centre(probe.scene()) == colour; }, 30000);
}

void StudioReloadTest::everyKindOfSaveReachesTheScreen_data()
{
    addRows<Save, QString>({"how", "path"},
            {{"in place", Save::InPlace, fragmentPath},
             {"a new file renamed over it", Save::RenameOver, fragmentPath},
             {"the old renamed away, then a new file", Save::BackupThenNewFile, fragmentPath},
             {"the vertex stage, renamed over", Save::RenameOver, vertexPath}});
}

void StudioReloadTest::everyKindOfSaveReachesTheScreen()
{
    QFETCH(Save, how);
    QFETCH(QString, path);
    std::unique_ptr<StudioWindow> window = startStudio(StudioProbe::plainStage(redStage));
    QVERIFY(window);
    StudioProbe probe(*window);
    QCOMPARE(StudioProbe::centre(probe.scene()), red);

    // Twice: the second save has to be seen as well, whatever the first did to the watch.
    if (path == vertexPath) {
        // A vertex stage that squeezes the quad to nothing leaves the clear colour.
        QVERIFY(save(how, path, StudioProbe::vertexStage().replace("vertex.x, vertex.y", "0.0, 0.0")));
        QVERIFY(QTest::qWaitFor([&] { return probe.programs() == 2 && probe.drawnProgram() == 2; }, 30000));
        QVERIFY(save(how, path, StudioProbe::vertexStage()));
        QVERIFY(QTest::qWaitFor([&] { return probe.programs() == 3 && probe.drawnProgram() == 3; }, 30000));
        QCOMPARE(StudioProbe::centre(probe.scene()), red);
    } else {
        QVERIFY(save(how, path, StudioProbe::plainStage(greenStage), probe.watcher()));
        QVERIFY(waitForScene(probe, green));
        QVERIFY(save(how, path, StudioProbe::plainStage(blueStage), probe.watcher()));
        QVERIFY(waitForScene(probe, blue));
        QCOMPARE(probe.programs(), 3);
    }
    QCOMPARE(probe.messages(), QStringList());
}

void StudioReloadTest::saveThatChangesNothingBuildsNothing()
{
    std::unique_ptr<StudioWindow> window = startStudio(StudioProbe::plainStage(redStage));
    QVERIFY(window);
    StudioProbe probe(*window);

    // The same text again, in place and renamed over: once the studio has
    // read the stages after them, it has handed nothing over to build.
    QSignalSpy handedOver(probe.watcher(), &StageWatcher::stagesChanged);
    QSignalSpy read(probe.watcher(), &StageWatcher::stagesRead);
    QVERIFY(save(Save::InPlace, fragmentPath, StudioProbe::plainStage(redStage)));
    QVERIFY(save(Save::RenameOver, vertexPath, StudioProbe::vertexStage()));
    QVERIFY(QTest::qWaitFor([&] { return read.count() > 0; }, 30000));
    QCOMPARE(handedOver.count(), 0);
    // Then a real change: built once. Every read after it finds the same text.
    QVERIFY(save(Save::InPlace, fragmentPath, StudioProbe::plainStage(greenStage)));
    QVERIFY(waitForScene(probe, green));
    QCOMPARE(handedOver.count(), 1);
    QCOMPARE(probe.builds(), 2);
}

void StudioReloadTest::burstOfSavesBuildsOnceOrTwice()
{
    std::unique_ptr<StudioWindow> window = startStudio(StudioProbe::plainStage(redStage));
    QVERIFY(window);
    StudioProbe probe(*window);
    QSignalSpy handedOver(probe.watcher(), &StageWatcher::stagesChanged);

    // Ten saves as fast as they go, each a different text, the last one blue.
    for (int i = 0; i < 10; ++i) {
        const QByteArray colour = i < 9 ? QByteArray::number(i / 10.0) + ", 1.0, 0.0, 1.0" : QByteArray(blueStage);
        QVERIFY(save(Save::InPlace, fragmentPath, StudioProbe::plainStage(colour.constData())));
    }
    QVERIFY(waitForScene(probe, blue));
    // The last text is drawn: every read from now on finds it, and hands
    // nothing over. The burst was handed over once, or twice if the machine
    // paused longer than the quiet time in the middle of it; never ten times.
    QVERIFY2(handedOver.count() <= 2, qPrintable(QString::number(handedOver.count())));
    QVERIFY2(probe.builds() <= 3, qPrintable(QString::number(probe.builds())));
    QCOMPARE(StudioProbe::centre(probe.scene()), blue);
}

void StudioReloadTest::failedBuildKeepsThePictureAndShowsWhereItBroke_data()
{
    addRows<QString, QByteArray, QString, QString>({"path", "broken", "where", "stage"},
            {{"fragment stage, line 4", fragmentPath, StudioProbe::brokenStage(),
              QStringLiteral("shaders/shader.frag:4:"), QStringLiteral("fragment")},
             {"vertex stage, line 4", vertexPath,
              QByteArray("#version 330 core\nin vec2 vertex;\nvoid main()\n{ gl_Position = vec4(undeclaredName); }\n"),
              QStringLiteral("shaders/shader.vert:4:"), QStringLiteral("vertex")},
             {"stages that do not link", fragmentPath,
              QByteArray("#version 330 core\nout vec4 result;\nvec4 declaredOnly();\nvoid main()\n{ result = declaredOnly(); }\n"),
              QStringLiteral("shaders/shader.vert + shaders/shader.frag: "), QStringLiteral("link")}});
}

void StudioReloadTest::failedBuildKeepsThePictureAndShowsWhereItBroke()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, broken);
    QFETCH(QString, where);
    QFETCH(QString, stage);

    std::unique_ptr<StudioWindow> window = startStudio(StudioProbe::plainStage(greenStage));
    QVERIFY(window);
    StudioProbe probe(*window);
    const QByteArray good = path == vertexPath ? StudioProbe::vertexStage() : StudioProbe::plainStage(greenStage);

    QVERIFY(save(Save::InPlace, path, broken));
    QVERIFY(QTest::qWaitFor([&] { return probe.stageInError() == stage; }, 30000));
    QVERIFY(!probe.messages().isEmpty());
    QVERIFY2(probe.messages().first().startsWith(where), qPrintable(probe.messages().join(QLatin1Char('\n'))));
    if (stage != QLatin1String("link"))
        QVERIFY2(probe.messages().join(QLatin1Char('\n')).contains(QStringLiteral("undeclaredName")),
                 qPrintable(probe.messages().join(QLatin1Char('\n'))));

    // The picture stays, and the messages lie over it in a dark box: dark
    // pixels and light letters inside, the picture as it was outside.
    QVERIFY(probe.waitForFrames(2));
    QCOMPARE(StudioProbe::centre(probe.scene()), green);
    const QImage shown = probe.presented();
    const QRect box = probe.messagesBox();
    QVERIFY(!box.isEmpty());
    int dark = 0;
    int light = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor pixel = shown.pixelColor(x, y);
            dark += pixel.green() < 100 && pixel.red() < 100;
            light += pixel.red() > 150;
        }
    }
    QVERIFY2(dark > box.width() * box.height() / 2 && light > 20,
             qPrintable(QStringLiteral("%1 dark, %2 light of %3").arg(dark).arg(light).arg(box.width() * box.height())));
    QCOMPARE(shown.pixelColor(shown.width() - 2, shown.height() - 2), green);

    // A good save clears them.
    QVERIFY(save(Save::InPlace, path, good == StudioProbe::vertexStage() ? good : StudioProbe::plainStage(blueStage)));
    QVERIFY(QTest::qWaitFor([&] { return probe.stageInError().isEmpty() && probe.programs() == 2; }, 30000));
    QCOMPARE(probe.messages(), QStringList());
    QVERIFY(probe.waitForFrames(2));
    QVERIFY(probe.messagesBox().isEmpty());
    const QColor now = path == vertexPath ? green : blue;
    QCOMPARE(StudioProbe::centre(probe.scene()), now);
    const QImage cleared = probe.presented();
    QCOMPARE(cleared.pixelColor(box.center()), now);
}

void StudioReloadTest::firstBuildThatFailsShowsItsMessagesOnAPlainBackground()
{
    std::unique_ptr<StudioWindow> window = startStudio(StudioProbe::brokenStage());
    QVERIFY(window);
    StudioProbe probe(*window);
    QCOMPARE(probe.programs(), 0);
    QCOMPARE(probe.stageInError(), QStringLiteral("fragment"));
    QVERIFY(!probe.messages().isEmpty() && probe.messages().first().startsWith(QStringLiteral("shaders/shader.frag:4:")));

    // A plain dark grey, not black, under the messages.
    QVERIFY(probe.waitForFrames(1));
    const QColor plain = StudioProbe::centre(probe.scene());
    QVERIFY(plain.red() == plain.green() && plain.green() == plain.blue() && plain.red() > 20 && plain.red() < 100);
    QVERIFY(!probe.messagesBox().isEmpty());

    // Escape closes it, and it goes without a fuss.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
    window.reset();
}

void StudioReloadTest::programReportsTheMessagesOnStandardErrorByFileAndLine()
{
    QVERIFY(StudioProbe::writeInPlace(fragmentPath, StudioProbe::brokenStage()));
    QProcess studio;
    studio.start(QStringLiteral(STUDIO_EXECUTABLE), {QStringLiteral("--size"), QStringLiteral("160x90")});
    QVERIFY(studio.waitForStarted());
    QByteArray err;
    QVERIFY(QTest::qWaitFor([&] {
        err += studio.readAllStandardError();
        return err.contains("shaders/shader.frag:4:");
    }, 60000));

    // SIGTERM ends it as Escape does.
    studio.terminate();
    QVERIFY(studio.waitForFinished(20000));
    QCOMPARE(studio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(studio.exitCode(), 0);
    err += studio.readAllStandardError();

    const QStringList lines = QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList messages = lines.filter(QRegularExpression(QStringLiteral("^shaders/shader\\.frag:4:\\d+: error: ")));
    QVERIFY2(!messages.isEmpty() && messages.first().contains(QStringLiteral("undeclaredName")), err.constData());
    // Only the messages, not Qt's copy of the whole stage.
    QVERIFY2(!err.contains("Problematic") && !err.contains("void main()"), err.constData());
}

void StudioReloadTest::compilerMessagesOfEveryDriverAreNamedByFileAndLine_data()
{
    addRows<QString, QStringList>({"log", "messages"},
            {{"Mesa", QStringLiteral("0:42(7): error: `foo' undeclared\n0:43(1): warning: unused\n"),
              QStringList{QStringLiteral("shaders/shader.frag:42:7: error: `foo' undeclared"), QStringLiteral("shaders/shader.frag:43:1: warning: unused")}},
             {"NVIDIA", QStringLiteral("0(42) : error C1008: undefined variable \"foo\""),
              QStringList{QStringLiteral("shaders/shader.frag:42: error C1008: undefined variable \"foo\"")}},
             {"others", QStringLiteral("ERROR: 0:42: 'foo' : undeclared identifier\nERROR: 1 compilation errors."),
              QStringList{QStringLiteral("shaders/shader.frag:42: error: 'foo' : undeclared identifier"), QStringLiteral("shaders/shader.frag: ERROR: 1 compilation errors.")}},
             {"a line of no known form, blank lines dropped", QStringLiteral("\n  linker ran out of registers  \n\n"),
              QStringList{QStringLiteral("shaders/shader.frag: linker ran out of registers")}}});
}

void StudioReloadTest::compilerMessagesOfEveryDriverAreNamedByFileAndLine()
{
    QFETCH(QString, log);
    QFETCH(QStringList, messages);
    QCOMPARE(stageMessages(log, fragmentPath), messages);
}

QTEST_MAIN(StudioReloadTest)
#include "tst_studioreload.moc"
