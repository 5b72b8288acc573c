// The studio's window on a clock the test sets: the show time it draws, a
// hold and a seek follow that clock to the millisecond, so that the tests of
// what the window does at a moment can name the moment.

#include "studioprobe.h"

#include <QtTest>

#include <optional>

class StudioClockTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showTimeFollowsTheWindowsClockExactly();

private:
    std::optional<StudioFolder> m_folder;
};

void StudioClockTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"),
                                      StudioProbe::plainStage("0.0, 0.5, 0.5, 1.0")));
}

void StudioClockTest::cleanup()
{
    m_folder.reset();
}

void StudioClockTest::showTimeFollowsTheWindowsClockExactly()
{
    StudioOptions options;
    options.size = QSize(320, 180);
    ClockedStudioWindow window(options);
    StudioProbe probe(window);
    QVERIFY(probe.startAndWaitForFirstBuild());
    // The show time starts at 0 with the first build, at the clock's 0, and
    // runs at 0.8 s a second: 1250 ms of clock are a second of show time.
    QCOMPARE(probe.now(), qint64(0));
    window.advance(2500);
    QCOMPARE(probe.transport().timeline().at(probe.now()), 2.0);

    QVERIFY(probe.press(Qt::Key_Space));
    window.advance(10000);
    QCOMPARE(probe.transport().timeline().at(probe.now()), 2.0);
    QVERIFY(probe.press(Qt::Key_Right));
    QCOMPARE(probe.transport().timeline().at(probe.now()), 3.0);

    QVERIFY(probe.press(Qt::Key_Space));
    window.advance(625);
    QCOMPARE(probe.transport().timeline().at(probe.now()), 3.5);
}

QTEST_MAIN(StudioClockTest)
#include "tst_studioclock.moc"
