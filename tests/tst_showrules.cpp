// The show host, which the desktop window, the web page and the studio all
// run the show on: its frames and keys fed exact timer readings and audio
// clocks, and what it asks of its shell written out as the window logs it.

#include "datarows.h"
#include "musiclayout.h"
#include "showhost.h"

#include <QtTest>

#include <cmath>
#include <map>
#include <vector>

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// A shell as the three are: a show timer and a frame-rate timer on one clock
// the steps set, restarted when the host says so, the log lines the window
// writes, and one line per frame for what it fed the scene.
class Shell
{
public:
    explicit Shell(const QList<int> &beats) : m_beats(beats) {}

    // Steps: "at MS" sets the clock; "clock A B..." the audio clock the next
    // beats weighed read, one value a read, the last staying; "frame"; "key NAME";
    // "jump C" the music jumped to the audio clock C (the studio's seeks).
    QStringList run(const QStringList &steps)
    {
        for (const QString &step : steps) {
            const QStringList words = step.split(QLatin1Char(' '));
            if (words[0] == QLatin1String("at"))
                m_now = words[1].toLongLong();
            else if (words[0] == QLatin1String("clock"))
                m_clocks = words.mid(1);
            else if (words[0] == QLatin1String("frame"))
                frame();
            else if (words[0] == QLatin1String("key"))
                key(words[1]);
            else if (words[0] == QLatin1String("jump"))
                ShowHost::musicJumped<float>(m_state, words[1].toFloat());
            else
                qFatal("no such step: %s", qPrintable(step));
        }
        return m_trace;
    }

    const ShowHost::State &state() const { return m_state; }

private:
    void frame()
    {
        const ShowHost::Frame frame
                = ShowHost::frame(m_state, m_beats, m_now - m_timerStart, m_now - m_fpsTimerStart, [this] {
                      const QString clock = m_clocks.size() > 1 ? m_clocks.takeFirst() : m_clocks.value(0, "0");
                      return clock.toFloat();
                  });
        if (frame.report) {
            m_trace << QString::number(frame.reportedFrames);
            m_fpsTimerStart = m_now;
            m_trace << QString::number(frame.reportedSeconds);
        }
        for (const ShowHost::FiredBeat &fired : frame.fired)
            m_trace << QStringLiteral("%1 %2").arg(fired.beat).arg(QString::number(fired.clock));

        QString fed = QStringLiteral("show ") + QString::number(frame.uniforms.showTime);
        if (frame.uniforms.beat != 0.0f)
            fed += QStringLiteral(" pulse ") + QString::number(frame.uniforms.beat, 'f', 2);
        if (frame.over)
            fed += QStringLiteral(" over");
        m_trace << fed;
    }

    void key(const QString &name)
    {
        static const std::map<QString, int> keys{
                {"Up", Qt::Key_Up},        {"Down", Qt::Key_Down},          {"Left", Qt::Key_Left},
                {"Right", Qt::Key_Right},  {"Space", Qt::Key_Space},        {"Return", Qt::Key_Return},
                {"Escape", Qt::Key_Escape}, {"KeypadEnter", Qt::Key_Enter}, {"A", Qt::Key_A},
                {"PageUp", Qt::Key_PageUp}};
        const ShowHost::KeyOutcome outcome = ShowHost::press(m_state, keys.at(name), m_now - m_timerStart);
        if (!outcome.handled)
            m_trace << QStringLiteral("ignored");
        if (outcome.restartTimer)
            m_timerStart = m_now;
        if (outcome.quit)
            m_trace << QStringLiteral("quit");
    }

    const QList<int> m_beats;
    ShowHost::State m_state;
    qint64 m_now = 0;
    qint64 m_timerStart = 0;
    qint64 m_fpsTimerStart = 0;
    QStringList m_clocks;
    QStringList m_trace;
};

} // namespace

class ShowRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void framesAndKeys_data();
    void framesAndKeys();
    void aHoldStandsToTheBit();
    void keyMapNumbersKeysAsQtAndTheBrowserName_data();
    void keyMapNumbersKeysAsQtAndTheBrowserName();
    void audioClockSecondsAndShowTimeConvert_data();
    void audioClockSecondsAndShowTimeConvert();
    void pulseAtAShowTimeIsTheSixtyFramesShows_data();
    void pulseAtAShowTimeIsTheSixtyFramesShows();
};

