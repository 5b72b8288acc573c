// The show window's frame loop as a shell of the show host (whose rules
// tst_showrules proves): its audio clock, timers and members fed to the host,
// and the beats, the report and the end acted on from Window::paintGL.

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
    void beatLinesCarryTheFrameLoopAsCallSite();
    void frameRateLineComesOnceASecondAndCountsTheReportingFrame();
    void showTimeComesFromTheShowTimerAndTheAdjustments();
    void showEndsOnTheFirstFramePast38200Milliseconds_data();
    void showEndsOnTheFirstFramePast38200Milliseconds();

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

void FrameLoopTest::beatLinesCarryTheFrameLoopAsCallSite()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.beats() = {2450, 2460, 3000};
    probe.elapsed() = 2460;

    LogCapture log;
    probe.frame();

    // Both beats the audio clock has passed, each on a line of its own.
    QCOMPARE(log.lines().size(), 2);
    QCOMPARE(log.lines().at(0).text, QStringLiteral("2450 2460"));
    QCOMPARE(log.lines().at(1).text, QStringLiteral("2460 2460"));
    for (const LogCapture::Line &line : log.lines()) {
        QCOMPARE(line.type, QtDebugMsg);
        QCOMPARE(line.function, QStringLiteral("virtual void Window::paintGL()"));
        QCOMPARE(line.category, QStringLiteral("default"));
        QVERIFY(line.file.endsWith(QLatin1String("window.cpp")));
    }
    // The window's own members hold the host's state.
    QCOMPARE(probe.last(), 2460.0f);
    QVERIFY(qAbs(probe.beat() - 0.9f) < 1e-6f);
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
}

void FrameLoopTest::showTimeComesFromTheShowTimerAndTheAdjustments()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.timeAdjustment() = 2.0f;
    probe.pauseAdjustment() = 1.5f;
    m_window->advance(20000);
    probe.frame();
    QCOMPARE(probe.showTime(), 16.5f); // 20000 ms are 16 s of show time, + 2 - 1.5
}

void FrameLoopTest::showEndsOnTheFirstFramePast38200Milliseconds_data()
{
    addRows<qint64, bool>({"timerMs", "ends"},
            {{"at 38200 ms the show still runs", qint64(38200), false},
             {"at 38201 ms it ends", qint64(38201), true}});
}

void FrameLoopTest::showEndsOnTheFirstFramePast38200Milliseconds()
{
    QFETCH(qint64, timerMs);
    QFETCH(bool, ends);

    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    m_window->advance(timerMs);
    QCOMPARE(probe.frameEndsTheEventLoop(), ends);
}

QTEST_MAIN(FrameLoopTest)
#include "tst_frameloop.moc"
