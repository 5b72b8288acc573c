// The studio's music on a real SDL device (the disk driver writes every
// buffer the device plays into a file): the keys move it with the picture,
// from the very next buffer; it is silent before 0 and while held; beats
// fire from what the device was given, again after seeking back; and music
// that fell behind the picture is put back in step.

#include "musicfiles.h"
#include "studioprobe.h"

#include <QtTest>

#include <optional>

using MusicFiles::bufferBytes;
using MusicFiles::countedFrame;

namespace {

constexpr int framesPerBuffer = 882;
constexpr int musicFrames = 44100 * 40;

// A stretch of the device's output: silence, or the music running on from
// a frame, buffer after buffer.
struct Run
{
    qint64 from; // -1: silence
    int buffers;
};

// The device's output as runs, or an empty list with why when a buffer is
// neither silence nor the music in order.
QList<Run> runsOf(const QByteArray &output, QString *why)
{
    QList<Run> runs;
    for (qint64 at = 0; at + bufferBytes <= output.size(); at += bufferBytes) {
        const qint64 first = countedFrame(output, at);
        for (int i = 1; i < framesPerBuffer; ++i) {
            const qint64 frame = countedFrame(output, at + 8 * i);
            if (first == -2 || frame != (first < 0 ? -1 : first + i)) {
                *why = QStringLiteral("buffer %1 is broken at frame %2").arg(at / bufferBytes).arg(i);
                return {};
            }
        }
        const bool runsOn = !runs.isEmpty()
                && (first < 0 ? runs.last().from < 0
                              : runs.last().from >= 0 && first == runs.last().from + runs.last().buffers * framesPerBuffer);
        if (runsOn)
            ++runs.last().buffers;
        else
            runs << Run{first, 1};
    }
    return runs;
}

QString describe(const QList<qint64> &starts)
{
    QStringList parts;
    for (const qint64 start : starts)
        parts << (start < 0 ? QStringLiteral("silence") : QString::number(start));
    return parts.join(QStringLiteral(", "));
}

QString describe(const QList<Run> &runs)
{
    QStringList parts;
    for (const Run &run : runs)
        parts << (run.from < 0 ? QStringLiteral("silence x%1").arg(run.buffers)
                               : QStringLiteral("%1 x%2").arg(run.from).arg(run.buffers));
    return parts.join(QStringLiteral(", "));
}

} // namespace

class StudioSoundTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keysMoveTheMusicWithThePictureFromTheNextBuffer();
    void beatFiresFromTheDevicesPositionAndAgainAfterSeekingBack();
    void musicThatFellBehindIsPutBackInStep();

private:
    std::unique_ptr<StudioWindow> startStudio(const QList<int> &beats, bool clocked = false);
    bool waitForBuffers(StudioProbe &probe, int count);
    QByteArray output() const;

    std::optional<StudioFolder> m_folder;
};

void StudioSoundTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"), StudioProbe::plainStage("0.2, 0.4, 0.6, 1.0")));
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_folder->filePath(QStringLiteral("device.raw"))));
}

void StudioSoundTest::cleanup()
{
    m_folder.reset();
}

std::unique_ptr<StudioWindow> StudioSoundTest::startStudio(const QList<int> &beats, bool clocked)
{
    if (!MusicFiles::write(QStringLiteral("music.bmm"),
                           MusicFiles::head(quint32(beats.size()), beats) + MusicFiles::countingPayload(musicFrames)))
        return nullptr;
    StudioOptions options;
    options.size = QSize(160, 90);
    std::unique_ptr<StudioWindow> window = StudioProbe::started(
            std::unique_ptr<StudioWindow>(clocked ? new ClockedStudioWindow(options) : new StudioWindow(options)), false);
    return window && StudioProbe(*window).player().isStreaming() ? std::move(window) : nullptr;
}

bool StudioSoundTest::waitForBuffers(StudioProbe &probe, int count)
{
    const qint64 until = probe.player().buffers() + count;
    return QTest::qWaitFor([&] { return probe.player().buffers() >= until; }, 20000);
}

