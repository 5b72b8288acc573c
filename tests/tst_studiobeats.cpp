// Editing the beats in the studio's window as a maker does, on a clock the
// test sets: B taps a beat where the music is heard (the picture's music
// without a device, what the device was given less its buffer with one,
// the audio offset taken off either way), the strip's beats are selected,
// deleted, nudged and dragged, every edit undoes and redoes, Ctrl+S saves
// them into the music file where the show's reader finds them (and a file
// changed on disk is refused and left alone), Escape and the window
// manager's close warn once of unsaved edits (whole, first on screen, at any
// width, and on standard error); a click in the strip seeks to the time
// under it.

#include "beatlistwriter.h"
#include "datarows.h"
#include "musicfile.h"
#include "musicfiles.h"
#include "standarderror.h"
#include "studioprobe.h"

#include <QtTest>

#include <algorithm>
#include <optional>

namespace {

// Ten seconds of music with beats at 1, 2 and 3 s of music (clock 500,
// 1000, 1500): show times 0.8, 1.6 and 2.4.
const QList<int> fileBeats{500, 1000, 1500};
constexpr int musicFrames = 441000;

// Escape, or the window manager's close (its button, Alt+F4), as the
// window system hands it to the window.
void askToQuit(QWindow *window, bool byClose)
{
    if (!byClose) {
        QTest::keyClick(window, Qt::Key_Escape);
        return;
    }
    QCloseEvent close;
    QCoreApplication::sendEvent(window, &close);
}

QList<int> beatsIn(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? MusicFile::readBeatList(file) : QList<int>{-999};
}

} // namespace

class StudioBeatsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bTapsABeatWhereTheMusicIsHeard_data();
    void bTapsABeatWhereTheMusicIsHeard();
    void beatsAreSelectedDeletedNudgedAndDraggedAndEveryEditUndoes();
    void ctrlSSavesTheBeatsWhereTheShowReadsThem();
    void aFileChangedOnDiskIsKeptAndQuittingWarnsOfTheUnsavedEdits_data();
    void aFileChangedOnDiskIsKeptAndQuittingWarnsOfTheUnsavedEdits();
    void withNothingUnsavedTheWindowManagersCloseQuitsAtOnce();
    void aClickInTheStripSeeksToTheTimeUnderIt();

private:
    std::unique_ptr<ClockedStudioWindow> startStudio(int audioOffsetMs = 0, QSize size = QSize(640, 360));
    // The x of a show time in the strip, at the middle of the beat lane's
    // height, in the window's (device-independent) pixels.
    static QPoint inBeatLane(const StudioProbe &probe, double showTime);

    std::optional<StudioFolder> m_folder;
    QString m_music;
};

void StudioBeatsTest::init()
{
    qputenv("SDL_AUDIODRIVER", "none");
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"),
                                      StudioProbe::plainStage("0.0, 0.5, 0.5, 1.0")));
    m_music = m_folder->filePath(QStringLiteral("music.bmm"));
    QVERIFY(MusicFiles::write(m_music, MusicFiles::head(3, fileBeats) + MusicFiles::payload(musicFrames)));
}

void StudioBeatsTest::cleanup()
{
    m_folder.reset();
}

std::unique_ptr<ClockedStudioWindow> StudioBeatsTest::startStudio(int audioOffsetMs, QSize size)
{
    StudioOptions options;
    options.size = size;
    options.music = m_music;
    options.musicGiven = true;
    options.audioOffsetMs = audioOffsetMs;
    return StudioProbe::started(std::make_unique<ClockedStudioWindow>(options), false);
}

QPoint StudioBeatsTest::inBeatLane(const StudioProbe &probe, double showTime)
{
    const TimelineStrip &strip = probe.strip();
    return QPointF(strip.xAt(showTime), strip.area().bottom() - TimelineStrip::beatLaneHeight / 2.0).toPoint();
}