// Expected show times are worked out by hand: 1250 ms of the show timer are
// one second of show time (so 300 ms are 0.24), the arrows add 10 and 1, and
// a hold stands where it began. The pulse is 1 less 0.1 a frame, the fired
// frame's included, as the scene is fed it (clamped at 0).
void ShowRulesTest::framesAndKeys_data()
{
    addRows<QList<int>, QStringList, QStringList>({"beats", "steps", "trace"}, {
        // The beats against the audio clock, each fired once, in list order.
        {"both beats the clock passed fire in one frame, in list order", QList<int>{100, 200},
         QStringList{"clock 250", "frame"}, QStringList{"100 250", "200 250", "show 0 pulse 0.90"}},
        {"a beat equal to the clock fires", QList<int>{100},
         QStringList{"clock 99", "frame", "clock 100", "frame", "clock 110", "frame"},
         QStringList{"show 0", "100 100", "show 0 pulse 0.90", "show 0 pulse 0.80"}},
        {"a repeated value fires once", QList<int>{50, 50, 100},
         QStringList{"clock 50", "frame", "clock 60", "frame", "clock 100", "frame"},
         QStringList{"50 50", "show 0 pulse 0.90", "show 0 pulse 0.80", "100 100", "show 0 pulse 0.90"}},
        {"negative never, zero on the first frame", QList<int>{-5, 0, 20},
         QStringList{"frame", "clock 10", "frame", "clock 20", "frame"},
         QStringList{"0 0", "show 0 pulse 0.90", "show 0 pulse 0.80", "20 20", "show 0 pulse 0.90"}},
        {"minus one and below never fire", QList<int>{-1, -2, -1000},
         QStringList{"frame", "clock 5000", "frame"}, QStringList{"show 0", "show 0"}},
        {"a smaller value after a larger fires when a frame sees the clock between them", QList<int>{100, 50},
         QStringList{"clock 60", "frame", "clock 120", "frame"},
         QStringList{"50 60", "show 0 pulse 0.90", "100 120", "show 0 pulse 0.90"}},
        {"a smaller value after a larger never fires once the larger has", QList<int>{100, 50},
         QStringList{"clock 120", "frame", "clock 130", "frame"},
         QStringList{"100 120", "show 0 pulse 0.90", "show 0 pulse 0.80"}},
        {"the clock is read afresh for every beat weighed", QList<int>{100, 105},
         QStringList{"clock 90 110", "frame"}, QStringList{"105 110", "show 0 pulse 0.90"}},
        {"the pulse reaches 0 on the tenth frame and stays", QList<int>{10},
         QStringList{"clock 10", "frame", "frame", "frame", "frame", "frame", "frame", "frame", "frame", "frame",
                     "frame", "frame"},
         QStringList{"10 10", "show 0 pulse 0.90", "show 0 pulse 0.80", "show 0 pulse 0.70", "show 0 pulse 0.60",
                     "show 0 pulse 0.50", "show 0 pulse 0.40", "show 0 pulse 0.30", "show 0 pulse 0.20",
                     "show 0 pulse 0.10", "show 0", "show 0"}},

        // A jump of the music (the studio's): beats from the clock on fire
        // again when reached, those before it not; a jump between whole
        // units lets the next whole unit fire.
        {"a jump back lets the beats from there fire again", QList<int>{100, 200},
         QStringList{"clock 250", "frame", "jump 150", "clock 199", "frame", "clock 200", "frame"},
         QStringList{"100 250", "200 250", "show 0 pulse 0.90", "show 0 pulse 0.80", "200 200", "show 0 pulse 0.90"}},
        {"a jump onto a beat lets it fire, one past it does not", QList<int>{100, 200},
         QStringList{"clock 250", "frame", "jump 100", "clock 100", "frame", "jump 100.5", "clock 150", "frame"},
         QStringList{"100 250", "200 250", "show 0 pulse 0.90", "100 100", "show 0 pulse 0.90", "show 0 pulse 0.80"}},
        {"a jump forward skips the beats it passes", QList<int>{100, 200, 300},
         QStringList{"jump 150", "clock 250", "frame", "clock 300", "frame"},
         QStringList{"200 250", "show 0 pulse 0.90", "300 300", "show 0 pulse 0.90"}},
        {"after a jump below 0 a beat at 0 fires, negative ones never", QList<int>{-100, -1, 0, 10},
         QStringList{"clock 20", "frame", "jump -1000", "clock -50", "frame", "clock 0", "frame"},
         QStringList{"0 20", "10 20", "show 0 pulse 0.90", "show 0 pulse 0.80", "0 0", "show 0 pulse 0.90"}},

        // The report: frames counted, the reporting one included, and the show
        // timer's seconds; Return restarts the show timer, not the report's.
        {"the report once a second, counting the frame that reports", QList<int>{},
         QStringList{"at 250", "frame", "key Return", "at 500", "frame", "at 999", "frame", "at 1000", "frame",
                     "at 1999", "frame", "at 2016", "frame"},
         QStringList{"show 0.2", "show 0.2", "show 0.5992", "4", "0.75", "show 0.6", "show 1.3992", "2", "1.766",
                     "show 1.4128"}},
        {"a frame late by more than a second reports once; the next second counts from it", QList<int>{},
         QStringList{"at 5000", "frame", "at 5999", "frame", "at 6000", "frame"},
         QStringList{"1", "5", "show 4", "show 4.7992", "2", "6", "show 4.8"}},

        // The end: strictly after 38200 ms of the show timer, whatever the seeks.
        {"at 38200 ms the show still runs", QList<int>{}, QStringList{"at 38200", "frame"},
         QStringList{"1", "38.2", "show 30.56"}},
        {"at 38201 ms it ends, the frame still fed", QList<int>{}, QStringList{"at 38201", "frame"},
         QStringList{"1", "38.201", "show 30.5608 over"}},
        {"seeking does not move the end", QList<int>{}, QStringList{"key Down", "key Down", "at 38201", "frame"},
         QStringList{"1", "38.201", "show 10.5608 over"}},
        {"Return moves the end 38200 ms past the press", QList<int>{},
         QStringList{"at 30000", "key Return", "at 68200", "frame", "at 68201", "frame"},
         QStringList{"1", "38.2", "show 30.56", "show 30.5608 over"}},

        // The keys.
        {"Up twice: 1.6 + 2 x 10", QList<int>{}, QStringList{"at 2000", "key Up", "key Up", "frame"},
         QStringList{"1", "2", "show 21.6"}},
        {"Down twice: 1.6 - 2 x 10", QList<int>{}, QStringList{"at 2000", "key Down", "key Down", "frame"},
         QStringList{"1", "2", "show -18.4"}},
        {"Right twice: 1.6 + 2 x 1", QList<int>{}, QStringList{"at 2000", "key Right", "key Right", "frame"},
         QStringList{"1", "2", "show 3.6"}},
        {"Left twice: 1.6 - 2 x 1", QList<int>{}, QStringList{"at 2000", "key Left", "key Left", "frame"},
         QStringList{"1", "2", "show -0.4"}},
        {"ten seconds on: 9.876 + 10", QList<int>{}, QStringList{"key Up", "at 12345", "frame"},
         QStringList{"1", "12.345", "show 19.876"}},
        {"Left at the start makes the show time negative", QList<int>{},
         QStringList{"at 3000", "key Return", "key Left", "frame", "at 3500", "frame"},
         QStringList{"1", "0", "show -1", "show -0.6"}},
        {"every hold stands where it began, and runs on from there", QList<int>{},
         QStringList{"at 300", "frame", "key Space", "frame", "at 360", "frame", "at 420", "frame", "key Space",
                     "frame", "at 670", "frame", "key Space", "at 800", "frame", "key Space", "at 1050", "frame"},
         QStringList{"show 0.24", "show 0.24", "show 0.24", "show 0.24", "show 0.24", "show 0.44", "show 0.44",
                     "8", "1.05", "show 0.64"}},
        {"the arrows still seek while held", QList<int>{},
         QStringList{"at 500", "key Space", "frame", "key Up", "key Left", "at 600", "frame"},
         QStringList{"show 0.4", "show 9.4"}},
        {"Return starts the show time from 0, a hold before it undone", QList<int>{},
         QStringList{"key Up", "key Space", "frame", "at 100", "key Space", "at 500", "key Return", "frame",
                     "at 1750", "frame"},
         QStringList{"show 10", "show 0", "3", "1.25", "show 1"}},
        {"Return while held holds at 0", QList<int>{},
         QStringList{"key Right", "key Space", "frame", "at 100", "key Return", "frame", "at 150", "frame",
                     "at 200", "frame", "key Space", "at 450", "frame"},
         QStringList{"show 1", "show 0", "show 0", "show 0", "show 0.2"}},
        {"Escape quits, whatever the show time", QList<int>{},
         QStringList{"key Down", "at 700", "key Escape", "frame"}, QStringList{"quit", "show -9.44"}},
        {"keypad Enter, a letter and Page Up are not the show's", QList<int>{},
         QStringList{"at 200", "key Right", "key KeypadEnter", "key A", "key PageUp", "frame"},
         QStringList{"ignored", "ignored", "ignored", "show 1.16"}},
        {"the keys leave the beats and the pulse alone", QList<int>{0, 500, 1000},
         QStringList{"clock 600", "frame", "key Up", "key Down", "key Left", "key Right", "key Space", "key Space",
                     "key Return", "key KeypadEnter", "frame", "clock 1000", "frame"},
         QStringList{"0 600", "500 600", "show 0 pulse 0.90", "ignored", "show 0 pulse 0.80", "1000 1000",
                     "show 0 pulse 0.90"}},
    });
}

