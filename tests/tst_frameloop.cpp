// The frame loop: beats against the audio clock, the beat pulse, the frame-rate
// report and the show time fed to the scene.

#include "datarows.h"
#include "logcapture.h"
#include "windowprobe.h"

#include <QKeyEvent>
#include <QtTest>

class FrameLoopTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void beatsFireInListOrderOnceEach_data();
    void beatsFireInListOrderOnceEach();
    void beatPulseDecaysToZeroOnTheTenthFrame();
    void beatLinesCarryTheFrameLoopAsCallSite();
    void frameRateLineComesOnceASecondAndCountsTheReportingFrame();
    void showTimeFollowsTheTimerAndTheAdjustments_data();
    void showTimeFollowsTheTimerAndTheAdjustments();
    void showEndsOnTheFirstFramePast38200Milliseconds_data();
    void showEndsOnTheFirstFramePast38200Milliseconds();
    void noBeatMeansNoPulse();

private:
    // The fresh window every test starts from, shown and with its first
    // frame drawn, its clock at 0.
    bool freshWindow();

    std::unique_ptr<ClockedWindow> m_window;
};

bool FrameLoopTest::freshWindow()
{
    m_window = std::make_unique<ClockedWindow>();
    return WindowProbe::showAndWaitForFirstFrame(*m_window);
}

void FrameLoopTest::initTestCase()
{
    // These tests drive the audio clock themselves: no device may advance it.
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    QCOMPARE(probe.elapsed().load(), 0.0f);
}

void FrameLoopTest::beatsFireInListOrderOnceEach_data()
{
    addRows<QList<int>, QList<float>, QStringList, float>({"beats", "clockPerFrame", "expectedLines", "expectedLast"},
            {{"both beats the clock passed fire in one frame, in list order", QList<int>{100, 200}, QList<float>{250},
              QStringList{"100 250", "200 250"}, 200.0f},
             {"a beat equal to the clock fires", QList<int>{100}, QList<float>{99, 100, 110}, QStringList{"100 100"},
              100.0f},
             {"a repeated value fires once", QList<int>{50, 50, 100}, QList<float>{50, 60, 100},
              QStringList{"50 50", "100 100"}, 100.0f},
             {"negative never, zero on the first frame, 20 after two callbacks", QList<int>{-5, 0, 20},
              QList<float>{0, 10, 20}, QStringList{"0 0", "20 20"}, 20.0f},
             {"minus one and below never fire", QList<int>{-1, -2, -1000}, QList<float>{0, 5000}, QStringList{}, -1.0f},
             {"a smaller value after a larger fires when a frame sees the clock between them", QList<int>{100, 50},
              QList<float>{60, 120}, QStringList{"50 60", "100 120"}, 100.0f},
             {"a smaller value after a larger never fires once the larger has", QList<int>{100, 50},
              QList<float>{120, 130}, QStringList{"100 120"}, 100.0f},
             {"an empty list fires nothing", QList<int>{}, QList<float>{0, 1000}, QStringList{}, -1.0f}});
}

void FrameLoopTest::beatsFireInListOrderOnceEach()
{
    QFETCH(QList<int>, beats);
    QFETCH(QList<float>, clockPerFrame);
    QFETCH(QStringList, expectedLines);
    QFETCH(float, expectedLast);

    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.beats() = beats;

    LogCapture log;
    for (const float clock : clockPerFrame) {
        probe.elapsed() = clock;
        probe.frame();
    }

    QCOMPARE(log.debugLines().filter(QRegularExpression("^-?\\d+ ")), expectedLines);
    QCOMPARE(probe.last(), expectedLast);
    QCOMPARE(probe.beats(), beats); // the list itself is never changed
}

void FrameLoopTest::beatPulseDecaysToZeroOnTheTenthFrame()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.beats() = {10};
    probe.elapsed() = 10;

    QList<float> sent;
    for (int frame = 0; frame < 12; ++frame) {
        probe.frame();
        sent << qMax(0.0f, probe.beat());
    }

    for (int frame = 0; frame < 9; ++frame)
        QVERIFY2(qAbs(sent[frame] - (0.9f - 0.1f * frame)) < 1e-5f, qPrintable(QString::number(frame)));
    QCOMPARE(sent[9], 0.0f);
    QCOMPARE(sent[10], 0.0f);
    QCOMPARE(sent[11], 0.0f);
    QVERIFY(probe.beat() < -0.1f); // the pulse itself keeps falling
}

void FrameLoopTest::noBeatMeansNoPulse()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.beats() = {1000};
    for (int frame = 0; frame < 5; ++frame) {
        probe.frame();
        QCOMPARE(qMax(0.0f, probe.beat()), 0.0f);
    }
}

