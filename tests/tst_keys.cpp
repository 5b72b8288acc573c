// The keys while the show runs: seek, hold, restart and end, as the frame loop
// turns them into the show time of the following frames.

#include "windowprobe.h"

#include <QKeyEvent>
#include <QtTest>

namespace {

// Show time may differ from its exact value by float rounding only.
constexpr float rounding = 1e-5f;

// A frame's show time cannot be before its timer reading nor after it.
constexpr float frameSlack = 0.05f;

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
    void leftAtTheStartMakesTheShowTimeNegative();
    void spaceHoldsTheShowTimeUntilPressedAgain();
    void everyLaterHoldIsContinuousToo();
    void arrowKeysStillSeekWhileHeld();
    void returnRestartsTheShowAtZero();
    void returnWhileHeldHoldsAtZero();
    void escapeEndsTheEventLoop();
    void otherKeysAndReleasesChangeNothing_data();
    void otherKeysAndReleasesChangeNothing();
    void keysLeaveTheMusicAndTheBeatsAlone();

private:
    // Runs one frame and returns the show time it fed the scene.
    float frame();
    void press(int key, bool autoRepeat = false);

    std::unique_ptr<Window> m_window;
    std::unique_ptr<WindowProbe> m_probe;
};

void KeysTest::init()
{
    m_window = std::make_unique<Window>();
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
    QTest::addColumn<int>("key");
    QTest::addColumn<float>("shift");

    QTest::newRow("Up") << int(Qt::Key_Up) << 10.0f;
    QTest::newRow("Down") << int(Qt::Key_Down) << -10.0f;
    QTest::newRow("Right") << int(Qt::Key_Right) << 1.0f;
    QTest::newRow("Left") << int(Qt::Key_Left) << -1.0f;
}

void KeysTest::arrowKeysMoveTheShowTime()
{
    QFETCH(int, key);
    QFETCH(float, shift);

    QTest::keyClick(m_window.get(), Qt::Key(key));
    QTest::keyClick(m_window.get(), Qt::Key(key));

    const qint64 before = m_probe->timerMs();
    const float shown = frame();
    const qint64 after = m_probe->timerMs();
    QVERIFY(shown >= float(before) / 1250.0f + 2 * shift - rounding);
    QVERIFY(shown <= float(after) / 1250.0f + 2 * shift + rounding);
}

void KeysTest::autoRepeatedUpAddsTenSecondsPerEvent()
{
    press(Qt::Key_Up);
    for (int repeat = 0; repeat < 4; ++repeat)
        press(Qt::Key_Up, true);

    const float start = float(m_probe->timerMs()) / 1250.0f;
    const float shown = frame();
    QVERIFY(shown >= start + 50.0f - rounding && shown <= start + 50.0f + frameSlack);
}

void KeysTest::leftAtTheStartMakesTheShowTimeNegative()
{
    press(Qt::Key_Return); // show time 0 now
    press(Qt::Key_Left);
    const float shown = frame();
    QVERIFY2(shown >= -1.0f - rounding && shown <= -1.0f + frameSlack, qPrintable(QString::number(shown)));
}

void KeysTest::spaceHoldsTheShowTimeUntilPressedAgain()
{
    QTest::qWait(300);
    const float beforeHold = frame();
    press(Qt::Key_Space);
    QVERIFY(m_probe->paused());

    const float held = frame();
    QVERIFY2(held >= beforeHold - rounding && held <= beforeHold + frameSlack,
             qPrintable(QString("%1 then %2").arg(beforeHold).arg(held)));
    for (int i = 0; i < 5; ++i) {
        QTest::qSleep(60);
        QVERIFY2(qAbs(frame() - held) <= rounding, "the held show time moved");
    }

    QTest::qSleep(60);
    press(Qt::Key_Space);
    QVERIFY(!m_probe->paused());

    // Let go, the show runs on from where it stood at the press.
    const float released = frame();
    QVERIFY2(released >= held - rounding && released <= held + frameSlack,
             qPrintable(QString("held %1, released %2").arg(held).arg(released)));
    QTest::qSleep(250);
    const float later = frame();
    QVERIFY2(later - released >= 0.8f * 0.25f - 0.01f, "the show did not run on after the hold");
}

