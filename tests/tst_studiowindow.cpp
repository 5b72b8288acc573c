// The studio's window: a held show time costs no scene drawing, the render
// scale sets the size drawn and the scene's iResolution, F12 saves the frame
// at that size under a new number each time, H and F11 do what they say.

#include "datarows.h"
#include "makershow.h"
#include "studioprobe.h"

#include <QScreen>
#include <QtTest>

#include <optional>

namespace {

const QColor teal(0, 128, 128);
const char *const tealStage = "0.0, 0.5, 0.5, 1.0";

} // namespace

class StudioWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void heldShowTimeDrawsTheSceneNoMore();
    void heldShowTimeDrawsAgainAfterAResizeOrABuild();
    void renderScaleSetsTheDrawnSizeAndIResolution_data();
    void renderScaleSetsTheDrawnSizeAndIResolution();
    void f12SavesTheFrameAtTheDrawnSizeUnderANewNumber();
    void keysHoldSeekAndLoopTheShowTimeOnTheWindowsClock();
    void makersStageIsFedEveryUniformTheFontTheSameWayUp();
    void hTurnsTheHeadsUpLineOffAndOn();
    void f11TogglesFullScreen();

private:
    std::unique_ptr<StudioWindow> startStudio(double scale = 1.0, const QSize &size = QSize(320, 180));

    std::optional<StudioFolder> m_folder;
};

void StudioWindowTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"), StudioProbe::plainStage(tealStage)));
}

void StudioWindowTest::cleanup()
{
    m_folder.reset();
}

std::unique_ptr<StudioWindow> StudioWindowTest::startStudio(double scale, const QSize &size)
{
    StudioOptions options;
    options.size = size;
    options.scale = scale;
    return StudioProbe::started(std::make_unique<StudioWindow>(options), true);
}

void StudioWindowTest::heldShowTimeDrawsTheSceneNoMore()
{
    std::unique_ptr<StudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.waitForFrames(3));

    QVERIFY(probe.press(Qt::Key_Space));
    // A frame asked for before the press may still be on its way: the one
    // asked for here comes after it (or is the same).
    QSignalSpy landed(window.get(), &QOpenGLWindow::frameSwapped);
    window->update();
    QVERIFY(landed.wait(10000));
    const int draws = probe.sceneDraws();
    const double held = probe.transport().timeline().at(probe.now());

    // A frame while the time stands still (another window on the display
    // may make this one paint) neither draws the scene nor follows another:
    // it asks for none after it...
    const int followed = probe.framesFollowed();
    window->update();
    QVERIFY(landed.wait(10000));
    QCOMPARE(probe.framesFollowed(), followed);
    QCOMPARE(probe.sceneDraws(), draws);
    // ...and frames painted all the same (keys, exposes) only show the scene drawn last.
    QVERIFY(probe.press(Qt::Key_H));
    QVERIFY(probe.press(Qt::Key_H));
    QSignalSpy presented(window.get(), &QOpenGLWindow::frameSwapped);
    window->update();
    QVERIFY(presented.wait(10000));
    QCOMPARE(probe.sceneDraws(), draws);
    QCOMPARE(StudioProbe::centre(probe.presented()), teal);
    QCOMPARE(probe.transport().timeline().at(probe.now()), held);

    // Going on draws again, frame after frame.
    QTest::keyClick(window.get(), Qt::Key_Space);
    QVERIFY(probe.waitForFrames(3));
    QVERIFY(probe.sceneDraws() >= draws + 3);
}

void StudioWindowTest::heldShowTimeDrawsAgainAfterAResizeOrABuild()
{
    std::unique_ptr<StudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.press(Qt::Key_Space));
    int draws = probe.sceneDraws();

    window->resize(240, 160);
    QVERIFY(QTest::qWaitFor([&] { return probe.drawnSize() == QSize(240, 160) * window->devicePixelRatio(); }, 10000));
    QCOMPARE(probe.sceneDraws(), draws + 1);
    draws = probe.sceneDraws();

    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"), StudioProbe::plainStage("1.0, 1.0, 0.0, 1.0")));
    QVERIFY(QTest::qWaitFor([&] { return StudioProbe::centre(probe.scene()) == QColor(255, 255, 0); }, 30000));
    QCOMPARE(probe.sceneDraws(), draws + 1);
    QVERIFY(probe.transport().isHeld());
}

