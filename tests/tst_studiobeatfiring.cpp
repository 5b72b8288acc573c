// The studio's beats keep the music's time whether or not frames are drawn:
// each fires when the music reaches it, as the show's beats fire from the
// audio clock, while no frame is drawn at all (the window hidden, or a
// program too slow to work with giving way); frames drawn afterwards do not
// fire them late and in a bunch. The pulse still steps once a drawn frame,
// as in the show: the first frame after a beat is fed 0.9. On a clock the
// test sets, without a sound device (the music's time is the picture's).

#include "datarows.h"
#include "musicfiles.h"
#include "studioprobe.h"

#include <QtTest>

#include <optional>

namespace {

// Ten seconds of music with beats at 1, 2 and 3 s of music (audio clock
// 500, 1000 and 1500 at 500 units a second).
const QList<int> fileBeats{500, 1000, 1500};
constexpr int musicFrames = 441000;

} // namespace

class StudioBeatFiringTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void eachBeatFiresWhenTheMusicReachesItWithNoFrameDrawn_data();
    void eachBeatFiresWhenTheMusicReachesItWithNoFrameDrawn();

private:
    std::optional<StudioFolder> m_folder;
    QString m_music;
};

void StudioBeatFiringTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"),
                                      StudioProbe::plainStage("0.0, 0.5, 0.5, 1.0")));
    m_music = m_folder->filePath(QStringLiteral("music.bmm"));
    QVERIFY(MusicFiles::write(m_music, MusicFiles::head(3, fileBeats) + MusicFiles::payload(musicFrames)));
}

void StudioBeatFiringTest::cleanup()
{
    m_folder.reset();
}

void StudioBeatFiringTest::eachBeatFiresWhenTheMusicReachesItWithNoFrameDrawn_data()
{
    // The window's clock at which each beat is reached: the show time runs
    // at 0.8 of the clock and the music at 1.25 times the show time, so a
    // second of music is a second of clock; sound 40 ms later plays each
    // beat 40 ms later.
    addRows<int, QList<qint64>>({"offset", "reachedMs"},
            {{"sound on time", 0, {1000, 2000, 3000}},
             {"sound 40 ms later", 40, {1040, 2040, 3040}}});
}

void StudioBeatFiringTest::eachBeatFiresWhenTheMusicReachesItWithNoFrameDrawn()
{
    QFETCH(int, offset);
    QFETCH(QList<qint64>, reachedMs);

    StudioOptions options;
    options.size = QSize(320, 180);
    options.music = m_music;
    options.musicGiven = true;
    options.audioOffsetMs = offset;
    std::unique_ptr<ClockedStudioWindow> window
            = StudioProbe::started(std::make_unique<ClockedStudioWindow>(options), false);
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.transport().lastBeat() < 0.0f);

    // No frame is drawn from here on, once the frame the window asked for
    // before it went has come (if it has not yet) with a clock that moved.
    window->hide();
    QVERIFY(QTest::qWaitFor([&] { return !window->isExposed(); }, 30000));
    const int drawnBefore = probe.sceneDraws();
    window->advance(1);
    static_cast<void>(QTest::qWaitFor([&] { return probe.sceneDraws() > drawnBefore; }, 5000));
    const int draws = probe.sceneDraws();

    // The clock moved to a millisecond short of each beat, where it does
    // not fire yet (asked directly, as the studio asks between frames),
    // then onto it: the beat fires there, on its own, before the next is
    // reached.
    for (int i = 0; i < reachedMs.size(); ++i) {
        window->advance(reachedMs[i] - 1 - window->now());
        const std::vector<ShowHost::FiredBeat> early = probe.transport().fireBeats(window->now());
        QCOMPARE(early.size(), size_t(0));
        window->advance(1);
        QVERIFY2(QTest::qWaitFor([&] { return probe.transport().lastBeat() == float(fileBeats[i]); }, 10000),
                 qPrintable(QStringLiteral("beat %1 at %2 ms: the last fired is %3")
                            .arg(fileBeats[i]).arg(window->now()).arg(probe.transport().lastBeat())));
    }
    QCOMPARE(probe.sceneDraws(), draws);
    // Still standing where it was, a beat fired since the last frame: 1.0.
    QCOMPARE(probe.transport().pulse(), 1.0f);

    // The first frame drawn afterwards steps the pulse once: 1.0 less 0.1.
    window->advance(20);
    window->show();
    QVERIFY(QTest::qWaitFor([&] { return probe.sceneDraws() > draws; }, 30000));
    QVERIFY2(probe.headsUpLine().contains(QStringLiteral("beat 0.9")), qPrintable(probe.headsUpLine()));
    QCOMPARE(probe.transport().lastBeat(), float(fileBeats.last()));
}

QTEST_MAIN(StudioBeatFiringTest)
#include "tst_studiobeatfiring.moc"
