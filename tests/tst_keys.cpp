// The show window's keys as a shell of the show host (whose key map and
// rules tst_showrules proves): the platform's key events reach the host with
// the show timer's reading, and the window restarts its timer and quits
// when the host says so.

#include "datarows.h"
#include "windowprobe.h"

#include <QKeyEvent>
#include <QtTest>

namespace {

// Show times computed two ways (held, or from the timer) may differ by float
// rounding only. 1250 ms of the show timer are one second of show time.
constexpr float rounding = 1e-5f;

} // namespace

class KeysTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void arrowKeysMoveTheShowTime_data();
    void arrowKeysMoveTheShowTime();
    void autoRepeatedUpAddsTenSecondsPerEvent();
    void spaceHoldsTheShowTimeUntilPressedAgain();
    void returnRestartsTheShowAtZero();
    void returnMovesTheEndOfTheShow();
    void escapeEndsTheEventLoop();
    void otherKeysAndReleasesChangeNothing_data();
    void otherKeysAndReleasesChangeNothing();

private:
    // Runs one frame and returns the show time it fed the scene.
    float frame();
    void press(int key, bool autoRepeat = false);
    void advance(qint64 ms) { m_window->advance(ms); }

    std::unique_ptr<ClockedWindow> m_window;
    std::unique_ptr<WindowProbe> m_probe;
};

void KeysTest::init()
{
    m_window = std::make_unique<ClockedWindow>();
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(*m_window));
    m_probe = std::make_unique<WindowProbe>(*m_window);
}

void KeysTest::cleanup()
{
    m_probe.reset();
    m_window.reset();
}

float KeysTest::frame()
{
    m_probe->frame();
    return m_probe->showTime();
}

void KeysTest::press(int key, bool autoRepeat)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QCoreApplication::sendEvent(m_window.get(), &event);
    QVERIFY(event.isAccepted()); // the window keeps every press to itself
}

void KeysTest::arrowKeysMoveTheShowTime_data()
{
    // Twice, at 2000 ms of the timer: 1.6 s of show time.
    addRows<int, float>({"key", "showTime"},
            {{"Up: 1.6 + 2 x 10", int(Qt::Key_Up), 21.6f},
             {"Left: 1.6 - 2 x 1", int(Qt::Key_Left), -0.4f}});
}

void KeysTest::arrowKeysMoveTheShowTime()
{
    QFETCH(int, key);
    QFETCH(float, showTime);

    advance(2000);
    // Through the platform's own key path, as a key on the keyboard comes.
    QTest::keyClick(m_window.get(), Qt::Key(key));
    QTest::keyClick(m_window.get(), Qt::Key(key));
    QCOMPARE(frame(), showTime);
}

void KeysTest::autoRepeatedUpAddsTenSecondsPerEvent()
{
    advance(400);
    press(Qt::Key_Up);
    for (int repeat = 0; repeat < 4; ++repeat)
        press(Qt::Key_Up, true);
    QCOMPARE(frame(), 50.32f); // 0.32 + 5 x 10
}

// A hold keeps the show time where it stood at the press, and letting go
// runs it on from there: the window hands Space the show timer's reading.
void KeysTest::spaceHoldsTheShowTimeUntilPressedAgain()
{
    advance(300);
    QCOMPARE(frame(), 0.24f);
    const float beforePress = frame();
    press(Qt::Key_Space);
    QVERIFY(m_probe->paused());
    const float held = frame();
    QVERIFY2(qAbs(held - beforePress) <= rounding, qPrintable(QString("%1 then %2").arg(beforePress).arg(held)));
    advance(180);
    QVERIFY2(qAbs(frame() - held) <= rounding, "the held show time moved");

    press(Qt::Key_Space);
    QVERIFY(!m_probe->paused());
    const float released = frame();
    QVERIFY2(qAbs(released - held) <= rounding, qPrintable(QString("%1 then %2").arg(held).arg(released)));
    advance(250);
    QVERIFY2(qAbs(frame() - (released + 0.2f)) <= rounding, "the show did not run on after the hold");
}

void KeysTest::returnRestartsTheShowAtZero()
{
    press(Qt::Key_Up);
    press(Qt::Key_Space);
    frame();
    advance(100);
    press(Qt::Key_Space); // leaves a pause adjustment behind
    advance(400);

    press(Qt::Key_Return);

    // The show timer starts again; the show time starts again from 0.
    QCOMPARE(m_probe->timerMs(), qint64(0));
    QCOMPARE(m_probe->timeAdjustment(), 0.0f);
    QCOMPARE(m_probe->pauseAdjustment(), 0.0f);
    QCOMPARE(frame(), 0.0f);
    advance(1250);
    QCOMPARE(frame(), 1.0f);
}

void KeysTest::returnMovesTheEndOfTheShow()
{
    // Return at 30 s: the show now ends 38.2 s after the press.
    advance(30000);
    press(Qt::Key_Return);
    advance(38200);
    QVERIFY(!m_probe->frameEndsTheEventLoop());
    advance(1);
    QVERIFY(m_probe->frameEndsTheEventLoop());
}

void KeysTest::escapeEndsTheEventLoop()
{
    // quit() only ends a loop that runs: press Escape from inside it.
    bool timedOut = false;
    QTimer::singleShot(0, m_window.get(), [this] { QTest::keyClick(m_window.get(), Qt::Key_Escape); });
    QTimer::singleShot(5000, m_window.get(), [&timedOut] { timedOut = true; QCoreApplication::exit(1); });
    QElapsedTimer clock;
    clock.start();
    const int status = QCoreApplication::exec();
    QCOMPARE(status, 0);
    QVERIFY(!timedOut);
    // At once, with room for a loaded machine: the show would run for 38 s.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

void KeysTest::otherKeysAndReleasesChangeNothing_data()
{
    addRows<int, bool>({"key", "release"},
            {{"keypad Enter", int(Qt::Key_Enter), false},
             {"release of Space", int(Qt::Key_Space), true},
             {"release of Up", int(Qt::Key_Up), true},
             {"release of Return", int(Qt::Key_Return), true}});
}

void KeysTest::otherKeysAndReleasesChangeNothing()
{
    QFETCH(int, key);
    QFETCH(bool, release);

    advance(200);
    m_probe->timeAdjustment() = 3.0f;
    m_probe->pauseAdjustment() = 0.5f;
    m_probe->snapshot() = 0.25f;

    if (release) {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &event);
    } else {
        press(key);
    }

    QCOMPARE(m_probe->timeAdjustment(), 3.0f);
    QCOMPARE(m_probe->pauseAdjustment(), 0.5f);
    QCOMPARE(m_probe->snapshot(), 0.25f);
    QCOMPARE(m_probe->paused(), false);
    QCOMPARE(m_probe->timerMs(), qint64(200)); // not restarted
}

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