void StudioWindowTest::renderScaleSetsTheDrawnSizeAndIResolution_data()
{
    // keys: '+' and '-'.
    addRows<double, QByteArray, double>({"startScale", "keys", "scale"},
            {{"full size", 1.0, QByteArray(), 1.0}, {"--scale 0.5", 0.5, QByteArray(), 0.5}, {"a step down", 1.0, "-", 0.875},
             {"down to the least and no further", 0.5, "-----", 0.25},
             {"up to full size and no further", 0.5, "+++++", 1.0}, {"from between steps, to the next", 0.3, "+", 0.375}});
}

void StudioWindowTest::renderScaleSetsTheDrawnSizeAndIResolution()
{
    QFETCH(double, startScale);
    QFETCH(QByteArray, keys);
    QFETCH(double, scale);

    std::unique_ptr<StudioWindow> window = startStudio(startScale);
    QVERIFY(window);
    StudioProbe probe(*window);
    for (const char key : keys)
        QTest::keyClick(window.get(), key == '+' ? Qt::Key_Plus : Qt::Key_Minus);
    QCOMPARE(probe.scale(), scale);

    const QSize framebuffer = window->size() * window->devicePixelRatio();
    const QSize drawn(qRound(framebuffer.width() * scale), qRound(framebuffer.height() * scale));
    QVERIFY(QTest::qWaitFor([&] { return probe.drawnSize() == drawn; }, 10000));
    QVERIFY(probe.waitForFrames(2));
    QCOMPARE(probe.uniform("iResolution", 2), (QVector<float>{float(drawn.width()), float(drawn.height())}));
    // Stretched over the whole window all the same.
    const QImage shown = probe.presented();
    QCOMPARE(shown.size(), framebuffer);
    QCOMPARE(shown.pixelColor(shown.width() - 1, shown.height() - 1), teal);
}

void StudioWindowTest::f12SavesTheFrameAtTheDrawnSizeUnderANewNumber()
{
    // Older ones stay as they are; the new ones come after the highest.
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("studio-0002.png"), "two"));
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("studio-0007.png"), "seven"));
    std::unique_ptr<StudioWindow> window = startStudio(0.5);
    QVERIFY(window);
    StudioProbe probe(*window);

    QTest::keyClick(window.get(), Qt::Key_F12);
    QTest::keyClick(window.get(), Qt::Key_F12);

    const QStringList files = QDir().entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(files, (QStringList{QStringLiteral("studio-0002.png"), QStringLiteral("studio-0007.png"),
                                 QStringLiteral("studio-0008.png"), QStringLiteral("studio-0009.png")}));
    QFile seven(QStringLiteral("studio-0007.png"));
    QVERIFY(seven.open(QIODevice::ReadOnly));
    QCOMPARE(seven.readAll(), QByteArray("seven"));
    for (const QString &name : {QStringLiteral("studio-0008.png"), QStringLiteral("studio-0009.png")}) {
        const QImage image(name);
        QCOMPARE(image.size(), probe.drawnSize());
        QCOMPARE(image.size(), window->size() * window->devicePixelRatio() / 2);
        QVERIFY(!image.hasAlphaChannel());
        QCOMPARE(StudioProbe::centre(image), teal);
    }
}