void StudioBeatsTest::bTapsABeatWhereTheMusicIsHeard_data()
{
    // clockMs: without a device, the window's clock; buffers: with one, the buffers it has taken.
    addRows<bool, int, qint64, int, int>({"device", "offset", "clockMs", "buffers", "expected"},
            {// Show time 2.0 (2500 ms of clock) is 2.5 s of music: 1250 clock units.
             {"no device", false, 0, 2500, 0, 1250},
             // 40 ms later sound is 1764 frames earlier music: 2.46 s, 1230.
             {"no device, sound 40 ms later", false, 40, 2500, 0, 1230},
             // 100 ms earlier sound: 2.6 s, 1300.
             {"no device, sound 100 ms earlier", false, -100, 2500, 0, 1300},
             // 3002 ms of clock: 2.4016 show s, 3.002 s of music (132388.2
             // frames, 132388 of them): 1500.998 units, to the nearest 1501.
             {"no device, to the nearest unit", false, 0, 3002, 0, 1501},
             // The device was given 91 buffers of 882 frames from the start; one
             // plays while it takes the next, so 90 have been heard: 1.8 s, 900.
             {"device", true, 0, 0, 91, 900},
             // The device starts 1764 frames before the music (sound 40 ms
             // later): 79380 - 1764 frames heard, 1.76 s, 880.
             {"device, sound 40 ms later", true, 40, 0, 91, 880}});
}

void StudioBeatsTest::bTapsABeatWhereTheMusicIsHeard()
{
    QFETCH(bool, device);
    QFETCH(int, offset);
    QFETCH(qint64, clockMs);
    QFETCH(int, buffers);
    QFETCH(int, expected);

    if (device) {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_folder->filePath(QStringLiteral("device.raw"))));
    }
    std::unique_ptr<ClockedStudioWindow> window = startStudio(offset);
    QVERIFY(window);
    StudioProbe probe(*window);
    if (device) {
        // The test plays the device's part: SDL calls back no more, the
        // music starts over from show time 0, and the window's frames, on
        // a clock that stands still, do not put it back in step.
        QVERIFY(probe.player().isStreaming());
        SDL_PauseAudioDevice(probe.player().device(), 1);
        probe.transport().setDriftLimit(1.0e9);
        probe.transport().seekTo(0.0, probe.now());
        QByteArray buffer(882 * 8, '\0');
        for (int i = 0; i < buffers; ++i) {
            QVERIFY(QTest::qWaitFor([&] { return probe.player().buffered() >= 882; }, 30000));
            probe.player().fill(reinterpret_cast<Uint8 *>(buffer.data()), buffer.size());
        }
    }
    window->advance(clockMs);
    QVERIFY(probe.press(Qt::Key_B));
    QList<int> withTap = QList<int>(fileBeats) << expected;
    std::sort(withTap.begin(), withTap.end());
    QCOMPARE(probe.edits().beats(), withTap);
    QVERIFY(probe.headsUpLine().contains(QStringLiteral("beats edited, unsaved")));
    if (offset != 0)
        QVERIFY(probe.headsUpLine().contains(QStringLiteral("audio offset %1%2 ms").arg(offset > 0 ? "+" : "").arg(offset)));
    // Never into the file: it holds what it held.
    QCOMPARE(beatsIn(m_music), fileBeats);
}

