// The frame loop: beats against the audio clock, the beat pulse, the frame-rate
// report and the show time fed to the scene.

#include "logcapture.h"
#include "windowprobe.h"

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
    void frameRateLineIsFollowedBySecondsAndCountsTheReportingFrame();
    void showTimeFollowsTheTimerAndTheAdjustments_data();
    void showTimeFollowsTheTimerAndTheAdjustments();
    void noBeatMeansNoPulse();

private:
    // The fresh window every test starts from, shown and with its first frame drawn.
    bool freshWindow();

    std::unique_ptr<Window> m_window;
};

bool FrameLoopTest::freshWindow()
{
    m_window = std::make_unique<Window>();
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
    QTest::addColumn<QList<int>>("beats");
    QTest::addColumn<QList<float>>("clockPerFrame");
    QTest::addColumn<QStringList>("expectedLines");
    QTest::addColumn<float>("expectedLast");

    QTest::newRow("both beats the clock passed fire in one frame, in list order")
        << QList<int>{100, 200} << QList<float>{250} << QStringList{"100 250", "200 250"} << 200.0f;
    QTest::newRow("a beat equal to the clock fires")
        << QList<int>{100} << QList<float>{99, 100, 110} << QStringList{"100 100"} << 100.0f;
    QTest::newRow("a repeated value fires once")
        << QList<int>{50, 50, 100} << QList<float>{50, 60, 100} << QStringList{"50 50", "100 100"} << 100.0f;
    QTest::newRow("negative never, zero on the first frame, 20 after two callbacks")
        << QList<int>{-5, 0, 20} << QList<float>{0, 10, 20} << QStringList{"0 0", "20 20"} << 20.0f;
    QTest::newRow("minus one and below never fire")
        << QList<int>{-1, -2, -1000} << QList<float>{0, 5000} << QStringList{} << -1.0f;
    QTest::newRow("a smaller value after a larger fires when a frame sees the clock between them")
        << QList<int>{100, 50} << QList<float>{60, 120} << QStringList{"50 60", "100 120"} << 100.0f;
    QTest::newRow("a smaller value after a larger never fires once the larger has")
        << QList<int>{100, 50} << QList<float>{120, 130} << QStringList{"100 120"} << 100.0f;
    QTest::newRow("an empty list fires nothing")
        << QList<int>{} << QList<float>{0, 1000} << QStringList{} << -1.0f;
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

    QCOMPARE(log.debugFrom("Window::paintGL").filter(QRegularExpression("^-?\\d+ ")), expectedLines);
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

void FrameLoopTest::frameRateLineIsFollowedBySecondsAndCountsTheReportingFrame()
{
    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.fps() = 0.0f;

    LogCapture log;
    QList<int> framesPerReport;
    QElapsedTimer wall;
    wall.start();
    int frames = 0;
    while (framesPerReport.size() < 2 && wall.elapsed() < 10000) {
        const int linesBefore = log.lines().size();
        probe.frame();
        ++frames;
        if (log.lines().size() > linesBefore) {
            framesPerReport << frames;
            frames = 0;
            QCOMPARE(probe.fps(), 0.0f); // the counter starts again from 0
        }
        QTest::qSleep(40);
    }
    QCOMPARE(framesPerReport.size(), 2);

    // Each report is two lines of one frame: the count, printed like 60, then
    // the show timer's seconds, printed like 12.016.
    const QStringList lines = log.debugFrom("Window::paintGL");
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QString::number(framesPerReport[0]));
    QCOMPARE(lines[2], QString::number(framesPerReport[1]));

    bool ok = false;
    const double firstSeconds = lines[1].toDouble(&ok);
    QVERIFY(ok);
    const double secondSeconds = lines[3].toDouble(&ok);
    QVERIFY(ok);
    QVERIFY2(firstSeconds >= 1.0 && firstSeconds < 3.0, qPrintable(lines[1]));
    QVERIFY2(secondSeconds - firstSeconds >= 1.0 && secondSeconds - firstSeconds < 1.5,
             qPrintable(lines[1] + " then " + lines[3]));
}

void FrameLoopTest::showTimeFollowsTheTimerAndTheAdjustments_data()
{
    QTest::addColumn<float>("timeAdjustment");
    QTest::addColumn<float>("pauseAdjustment");

    QTest::newRow("no adjustment") << 0.0f << 0.0f;
    QTest::newRow("ten seconds on") << 10.0f << 0.0f;
    QTest::newRow("before the start") << -3.0f << 0.0f;
    QTest::newRow("after a hold") << 2.0f << 1.5f;
}

void FrameLoopTest::showTimeFollowsTheTimerAndTheAdjustments()
{
    QFETCH(float, timeAdjustment);
    QFETCH(float, pauseAdjustment);

    QVERIFY(freshWindow());
    WindowProbe probe(*m_window);
    probe.timeAdjustment() = timeAdjustment;
    probe.pauseAdjustment() = pauseAdjustment;

    for (int frame = 0; frame < 3; ++frame) {
        const qint64 before = probe.timerMs();
        probe.frame();
        const qint64 after = probe.timerMs();
        const float shown = probe.showTime();
        const float earliest = float(before) / 1250.0f + timeAdjustment - pauseAdjustment;
        const float latest = float(after) / 1250.0f + timeAdjustment - pauseAdjustment;
        QVERIFY2(shown >= earliest - 1e-5f && shown <= latest + 1e-5f,
                 qPrintable(QString("%1 not in [%2, %3]").arg(shown).arg(earliest).arg(latest)));
        QTest::qSleep(30);
    }
}

QTEST_MAIN(FrameLoopTest)
#include "tst_frameloop.moc"