// On a clock the test holds, 1250 ms of which are a second of show time.
void StudioWindowTest::keysHoldSeekAndLoopTheShowTimeOnTheWindowsClock()
{
    StudioOptions options;
    options.size = QSize(320, 180);
    const std::unique_ptr<ClockedStudioWindow> window
            = StudioProbe::started(std::make_unique<ClockedStudioWindow>(options), false);
    QVERIFY(window);
    StudioProbe probe(*window);
    const auto showTime = [&] { return probe.transport().timeline().at(probe.now()); };
    // The show time starts at 0 with the first build, at the clock's 0.
    QCOMPARE(probe.now(), qint64(0));
    window->advance(2500);
    QCOMPARE(showTime(), 2.0);

    // Held, the show time stands however the clock runs; marks at 3 and 4.
    QVERIFY(probe.press(Qt::Key_Space));
    window->advance(10000);
    QCOMPARE(showTime(), 2.0);
    QVERIFY(probe.press(Qt::Key_Right));
    QVERIFY(probe.press(Qt::Key_BracketLeft));
    QVERIFY(probe.press(Qt::Key_Right));
    QVERIFY(probe.press(Qt::Key_BracketRight));
    QCOMPARE(showTime(), 4.0);
    QVERIFY(probe.press(Qt::Key_Left));
    QVERIFY(probe.press(Qt::Key_L));
    QVERIFY(probe.transport().timeline().loop());

    // Running, it comes round to the start mark: 0.6 s past 3 is 3.6, 1.1 s
    // past it is 0.1 past the end mark, 3.1, and five seconds later still 3.1.
    QVERIFY(probe.press(Qt::Key_Space));
    window->advance(750);
    QCOMPARE(showTime(), 3.6);
    window->advance(625);
    QCOMPARE(showTime(), 3.1);
    window->advance(6250);
    QCOMPARE(showTime(), 3.1);

    // L again: on past the end mark.
    QVERIFY(probe.press(Qt::Key_L));
    QVERIFY(!probe.transport().timeline().loop());
    window->advance(1250);
    QCOMPARE(showTime(), 4.1);
}

// The stage that reads every uniform, and its font of two rows, as the
// capture's test and the web page's draw them (testsupport/): worked out by
// hand, with no music (so no pulse, red 0), the font's top row (green 0)
// at the bottom of the picture and its bottom row (255) above, and blue a
// quarter of the show time, from 0 every 4 s: 64 at show time 1 (1250 ms).
void StudioWindowTest::makersStageIsFedEveryUniformTheFontTheSameWayUp()
{
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"), MakerShow::everyUniformStage()));
    QVERIFY(MakerShow::twoRowFont().save(QStringLiteral("text.png")));
    StudioOptions options;
    options.size = QSize(160, 90);
    const std::unique_ptr<ClockedStudioWindow> window
            = StudioProbe::started(std::make_unique<ClockedStudioWindow>(options), true);
    QVERIFY(window);
    StudioProbe probe(*window);
    window->advance(1250);
    QVERIFY(probe.waitForFrames(3));
    const QImage scene = window->sceneImage();
    QVERIFY(!scene.isNull());
    for (const auto &[y, green] : {std::pair{scene.height() / 4, 255}, std::pair{scene.height() * 3 / 4, 0}}) {
        const QColor pixel = scene.pixelColor(scene.width() / 2, y);
        QCOMPARE(pixel.red(), 0);
        QCOMPARE(pixel.green(), green);
        QVERIFY2(qAbs(pixel.blue() - 64) <= 1, qPrintable(QString::number(pixel.blue())));
    }
}

void StudioWindowTest::hTurnsTheHeadsUpLineOffAndOn()
{
    std::unique_ptr<StudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.press(Qt::Key_Space)); // a still picture
    // The line's dark box at the top left, over the teal.
    const QPoint inLine(10, 10);
    QVERIFY(probe.headsUpOn());
    QVERIFY(probe.presented().pixelColor(inLine * window->devicePixelRatio()).green() < 64);

    QVERIFY(probe.press(Qt::Key_H));
    QVERIFY(!probe.headsUpOn());
    QCOMPARE(probe.presented().pixelColor(inLine * window->devicePixelRatio()), teal);

    QVERIFY(probe.press(Qt::Key_H));
    QVERIFY(probe.presented().pixelColor(inLine * window->devicePixelRatio()).green() < 64);
}

void StudioWindowTest::f11TogglesFullScreen()
{
    // Smaller than the screen, even at twice the pixels.
    const QSize size(200, 120);
    std::unique_ptr<StudioWindow> window = startStudio(1.0, size);
    QVERIFY(window);
    const QSize screen = window->screen()->size();
    QVERIFY(screen.width() > size.width() && screen.height() > size.height());

    QTest::keyClick(window.get(), Qt::Key_F11);
    QVERIFY(QTest::qWaitFor([&] { return window->size() == screen; }, 10000));
    QVERIFY(window->windowStates() & Qt::WindowFullScreen);

    QTest::keyClick(window.get(), Qt::Key_F11);
    QVERIFY(QTest::qWaitFor([&] { return window->size() == size; }, 10000));
    QVERIFY(!(window->windowStates() & Qt::WindowFullScreen));
}

QTEST_MAIN(StudioWindowTest)
#include "tst_studiowindow.moc"