void StudioBeatsTest::beatsAreSelectedDeletedNudgedAndDraggedAndEveryEditUndoes()
{
    std::unique_ptr<ClockedStudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.press(Qt::Key_Space));

    // The middle beat, 1000 at show time 1.6, picked in its lane.
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, inBeatLane(probe, 1.6));
    QCOMPARE(probe.edits().selected(), 1);
    QTest::keyClick(window.get(), Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(probe.edits().beats(), (QList<int>{500, 1001, 1500}));
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(probe.edits().beats(), (QList<int>{500, 991, 1500}));

    // The beats that fire are the edited ones. From show time 1.5 (music
    // 1.875 s, clock 937.5) on for 250 ms of clock to 1.7 (clock 1062.5):
    // the beat at 991 fires, and once deleted no beat does.
    const auto lastFiredOnTheWayTo17 = [&] {
        probe.transport().seekTo(1.5, probe.now());
        QTest::keyClick(window.get(), Qt::Key_Space);
        window->advance(250);
        probe.transport().frame(probe.now());
        QTest::keyClick(window.get(), Qt::Key_Space);
        return probe.transport().lastBeat();
    };
    QCOMPARE(lastFiredOnTheWayTo17(), 991.0f);
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QCOMPARE(probe.edits().beats(), (QList<int>{500, 1500}));
    QCOMPARE(lastFiredOnTheWayTo17(), 937.5f);

    // The last beat dragged from show time 2.4 to 0.4 (clock 250): one edit
    // for the whole drag, the beat put in order.
    QTest::mousePress(window.get(), Qt::LeftButton, Qt::NoModifier, inBeatLane(probe, 2.4));
    QCOMPARE(probe.edits().selected(), 1);
    QTest::mouseMove(window.get(), inBeatLane(probe, 1.2));
    QTest::mouseMove(window.get(), inBeatLane(probe, 0.4));
    QTest::mouseRelease(window.get(), Qt::LeftButton, Qt::NoModifier, inBeatLane(probe, 0.4));
    const QList<int> dragged = probe.edits().beats();
    QCOMPARE(dragged.size(), 2);
    QCOMPARE(dragged[1], 500);
    // Where x lands is within a column of 0.4 s: 31.06 s over 640 columns
    // is 0.0485 s a column, 0.061 s of music, 31 clock units.
    QVERIFY2(std::abs(dragged[0] - 250) <= 31, qPrintable(QString::number(dragged[0])));
    QCOMPARE(probe.edits().selected(), 0);

    // Undone edit by edit, to the file's list; then all made again.
    const QList<QList<int>> states{fileBeats, {500, 1001, 1500}, {500, 991, 1500}, {500, 1500}, dragged};
    for (int i = states.size() - 1; i > 0; --i) {
        QCOMPARE(probe.edits().beats(), states[i]);
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(probe.edits().beats(), fileBeats);
    QVERIFY(!probe.headsUpLine().contains(QStringLiteral("unsaved")));
    for (int i = 1; i < states.size(); ++i) {
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(probe.edits().beats(), states[i]);
    }
}

void StudioBeatsTest::ctrlSSavesTheBeatsWhereTheShowReadsThem()
{
    std::unique_ptr<ClockedStudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    const QByteArray audio = MusicFiles::payload(musicFrames);
    window->advance(1000); // show time 0.8: music 1.0 s, clock 500 (already a beat)
    QVERIFY(probe.press(Qt::Key_B));
    QCOMPARE(probe.note(), QStringLiteral("a beat is at 1.000 s already"));
    window->advance(250); // show time 1.0: music 1.25 s, clock 625
    QVERIFY(probe.press(Qt::Key_B));
    QCOMPARE(probe.edits().beats(), (QList<int>{500, 625, 1000, 1500}));

    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(beatsIn(m_music), (QList<int>{500, 625, 1000, 1500}));
    QFile file(m_music);
    QVERIFY(file.open(QIODevice::ReadOnly));
    MusicFile::readBeatList(file);
    QCOMPARE(file.readAll(), audio);
    QVERIFY(!probe.headsUpLine().contains(QStringLiteral("unsaved")));
    QCOMPARE(QDir(m_folder->filePath(QString())).entryList({QStringLiteral(".music*")}, QDir::Files | QDir::Hidden),
             QStringList());

    // A second save after another edit goes through: the studio knows the
    // file it wrote.
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(beatsIn(m_music), fileBeats);
}

void StudioBeatsTest::aFileChangedOnDiskIsKeptAndQuittingWarnsOfTheUnsavedEdits_data()
{
    // The narrowest window the studio is used in, with and without the
    // heads-up line (H), and a wide one.
    addRows<bool, int, bool>({"byClose", "width", "headsUp"},
            {{"Escape", false, 640, true},
             {"the window manager's close", true, 640, true},
             {"Escape, no heads-up line", false, 640, false},
             {"Escape, 1280 wide", false, 1280, true}});
}

void StudioBeatsTest::aFileChangedOnDiskIsKeptAndQuittingWarnsOfTheUnsavedEdits()
{
    QFETCH(bool, byClose);
    QFETCH(int, width);
    QFETCH(bool, headsUp);
    std::unique_ptr<ClockedStudioWindow> window = startStudio(0, QSize(width, 360));
    QVERIFY(window);
    StudioProbe probe(*window);
    if (!headsUp)
        QVERIFY(probe.press(Qt::Key_H));
    window->advance(2500);
    QVERIFY(probe.press(Qt::Key_B));
    // Another program writes the file meanwhile (bmm pack, say).
    const QByteArray theirs = MusicFiles::head(1, {42}) + MusicFiles::payload(100);
    QVERIFY(MusicFiles::write(m_music, theirs));
    const auto fileHoldsTheirs = [&] {
        QFile file(m_music);
        return file.open(QIODevice::ReadOnly) && file.readAll() == theirs;
    };

    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(fileHoldsTheirs());
    QCOMPARE(probe.note(), m_music + QStringLiteral(": changed on disk since it was read: not saved"));
    QVERIFY(probe.headsUpLine().contains(QStringLiteral("beats edited, unsaved")));

    std::optional<StandardErrorCapture> err(std::in_place);
    QVERIFY(err->isCapturing());
    askToQuit(window.get(), byClose);
    QVERIFY(window->isVisible());
    const QString warning = probe.question();
    QVERIFY2(warning.startsWith(QStringLiteral("unsaved beat edits: Ctrl+S saves them")), qPrintable(warning));
    QVERIFY(warning.contains(QStringLiteral("quits without saving")));
    // The same line on standard error, once.
    QCOMPARE(QString::fromUtf8(err->text()), QStringLiteral("studio: %1\n").arg(warning));
    err.reset();

    // On screen it stands first, at the top left, in a box of its own that
    // the window holds whole: its lines, put together again, are the
    // warning, and each is as wide as the heads-up's font draws it, within
    // the box.
    QVERIFY(probe.waitForFrames(1));
    const QRect box = probe.questionBox();
    QVERIFY(!box.isEmpty());
    QVERIFY2(QRect(0, 0, width, 360).contains(box), qPrintable(QStringLiteral("%1 %2 %3 %4").arg(box.x())
             .arg(box.y()).arg(box.width()).arg(box.height())));
    QVERIFY(box.top() < 20);
    const QStringList lines = probe.questionLines();
    QCOMPARE(lines.join(QLatin1Char(' ')), warning);
    for (const QString &line : lines)
        QVERIFY2(window->headsUp().textWidth(line) < box.width(), qPrintable(line));
    // The warning's 99 characters, at about 8.4 pixels each in the
    // 14-pixel fixed font, take about 830 pixels: two lines in the 620 a
    // 640-pixel window leaves inside the margins, one at 1280.
    QCOMPARE(lines.size(), width < 900 ? 2 : 1);
    // The warning is no part of the heads-up line, which stands below it.
    QVERIFY(!probe.headsUpLine().contains(QStringLiteral("unsaved beat edits:")));

    // Two seconds and a millisecond later: the answer is no longer awaited
    // and the warning goes; a first ask again.
    window->advance(2001);
    QVERIFY(probe.question().isEmpty());
    askToQuit(window.get(), byClose);
    QVERIFY(window->isVisible());
    QCOMPARE(probe.question(), warning);
    // Within two seconds of that one: it quits, and saves nothing.
    window->advance(2000);
    askToQuit(window.get(), byClose);
    QVERIFY(!window->isVisible());
    QVERIFY(fileHoldsTheirs());
}

void StudioBeatsTest::withNothingUnsavedTheWindowManagersCloseQuitsAtOnce()
{
    std::unique_ptr<ClockedStudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    // An edit undone leaves nothing unsaved.
    window->advance(2500);
    QVERIFY(probe.press(Qt::Key_B));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    askToQuit(window.get(), true);
    QVERIFY(!window->isVisible());
}

void StudioBeatsTest::aClickInTheStripSeeksToTheTimeUnderIt()
{
    std::unique_ptr<ClockedStudioWindow> window = startStudio();
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(probe.press(Qt::Key_Space));
    // The whole strip: show time 0 to the show's end (30.56, later than the
    // music's 8 s) and half a second more, over the window's 640 pixels.
    // Column 320 is the middle: 15.53, to the float the show's end is.
    const QRectF area = probe.strip().area();
    QCOMPARE(area, QRectF(0, 360 - TimelineStrip::height, 640, TimelineStrip::height));
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(320, int(area.top()) + 40));
    QVERIFY(std::abs(probe.transport().timeline().at(probe.now()) - 15.53) < 1e-6);
    // At twice the pixels the strip is drawn at twice the pixels.
    const qreal ratio = window->devicePixelRatio();
    QCOMPARE(probe.strip().image().size(), QSize(qRound(640 * ratio), qRound(TimelineStrip::height * ratio)));
    // Outside the strip a click moves nothing.
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QVERIFY(std::abs(probe.transport().timeline().at(probe.now()) - 15.53) < 1e-6);
    // T takes the strip away, and its clicks with it.
    QVERIFY(probe.press(Qt::Key_T));
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, QPoint(32, int(area.top()) + 40));
    QVERIFY(std::abs(probe.transport().timeline().at(probe.now()) - 15.53) < 1e-6);
}

QTEST_MAIN(StudioBeatsTest)
#include "tst_studiobeats.moc"