void ShowRulesTest::framesAndKeys()
{
    QFETCH(QList<int>, beats);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, trace);

    Shell shell(beats);
    QCOMPARE(shell.run(steps), trace);
}

// A held picture must not change at all: a minute of 60 Hz frames held at
// 3000 ms of the show timer all feed 3000 / 1250 = 2.4 s, to the last bit.
void ShowRulesTest::aHoldStandsToTheBit()
{
    ShowHost::State state;
    ShowHost::press(state, Qt::Key_Space, 3000);
    for (qint64 timerMs = 3000; timerMs < 63000; timerMs += 16) {
        const float showTime = ShowHost::frame(state, QList<int>{}, timerMs, 0, [] { return 0.0f; }).uniforms.showTime;
        if (showTime != 2.4f)
            QFAIL(qPrintable(QStringLiteral("at %1 ms the held show time is %2")
                                     .arg(timerMs).arg(double(showTime), 0, 'g', 9)));
    }
}

void ShowRulesTest::keyMapNumbersKeysAsQtAndTheBrowserName_data()
{
    // The codes are Qt's own; the browser's names are KeyboardEvent.code's.
    addRows<int, QString, int, float>({"key", "domCode", "action", "seconds"}, {
        {"Up", int(Qt::Key_Up), "ArrowUp", int(KeyMap::Action::Seek), 10.0f},
        {"Down", int(Qt::Key_Down), "ArrowDown", int(KeyMap::Action::Seek), -10.0f},
        {"Right", int(Qt::Key_Right), "ArrowRight", int(KeyMap::Action::Seek), 1.0f},
        {"Left", int(Qt::Key_Left), "ArrowLeft", int(KeyMap::Action::Seek), -1.0f},
        {"Space", int(Qt::Key_Space), "Space", int(KeyMap::Action::Hold), 0.0f},
        {"Return", int(Qt::Key_Return), "Enter", int(KeyMap::Action::Restart), 0.0f},
        {"Escape", int(Qt::Key_Escape), "Escape", int(KeyMap::Action::Quit), 0.0f},
        {"keypad Enter", int(Qt::Key_Enter), "NumpadEnter", int(KeyMap::Action::None), 0.0f},
        {"a letter", int(Qt::Key_A), "KeyA", int(KeyMap::Action::None), 0.0f},
    });
}