void KeysTest::everyLaterHoldIsContinuousToo()
{
    QTest::qWait(200);
    for (int hold = 0; hold < 3; ++hold) {
        const float beforePress = frame();
        press(Qt::Key_Space);
        const float held = frame();
        QVERIFY2(held >= beforePress - rounding && held <= beforePress + frameSlack,
                 qPrintable(QString("hold %1: %2 then %3").arg(hold).arg(beforePress).arg(held)));
        QTest::qSleep(150);
        QVERIFY(qAbs(frame() - held) <= rounding);

        press(Qt::Key_Space);
        const float released = frame();
        QVERIFY2(released >= held - rounding && released <= held + frameSlack,
                 qPrintable(QString("release %1: %2 then %3").arg(hold).arg(held).arg(released)));
        QTest::qSleep(150);
    }
}

void KeysTest::arrowKeysStillSeekWhileHeld()
{
    press(Qt::Key_Space);
    const float held = frame();
    press(Qt::Key_Up);
    press(Qt::Key_Left);
    QTest::qSleep(100);
    QVERIFY(qAbs(frame() - (held + 9.0f)) <= rounding);
}

void KeysTest::returnRestartsTheShowAtZero()
{
    press(Qt::Key_Up);
    press(Qt::Key_Space);
    frame();
    QTest::qSleep(100);
    press(Qt::Key_Space); // leaves a pause adjustment behind
    QTest::qSleep(400);

    press(Qt::Key_Return);

    // The show timer starts again, which moves the end of the show to 38.2 s
    // after the press; the show time starts again from 0.
    QVERIFY(m_probe->timerMs() < 50);
    QCOMPARE(m_probe->timeAdjustment(), 0.0f);
    QCOMPARE(m_probe->pauseAdjustment(), 0.0f);
    const float shown = frame();
    QVERIFY2(shown >= 0.0f && shown <= frameSlack, qPrintable(QString::number(shown)));
}

void KeysTest::returnWhileHeldHoldsAtZero()
{
    press(Qt::Key_Right);
    press(Qt::Key_Space);
    frame();
    QTest::qSleep(100);
    press(Qt::Key_Return);
    QVERIFY(m_probe->paused());

    for (int i = 0; i < 4; ++i) {
        QCOMPARE(frame(), 0.0f);
        QTest::qSleep(50);
    }

    press(Qt::Key_Space);
    QTest::qSleep(250);
    const float shown = frame();
    QVERIFY2(shown >= 0.8f * 0.25f - 0.01f && shown < 1.0f, qPrintable(QString::number(shown)));
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
    QVERIFY(clock.elapsed() < 1000);
}

void KeysTest::otherKeysAndReleasesChangeNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("release");

    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << false;
    QTest::newRow("a letter") << int(Qt::Key_A) << false;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << false;
    QTest::newRow("release of Space") << int(Qt::Key_Space) << true;
    QTest::newRow("release of Up") << int(Qt::Key_Up) << true;
    QTest::newRow("release of Return") << int(Qt::Key_Return) << true;
}

void KeysTest::otherKeysAndReleasesChangeNothing()
{
    QFETCH(int, key);
    QFETCH(bool, release);

    QTest::qWait(200);
    m_probe->timeAdjustment() = 3.0f;
    m_probe->pauseAdjustment() = 0.5f;
    m_probe->snapshot() = 0.25f;
    const qint64 timerBefore = m_probe->timerMs();

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
    QVERIFY(m_probe->timerMs() >= timerBefore); // not restarted
}

void KeysTest::keysLeaveTheMusicAndTheBeatsAlone()
{
    m_probe->beats() = {0, 500, 1000};
    m_probe->elapsed() = 600.0f;
    frame(); // fires 0 and 500
    QCOMPARE(m_probe->last(), 500.0f);
    const float pulse = m_probe->beat();
    const qint64 musicPosition = m_probe->file().isOpen() ? m_probe->file().pos() : -1;
    const float framesCounted = m_probe->fps();

    for (const int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Space, Qt::Key_Space,
                          Qt::Key_Return, Qt::Key_Enter})
        press(key);

    QCOMPARE(m_probe->elapsed().load(), 600.0f);
    QCOMPARE(m_probe->last(), 500.0f);
    QCOMPARE(m_probe->beat(), pulse);
    QCOMPARE(m_probe->beats(), (QList<int>{0, 500, 1000}));
    QCOMPARE(m_probe->file().isOpen() ? m_probe->file().pos() : -1, musicPosition);
    QCOMPARE(m_probe->fps(), framesCounted);
}

QTEST_MAIN(KeysTest)
#include "tst_keys.moc"
