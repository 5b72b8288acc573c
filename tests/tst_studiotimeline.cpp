// The studio's one timeline for picture and music, driven with exact wall
// times: seeks, hold, restart and the loop move the show time and the music
// together, the music is silent before 0 and past its end, and the beats
// fire from the music's position. The tests play the audio device's part,
// buffer by buffer, through the player's own callback.

#include "datarows.h"
#include "musicfiles.h"
#include "musicplayer.h"
#include "showtime.h"
#include "timeline.h"
#include "transport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using MusicFiles::bufferBytes;
using MusicFiles::countedFrame;

class StudioTimelineTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void showTimeRunsAtTheShowsPaceFromZero();
    void seeksMoveThePictureAndTheMusicTogether_data();
    void seeksMoveThePictureAndTheMusicTogether();
    void holdStopsPictureAndMusicAndGoesOnFromExactlyThere();
    void restartTakesBothBackToZeroAndKeepsAHold();
    void beforeZeroAndPastItsEndTheMusicIsSilent();
    void loopRangeComesFromTheMarksOrTheShot_data();
    void loopRangeComesFromTheMarksOrTheShot();
    void loopWrapsThePictureAndTheMusicCarryingTheOvershoot();
    void loopStartsAtItsStartWhenTurnedOnOutsideIt();
    void markMovedWhileLoopingTakesEffectAtOnce();
    void beatFiresWhenTheMusicReachesItAndAgainAfterSeekingBack();
    void beatsSkippedBySeekingForwardDoNotFire();

private:
    // The next buffer the device would get, as the frame it starts at
    // (-1 for silence), after checking it runs on frame by frame.
    qint64 nextBuffer();
    // A frame drawn at ms: the beat pulse the host fed it.
    float pulse(qint64 ms) { return m_transport->frame(ms).uniforms.beat; }

    std::optional<QTemporaryDir> m_dir;
    std::optional<MusicPlayer> m_player;
    std::optional<Transport> m_transport;
    static constexpr int musicFrames = 44100 * 40;
};

void StudioTimelineTest::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    const QString music = m_dir->filePath(QStringLiteral("music.bmm"));
    // Beats at 1 s, 2 s and 3 s of music; 20.0 (0.04 s) stands alone at the start.
    QVERIFY(MusicFiles::write(music, MusicFiles::head(4, {20, 500, 1000, 1500}) + MusicFiles::countingPayload(musicFrames)));
    m_transport.reset();
    m_player.emplace();
    QCOMPARE(m_player->open(music), QString());
    m_transport.emplace(*m_player);
}

qint64 StudioTimelineTest::nextBuffer()
{
    QByteArray buffer(bufferBytes, '\x55');
    m_player->fill(reinterpret_cast<Uint8 *>(buffer.data()), buffer.size());
    const qint64 first = countedFrame(buffer, 0);
    for (int i = 1; i < 882; ++i) {
        const qint64 frame = countedFrame(buffer, 8 * i);
        // Silence, then the music from its first frame; or the music running on; or silence after it.
        const bool fits = frame == (first < 0 ? (frame < 0 ? -1 : 0) : first + i)
                || (first >= 0 && frame == -1 && first + i >= musicFrames)
                || (first < 0 && frame >= 0 && frame == countedFrame(buffer, 8 * (i - 1)) + 1);
        if (!fits)
            return -2;
    }
    return first;
}

void StudioTimelineTest::showTimeRunsAtTheShowsPaceFromZero()
{
    m_transport->start(1000);
    QCOMPARE(m_transport->showTime(1000), 0.0);
    QCOMPARE(m_transport->showTime(2250), 1.0);
    QCOMPARE(m_transport->showTime(38200 + 1000), 30.56);
    QVERIFY(m_player->isPlaying());
    QCOMPARE(m_player->position(), qint64(0));
    QCOMPARE(nextBuffer(), qint64(0));
    QCOMPARE(nextBuffer(), qint64(882));
}

void StudioTimelineTest::seeksMoveThePictureAndTheMusicTogether_data()
{
    // At 5 s of show time (6250 ms after the start). A second of show time
    // is 1.25 s of music, 55125 frames at 44100 a second.
    addRows<double, double, qint64>({"step", "expected", "frame"},
            {{"Up: 10 s on", 10.0, 15.0, qint64(826875)},
             {"Down: 10 s back, before 0", -10.0, -5.0, qint64(-275625)},
             {"Right: 1 s on", 1.0, 6.0, qint64(330750)},
             {"Left: 1 s back", -1.0, 4.0, qint64(220500)}});
}

void StudioTimelineTest::seeksMoveThePictureAndTheMusicTogether()
{
    QFETCH(double, step);
    QFETCH(double, expected);
    QFETCH(qint64, frame);
    m_transport->start(0);
    QCOMPARE(nextBuffer(), qint64(0));

    m_transport->seek(step, 6250);
    QCOMPARE(m_transport->showTime(6250), expected);
    QCOMPARE(m_player->position(), frame);
    // The very next buffer starts at the new place: silence before 0.
    QCOMPARE(nextBuffer(), frame < 0 ? qint64(-1) : frame);
    // And on it goes from there at the show's pace.
    QCOMPARE(m_transport->showTime(6250 + 1250), expected + 1.0);
}