void ShowRulesTest::keyMapNumbersKeysAsQtAndTheBrowserName()
{
    QFETCH(int, key);
    QFETCH(QString, domCode);
    QFETCH(int, action);
    QFETCH(float, seconds);

    for (const KeyMap::Binding &binding : {KeyMap::forKey(key), KeyMap::forDomCode(qPrintable(domCode))}) {
        QCOMPARE(int(binding.action), action);
        QCOMPARE(binding.seconds, seconds);
    }
    if (action != int(KeyMap::Action::None)) {
        QCOMPARE(KeyMap::forDomCode(qPrintable(domCode)).key, key);
        QCOMPARE(QString::fromLatin1(KeyMap::forKey(key).domCode), domCode);
    }
    QCOMPARE(int(KeyMap::forDomCode(nullptr).action), int(KeyMap::Action::None));
}

void ShowRulesTest::audioClockSecondsAndShowTimeConvert_data()
{
    // The audio clock runs at 500 units a second of music; the show time at
    // 0.8 s a second of the show timer, which the music plays beside.
    addRows<double, double, double>({"clock", "seconds", "showTime"}, {
        {"a beat at 2450: 4.9 s of music, 3.92 s of show time", 2450.0, 4.9, 3.92},
        {"the end of the show: 38.2 s, 30.56 s of show time", 19100.0, 38.2, 30.56},
        {"one unit: 2 ms", 1.0, 0.002, 0.0016},
        {"before the start", -500.0, -1.0, -0.8},
    });
}

