// A program too slow to work with does not stay in the studio: when a new
// program's first frame at the render scale takes longer than the limit, the
// last program is built again and draws from then on (the scene is not drawn
// meanwhile), and one line says how long the frame took and that a smaller
// render scale draws it faster; the scale turned down builds it again. The
// limit is set by the test rather than waited for with a slow stage.

#include "studioprobe.h"

#include <QtTest>

#include <optional>

namespace {

const QColor teal(0, 128, 128);
const QColor red(255, 0, 0);

} // namespace

class StudioSlowProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aSlowProgramKeepsTheLastAndATurnedDownScaleTriesAgain();

private:
    std::optional<StudioFolder> m_folder;
};

void StudioSlowProgramTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"),
                                      StudioProbe::plainStage("0.0, 0.5, 0.5, 1.0")));
}

void StudioSlowProgramTest::cleanup()
{
    m_folder.reset();
}

void StudioSlowProgramTest::aSlowProgramKeepsTheLastAndATurnedDownScaleTriesAgain()
{
    StudioOptions options;
    options.size = QSize(320, 180);
    StudioWindow window(options);
    StudioProbe probe(window);
    QVERIFY(probe.startAndWaitForFirstBuild());
    QCOMPARE(probe.programs(), 1);
    QCOMPARE(StudioProbe::centre(probe.scene()), teal);

    // Every frame is too slow now: a red stage saved draws one frame, and
    // the teal one comes back (a third program).
    probe.setSlowFrameMs(-1);
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"), StudioProbe::plainStage("1.0, 0.0, 0.0, 1.0")));
    QVERIFY(QTest::qWaitFor([&] { return probe.slowBuilds() == 1; }, 60000));
    QVERIFY(QTest::qWaitFor([&] { return probe.programs() == 3; }, 60000));
    QVERIFY(QTest::qWaitFor([&] { return StudioProbe::centre(probe.scene()) == teal; }, 30000));
    const QRegularExpression said(QStringLiteral("^shaders/shader\\.frag: the new program's first frame took "
                                                 "\\d+\\.\\d s at scale 1: kept the last one; a smaller render "
                                                 "scale \\(-\\) draws it faster$"));
    QVERIFY2(said.match(probe.note()).hasMatch(), qPrintable(probe.note()));

    // A smaller scale builds it again; still too slow, and teal again.
    QVERIFY(probe.press(Qt::Key_Minus));
    QVERIFY(QTest::qWaitFor([&] { return probe.slowBuilds() == 2; }, 60000));
    QVERIFY(probe.note().contains(QStringLiteral("at scale 0.875")));
    QVERIFY(QTest::qWaitFor([&] { return probe.programs() == 5; }, 60000));
    QVERIFY(QTest::qWaitFor([&] { return StudioProbe::centre(probe.scene()) == teal; }, 30000));

    // With the limit back, the next step down lets it stay.
    probe.setSlowFrameMs(ProgramSupervisor::slowFrameMs);
    QVERIFY(probe.press(Qt::Key_Minus));
    QVERIFY(QTest::qWaitFor([&] { return probe.programs() == 6; }, 60000));
    QVERIFY(QTest::qWaitFor([&] { return StudioProbe::centre(probe.scene()) == red; }, 30000));
    QVERIFY(probe.waitForFrames(2));
    QCOMPARE(probe.slowBuilds(), 2);
    QCOMPARE(StudioProbe::centre(probe.scene()), red);
    // A scale going up builds nothing again.
    QVERIFY(probe.press(Qt::Key_Plus));
    QVERIFY(probe.waitForFrames(2));
    QCOMPARE(probe.programs(), 6);
}

QTEST_MAIN(StudioSlowProgramTest)
#include "tst_studioslowprogram.moc"