void StudioTimelineTest::holdStopsPictureAndMusicAndGoesOnFromExactlyThere()
{
    m_transport->start(0);
    m_transport->toggleHold(2500); // 2 s of show time, 2.5 s of music
    QVERIFY(m_transport->isHeld());
    QCOMPARE(m_transport->showTime(2500), 2.0);
    QCOMPARE(m_transport->showTime(60000), 2.0);
    QVERIFY(!m_player->isPlaying());
    // Held: the device plays silence, and the music's place does not move.
    QCOMPARE(nextBuffer(), qint64(-1));
    QCOMPARE(nextBuffer(), qint64(-1));
    QCOMPARE(m_player->position(), qint64(110250)); // 2.5 s of music

    // Seeking while held moves the held moment, and the music with it.
    m_transport->seek(1.0, 61000);
    QCOMPARE(m_transport->showTime(70000), 3.0);
    QCOMPARE(nextBuffer(), qint64(-1));

    m_transport->toggleHold(80000);
    QVERIFY(!m_transport->isHeld());
    QCOMPARE(m_transport->showTime(80000), 3.0);
    QCOMPARE(m_transport->showTime(81250), 4.0);
    QCOMPARE(nextBuffer(), qint64(165375)); // 3.75 s of music
    QCOMPARE(nextBuffer(), qint64(165375 + 882));
}

void StudioTimelineTest::restartTakesBothBackToZeroAndKeepsAHold()
{
    m_transport->start(0);
    m_transport->seek(10.0, 1000);
    QCOMPARE(nextBuffer(), qint64(595350)); // 0.8 + 10 s: 13.5 s of music

    m_transport->restart(2000);
    QCOMPARE(m_transport->showTime(2000), 0.0);
    QCOMPARE(nextBuffer(), qint64(0));

    m_transport->toggleHold(3250);
    m_transport->restart(4000);
    QVERIFY(m_transport->isHeld());
    QCOMPARE(m_transport->showTime(9000), 0.0);
    QCOMPARE(nextBuffer(), qint64(-1));
    m_transport->toggleHold(10000);
    QCOMPARE(nextBuffer(), qint64(0));
}

void StudioTimelineTest::beforeZeroAndPastItsEndTheMusicIsSilent()
{
    m_transport->start(0);
    m_transport->seek(-0.05, 0); // 0.0625 s of music before it starts: 2756 frames
    const qint64 before = -2756;
    QCOMPARE(nextBuffer(), qint64(-1));
    QCOMPARE(nextBuffer(), qint64(-1));
    QCOMPARE(nextBuffer(), qint64(-1));
    // The fourth buffer crosses the start: silence up to it, the music's first frame right at it.
    QByteArray buffer(bufferBytes, '\x55');
    m_player->fill(reinterpret_cast<Uint8 *>(buffer.data()), buffer.size());
    const int startsAt = int(-before - 3 * 882);
    QCOMPARE(countedFrame(buffer, 8 * (startsAt - 1)), qint64(-1));
    QCOMPARE(countedFrame(buffer, 8 * startsAt), qint64(0));
    QCOMPARE(countedFrame(buffer, 8 * 881), qint64(881 - startsAt));

    // 40 s of music end at 32 s of show time; 0.01 s before it is 0.0125 s
    // of music, 551.25 frames: the buffer from frame 1763449 holds the
    // last 551, then silence.
    m_transport->restart(0);
    m_transport->seek(32.0 - 0.01, 0);
    QCOMPARE(nextBuffer(), qint64(1763449));
    QCOMPARE(nextBuffer(), qint64(-1));
    m_transport->seek(100.0, 0);
    QCOMPARE(nextBuffer(), qint64(-1));
}

void StudioTimelineTest::loopRangeComesFromTheMarksOrTheShot_data()
{
    // The marks: none, or the one given; expected: empty when there is nothing to loop.
    using Times = QList<double>;
    addRows<Times, Times, double, Times>({"startMark", "endMark", "playhead", "expected"},
            {{"no marks: the shot on screen", {}, {}, 12.0, {10, 15}},
             {"no marks before 0: the first shot", {}, {}, -3.0, {0, 5}},
             {"no marks in the last shot: to the black at 30", {}, {}, 26.0, {20, 30}},
             {"both marks", {6.5}, {8.25}, 0.0, {6.5, 8.25}},
             {"both marks, end first", {8.25}, {6.5}, 0.0, {6.5, 8.25}},
             {"a start mark alone: to its shot's end", {6.5}, {}, 0.0, {6.5, 10}},
             {"an end mark alone: from its shot's start", {}, {12.0}, 0.0, {10, 12}},
             {"an end mark on a cut: the shot before it", {}, {10.0}, 0.0, {5, 10}},
             {"marks too close", {7.0}, {7.05}, 0.0, {}}});
}