void ShowRulesTest::audioClockSecondsAndShowTimeConvert()
{
    QFETCH(double, clock);
    QFETCH(double, seconds);
    QFETCH(double, showTime);

    QCOMPARE(MusicFile::secondsAtClock(clock), seconds);
    QCOMPARE(MusicFile::clockAtSeconds(seconds), clock);
    QCOMPARE(ShowTime::fromSeconds(seconds), showTime);
    QCOMPARE(ShowTime::toSeconds(showTime), seconds);
}

void ShowRulesTest::pulseAtAShowTimeIsTheSixtyFramesShows_data()
{
    // Worked out by hand. At 60 frames a second frame k is drawn when the
    // timer reads k x 1000 / 60 ms, rounded down, and the clock is half
    // the milliseconds: a beat at b fires on the first frame whose
    // milliseconds reach 2b. Beat 500 needs 1000 ms: frame 60 (show time
    // 1000 / 1250 = 0.8); 520 needs 1040 ms: frame 62 reads 1033, frame 63
    // 1050 (show time 0.84). The pulse is 1 - 0.1 for the frame a beat fires
    // on and 0.1 less each frame after, 0 from the tenth; a show time shows
    // the last frame at or before it.
    const std::vector<int> beats{500, 520, 1000};
    addRows<std::vector<int>, double, float>({"beats", "showTime", "pulse"}, {
        {"before the first beat: frame 59, 983 ms", beats, 0.7864, 0.0f},
        {"the frame beat 500 fires on: frame 60", beats, 0.8, 0.9f},
        {"between frames 60 and 61 (1012.5 ms): frame 60", beats, 0.81, 0.9f},
        {"a frame later: frame 61, 1016 ms", beats, 0.8128, 0.8f},
        {"frame 62, 1033 ms", beats, 0.8264, 0.7f},
        {"beat 520 fires again at frame 63: 1050 ms", beats, 0.84, 0.9f},
        {"eight frames on: frame 71, 1183 ms", beats, 0.9464, 0.1f},
        {"the tenth frame from the beat: frame 72, 1200 ms", beats, 0.96, 0.0f},
        {"beat 1000 fires at frame 120: 2000 ms", beats, 1.6, 0.9f},
        {"before show time 0: no frame", beats, -0.5, 0.0f},
        {"a beat at 0 fires on the first frame", std::vector<int>{0}, 0.0, 0.9f},
        {"a beat at -1 never fires", std::vector<int>{-1}, 0.0, 0.0f},
        {"a list out of order: 520 before 500, which fires first", std::vector<int>{520, 500}, 0.8128, 0.8f},
        {"a beat below one fired never fires: 505 after 508, both in frame 61 (508 units)",
         std::vector<int>{508, 505}, 0.8128, 0.9f},
        {"a long way on: beat 20000 (40 s) at 2400 frames, show time 32, two frames later",
         std::vector<int>{20000}, 32.0 + 2.0 * 1000.0 / 60.0 / 1250.0, 0.7f},
        {"no beats", std::vector<int>{}, 1.0, 0.0f},
    });
}

void ShowRulesTest::pulseAtAShowTimeIsTheSixtyFramesShows()
{
    QFETCH(std::vector<int>, beats);
    QFETCH(double, showTime);
    QFETCH(float, pulse);

    // The frame loop's pulse lands within a float step or so of these tenths.
    QVERIFY2(std::abs(BeatRule::pulseAt(beats, showTime) - pulse) < 1e-5f,
             qPrintable(QString::number(BeatRule::pulseAt(beats, showTime))));
}

QTEST_GUILESS_MAIN(ShowRulesTest)
#include "tst_showrules.moc"