void FrameLoopTest::beatLinesCarryTheFrameLoopAsCallSite()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.beats() = {2450};
    probe.elapsed() = 2450;

    LogCapture log;
    probe.frame();

    QCOMPARE(log.lines().size(), 1);
    const LogCapture::Line &line = log.lines().first();
    QCOMPARE(line.type, QtDebugMsg);
    QCOMPARE(line.text, QStringLiteral("2450 2450"));
    QCOMPARE(line.function, QStringLiteral("virtual void Window::paintGL()"));
    QCOMPARE(line.category, QStringLiteral("default"));
    QVERIFY(line.file.endsWith(QLatin1String("window.cpp")));
}

void FrameLoopTest::frameRateLineComesOnceASecondAndCountsTheReportingFrame()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.fps() = 0.0f; // frames the event loop ran while the window came up

    // Return at 250 ms restarts the show timer, not the frame-rate timer: the
    // report's seconds are the show timer's.
    m_window->advance(250);
    probe.frame();
    QKeyEvent returnKey(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    probe.keyPress(&returnKey);

    LogCapture log;
    const auto reportAt = [&](qint64 ms) {
        m_window->advance(ms - m_window->now());
        log.clear();
        probe.frame();
        return log.debugLines();
    };
    QCOMPARE(reportAt(500), QStringList());
    QCOMPARE(reportAt(999), QStringList());
    // The report's frame counts itself: the frames at 250, 500, 999 and 1000.
    QCOMPARE(reportAt(1000), (QStringList{QStringLiteral("4"), QStringLiteral("0.75")}));
    QCOMPARE(probe.fps(), 0.0f); // the count starts again from 0
    QCOMPARE(probe.fpsTimerMs(), qint64(0));

    QCOMPARE(reportAt(1999), QStringList());
    QCOMPARE(reportAt(2016), (QStringList{QStringLiteral("2"), QStringLiteral("1.766")}));
    // A frame late by more than a second reports once, and the next second
    // counts from it.
    QCOMPARE(reportAt(5000), (QStringList{QStringLiteral("1"), QStringLiteral("4.75")}));
    QCOMPARE(reportAt(5999), QStringList());
    QCOMPARE(reportAt(6000), (QStringList{QStringLiteral("2"), QStringLiteral("5.75")}));
}

void FrameLoopTest::showTimeFollowsTheTimerAndTheAdjustments_data()
{
    // 1250 ms of timer is 1.0 s of show time (it runs at 0.8 of real
    // time); the seeks add, the hold takes away.
    addRows<qint64, float, float, float>({"timerMs", "timeAdjustment", "pauseAdjustment", "showTime"},
            {{"at the start", qint64(0), 0.0f, 0.0f, 0.0f},
             {"one millisecond: 1/1250 s", qint64(1), 0.0f, 0.0f, 0.0008f},
             {"one show second: 1250 ms", qint64(1250), 0.0f, 0.0f, 1.0f},
             {"ten seconds on: 9.876 + 10", qint64(12345), 10.0f, 0.0f, 19.876f},
             {"before the start: 0.56 - 3", qint64(700), -3.0f, 0.0f, -2.44f},
             {"after a hold: 16 + 2 - 1.5", qint64(20000), 2.0f, 1.5f, 16.5f},
             {"the show's last frame: 38.2 s of timer", qint64(38200), 0.0f, 0.0f, 30.56f}});
}

void FrameLoopTest::showTimeFollowsTheTimerAndTheAdjustments()
{
    QFETCH(qint64, timerMs);
    QFETCH(float, timeAdjustment);
    QFETCH(float, pauseAdjustment);
    QFETCH(float, showTime);

    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.timeAdjustment() = timeAdjustment;
    probe.pauseAdjustment() = pauseAdjustment;
    m_window->advance(timerMs);
    probe.frame();
    QCOMPARE(probe.showTime(), showTime); // to float rounding
}

void FrameLoopTest::showEndsOnTheFirstFramePast38200Milliseconds_data()
{
    addRows<qint64, bool>({"timerMs", "ends"},
            {{"at the start", qint64(0), false},
             {"at 38200 ms the show still runs", qint64(38200), false},
             {"at 38201 ms it ends", qint64(38201), true},
             {"a frame long after", qint64(90000), true}});
}

void FrameLoopTest::showEndsOnTheFirstFramePast38200Milliseconds()
{
    QFETCH(qint64, timerMs);
    QFETCH(bool, ends);

    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.timeAdjustment() = -20.0f; // seeking does not move the end
    m_window->advance(timerMs);
    QCOMPARE(probe.frameEndsTheEventLoop(), ends);
}

QTEST_MAIN(FrameLoopTest)
#include "tst_frameloop.moc"