void StudioTimelineTest::loopRangeComesFromTheMarksOrTheShot()
{
    QFETCH(QList<double>, startMark);
    QFETCH(QList<double>, endMark);
    QFETCH(double, playhead);
    QFETCH(QList<double>, expected);

    Timeline timeline;
    timeline.start(0);
    timeline.act(KeyMap::forKey(Qt::Key_Space), 0);
    for (const double mark : startMark) {
        timeline.seekTo(mark, 0);
        timeline.markLoopStart(0);
    }
    for (const double mark : endMark) {
        timeline.seekTo(mark, 0);
        timeline.markLoopEnd(0);
    }
    timeline.seekTo(playhead, 0);

    const std::optional<Timeline::Range> range = timeline.loopRange(0);
    QCOMPARE(bool(range), !expected.isEmpty());
    if (range) {
        QCOMPARE(range->start, expected[0]);
        QCOMPARE(range->end, expected[1]);
    }
    QCOMPARE(timeline.toggleLoop(0), bool(range));
    QCOMPARE(bool(timeline.loop()), bool(range));
}

void StudioTimelineTest::loopWrapsThePictureAndTheMusicCarryingTheOvershoot()
{
    m_transport->start(0);
    m_transport->seek(6.0, 0);
    m_transport->markLoopStart(0);
    m_transport->seek(2.0, 0);
    m_transport->markLoopEnd(0);
    m_transport->seek(-1.0, 0);
    QVERIFY(m_transport->toggleLoop(0)); // 6 to 8, at 7: no jump
    QCOMPARE(m_player->position(), qint64(385875)); // 8.75 s of music
    QCOMPARE(m_transport->showTime(1249), 8.0 - 0.0008);
    QCOMPARE(nextBuffer(), qint64(385875));

    // 0.2 s past the end: 0.2 s into the loop, the music with it.
    QCOMPARE(m_transport->showTime(1500), 6.2);
    QCOMPARE(m_player->position(), qint64(341775)); // 7.75 s of music
    QCOMPARE(nextBuffer(), qint64(341775));
    // 10 s later it has gone round five times.
    QCOMPARE(m_transport->showTime(1500 + 12500), 6.2);

    // Off, from where the loop had it, on past the end.
    QVERIFY(m_transport->toggleLoop(14000));
    QCOMPARE(m_transport->showTime(14000), 6.2);
    QCOMPARE(m_transport->showTime(14000 + 2500), 6.2 + 2.0);
}

void StudioTimelineTest::loopStartsAtItsStartWhenTurnedOnOutsideIt()
{
    m_transport->start(0);
    m_transport->seek(17.0, 0); // shot 4: 15 to 20
    m_transport->markLoopStart(0);
    m_transport->seek(-14.0, 0);
    QVERIFY(m_transport->toggleLoop(0)); // 3 is outside 17..20
    QCOMPARE(m_transport->showTime(0), 17.0);
    QCOMPARE(nextBuffer(), qint64(937125)); // 21.25 s of music
}

void StudioTimelineTest::markMovedWhileLoopingTakesEffectAtOnce()
{
    m_transport->start(0);
    QVERIFY(m_transport->toggleLoop(0)); // shot 1: 0 to 5
    m_transport->seek(3.0, 0);
    m_transport->markLoopEnd(0);         // 0 to 3, the playhead at its end: back to the start
    QCOMPARE(m_transport->timeline().loop()->end, 3.0);
    QCOMPARE(m_transport->showTime(0), 0.0);
    QCOMPARE(nextBuffer(), qint64(0));
}

void StudioTimelineTest::beatFiresWhenTheMusicReachesItAndAgainAfterSeekingBack()
{
    // Without a device the music is where the picture is: beat 500 (1 s of
    // music) at 0.8 s of show time, that is 1000 ms of wall time.
    m_transport->start(0);
    QCOMPARE(pulse(0), 0.0f);  // 20 not reached yet
    QCOMPARE(pulse(40), 0.9f); // 20: 0.04 s of music at 32 ms; fired and fed after one decay
    QCOMPARE(pulse(999), 0.8f);
    QCOMPARE(pulse(1000), 0.9f);

    // Back 0.5 s of show time to 0.3 s, before beat 500, which fires again
    // when the music reaches it, at 0.8 s of show time once more.
    m_transport->seek(-0.5, 1000);
    QCOMPARE(pulse(1000), 0.8f);
    QCOMPARE(pulse(1624), 0.7f); // 0.7992 s
    QCOMPARE(pulse(1625), 0.9f); // 0.8 s
    QCOMPARE(pulse(1626), 0.8f); // only once
}

void StudioTimelineTest::beatsSkippedBySeekingForwardDoNotFire()
{
    m_transport->start(0);
    pulse(100); // 20 fired
    for (int frame = 0; frame < 10; ++frame)
        pulse(100);
    QCOMPARE(pulse(100), 0.0f);
    m_transport->seek(2.0, 100); // 2.08 s of show time, 2.6 s of music: past 500 and 1000
    QCOMPARE(pulse(100), 0.0f);
    QCOMPARE(pulse(499), 0.0f); // 2.9992 s of music
    QCOMPARE(pulse(500), 0.9f); // 3 s: 1500
}

QTEST_MAIN(StudioTimelineTest)
#include "tst_studiotimeline.moc"