QByteArray StudioSoundTest::output() const
{
    QFile file(m_folder->filePath(QStringLiteral("device.raw")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void StudioSoundTest::keysMoveTheMusicWithThePictureFromTheNextBuffer()
{
    // The picture stands still on a clock the test holds, so that only the
    // keys move it, and the music with it; nothing puts the music back in step.
    std::unique_ptr<StudioWindow> window = startStudio({}, true);
    QVERIFY(window);
    StudioProbe probe(*window);
    probe.transport().setDriftLimit(1e6);
    QVERIFY(waitForBuffers(probe, 5));

    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Left, Qt::Key_Return, Qt::Key_Down, Qt::Key_Right,
                              Qt::Key_Up, Qt::Key_Space, Qt::Key_Space}) {
        QTest::keyClick(window.get(), key);
        QVERIFY(waitForBuffers(probe, 4));
    }
    probe.player().closeDevice();

    // Where the music runs from after each key (silence: -1): a second of show
    // time is 55125 frames of music. From 0: Right to 1 s, Up to 11 s, Left to
    // 10 s, Return to 0, Down to -10 s and Right to -9 s before the music,
    // Up to 1 s, Space held, Space on from 1 s.
    const QList<qint64> expected{0, 55125, 606375, 551250, 0, -1, 55125, -1, 55125};
    QString why;
    QList<Run> runs = runsOf(output(), &why);
    QVERIFY2(!runs.isEmpty(), qPrintable(why));
    // The device plays silence until the first picture starts the music.
    if (runs.first().from < 0)
        runs.removeFirst();
    QList<qint64> starts;
    for (const Run &run : qAsConst(runs))
        starts << run.from;
    QVERIFY2(starts == expected, qPrintable(QStringLiteral("played %1; expected runs from %2")
                                            .arg(describe(runs), describe(expected))));
}

void StudioSoundTest::beatFiresFromTheDevicesPositionAndAgainAfterSeekingBack()
{
    // A beat 1.5 s into the music.
    std::unique_ptr<StudioWindow> window = startStudio({750});
    QVERIFY(window);
    StudioProbe probe(*window);
    probe.transport().setDriftLimit(1e6);

    QVERIFY(QTest::qWaitFor([&] { return probe.transport().lastBeat() == 750.0f; }, 20000));
    // It fired from what the device had been given by then.
    QVERIFY(probe.player().position() >= 66150);

    // 2 s of show time back is 2.5 s of music back: before the beat, which fires again.
    QTest::keyClick(window.get(), Qt::Key_Left);
    QTest::keyClick(window.get(), Qt::Key_Left);
    QVERIFY(probe.player().position() < 66150);
    QVERIFY(probe.transport().lastBeat() < 750.0f);
    QVERIFY(QTest::qWaitFor([&] { return probe.transport().lastBeat() == 750.0f; }, 20000));
    QVERIFY(probe.player().position() >= 66150);
}

void StudioSoundTest::musicThatFellBehindIsPutBackInStep()
{
    std::unique_ptr<StudioWindow> window = startStudio({});
    QVERIFY(window);
    StudioProbe probe(*window);
    QVERIFY(waitForBuffers(probe, 3));

    // A second behind the picture, as a stalled device would leave it.
    probe.player().seek(probe.player().position() - 44100);
    QVERIFY(probe.waitForFrames(2));
    const qint64 expected = Transport::musicFrame(probe.transport().timeline().at(probe.now()));
    // Within the limit, and a few buffers the device may have run ahead.
    QVERIFY2(std::abs(probe.player().position() - expected) <= 4410 + 5 * framesPerBuffer,
             qPrintable(QStringLiteral("music at %1, picture at %2").arg(probe.player().position()).arg(expected)));
}

QTEST_MAIN(StudioSoundTest)
#include "tst_studiosound.moc"
