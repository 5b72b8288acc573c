// The studio's music read ahead of the sound card on a thread of its own:
// the device's part (here played by the test, buffer by buffer) takes the
// music in order across many turns of the ring, a seek gives the music at
// its frame at once, frames taken before they were read are silence and
// skipped rather than shifting what follows, and a snippet while held
// plays its frames and then silence.

#include "musicfeed.h"
#include "musicfiles.h"
#include "musicplayer.h"

#include <QTemporaryDir>
#include <QtTest>

using MusicFiles::countedFrame;

namespace {

constexpr int bufferFrames = 882;

// The frames that a buffer holds, in order, as a counting payload tells
// them (-1 for silence); empty if any is something else.
QVector<qint64> framesIn(const QByteArray &bytes)
{
    QVector<qint64> frames;
    for (int offset = 0; offset + 8 <= bytes.size(); offset += 8) {
        const qint64 frame = countedFrame(bytes, offset);
        if (frame == -2)
            return {};
        frames << frame;
    }
    return frames;
}

QVector<qint64> run(qint64 first, int count)
{
    QVector<qint64> frames;
    for (int i = 0; i < count; ++i)
        frames << first + i;
    return frames;
}

QVector<qint64> silence(int count)
{
    return QVector<qint64>(count, -1);
}

} // namespace

class MusicFeedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void theMusicComesInOrderRoundTheRing();
    void aSeekGivesTheMusicThereAtOnce();
    void framesTakenBeforeTheyAreReadAreSilenceAndSkipped();
    void aSnippetPlaysItsFramesAndThenSilence();
    void aSeekOnAPlayingDeviceMovesThePositionWithTheMusic();

private:
    // Takes a buffer once the reader has read it.
    QByteArray takeWhenRead(MusicFeed &feed, int frames);

    QTemporaryDir m_dir;
    QString m_path;
    // Ten seconds of music, each frame telling its number.
    static constexpr int musicFrames = 441000;
};

void MusicFeedTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("music.bmm"));
    QVERIFY(MusicFiles::write(m_path, MusicFiles::head(1, {500}) + MusicFiles::countingPayload(musicFrames)));
}

QByteArray MusicFeedTest::takeWhenRead(MusicFeed &feed, int frames)
{
    QByteArray bytes(frames * 8, '\x55');
    if (!QTest::qWaitFor([&] { return feed.buffered() >= frames; }, 30000))
        return {};
    feed.take(bytes.data(), frames);
    return bytes;
}

void MusicFeedTest::theMusicComesInOrderRoundTheRing()
{
    MusicFeed feed;
    QCOMPARE(feed.open(m_path), QString());
    QCOMPARE(feed.beats(), QList<int>{500});
    QCOMPARE(feed.frames(), qint64(musicFrames));
    // 200 buffers: over five turns of the ring.
    for (int buffer = 0; buffer < 200; ++buffer)
        QCOMPARE(framesIn(takeWhenRead(feed, bufferFrames)), run(qint64(buffer) * bufferFrames, bufferFrames));
}

void MusicFeedTest::aSeekGivesTheMusicThereAtOnce()
{
    MusicFeed feed;
    QCOMPARE(feed.open(m_path), QString());
    QVERIFY(!takeWhenRead(feed, bufferFrames).isEmpty());
    // Without waiting for the reader: what the seek read itself.
    feed.restartAt(300000, 0);
    QVERIFY(feed.buffered() >= MusicFeed::primeFrames);
    QByteArray bytes(MusicFeed::primeFrames * 8, '\x55');
    QCOMPARE(feed.take(bytes.data(), MusicFeed::primeFrames), MusicFeed::primeFrames);
    QCOMPARE(framesIn(bytes), run(300000, MusicFeed::primeFrames));
    // Before the music and past its end, silence, read like the rest.
    feed.restartAt(-100, 0);
    QCOMPARE(feed.take(bytes.data(), 200), 200);
    QCOMPARE(framesIn(bytes.left(200 * 8)), silence(100) + run(0, 100));
    feed.restartAt(musicFrames - 10, 0);
    QCOMPARE(feed.take(bytes.data(), 20), 20);
    QCOMPARE(framesIn(bytes.left(20 * 8)), run(musicFrames - 10, 10) + silence(10));
}

void MusicFeedTest::framesTakenBeforeTheyAreReadAreSilenceAndSkipped()
{
    MusicFeed feed;
    QCOMPARE(feed.open(m_path), QString());
    // More than the ring can hold at once: the frames beyond what was read
    // are silence, and the music goes on after them where it stands.
    const int asked = MusicFeed::ringFrames + 5000;
    QByteArray bytes(asked * 8, '\x55');
    const int music = feed.take(bytes.data(), asked);
    QVERIFY(music >= MusicFeed::primeFrames && music <= MusicFeed::ringFrames);
    QCOMPARE(framesIn(bytes), run(0, music) + silence(asked - music));
    QCOMPARE(framesIn(takeWhenRead(feed, bufferFrames)), run(asked, bufferFrames));
}

void MusicFeedTest::aSnippetPlaysItsFramesAndThenSilence()
{
    MusicPlayer player;
    QCOMPARE(player.open(m_path), QString());
    player.setPlaying(false);
    // A sixtieth of a second of music from frame 50000, then nothing more.
    player.playSnippet(50000, 735);
    QByteArray bytes(bufferFrames * 8, '\x55');
    player.fill(reinterpret_cast<Uint8 *>(bytes.data()), bytes.size());
    QCOMPARE(framesIn(bytes), run(50000, 735) + silence(bufferFrames - 735));
    player.fill(reinterpret_cast<Uint8 *>(bytes.data()), bytes.size());
    QCOMPARE(framesIn(bytes), silence(bufferFrames));
    QCOMPARE(player.position(), qint64(50735));
    // Playing again, the music goes on from a seek.
    player.seek(1000);
    player.setPlaying(true);
    player.fill(reinterpret_cast<Uint8 *>(bytes.data()), bytes.size());
    QCOMPARE(framesIn(bytes), run(1000, bufferFrames));
}

void MusicFeedTest::aSeekOnAPlayingDeviceMovesThePositionWithTheMusic()
{
    // A real device, on SDL's disk driver with no delay between buffers:
    // it calls back flat out (for a moment), so that nearly every seek
    // meets a callback. After a seek the device's first buffer starts at
    // the frame sought, and every buffer after it moves the position on by
    // its length (music, or silence where the reader fell behind). A seek
    // that lets a callback in before the ring holds the music there plays
    // silence in its place and shifts the music by a buffer; one that moves
    // the position and the ring apart lets a callback between them play a
    // buffer of the old music and count it: the position then runs a
    // buffer ahead of the sound.
    const QString output = m_dir.filePath(QStringLiteral("device.raw"));
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(output));
    qputenv("SDL_DISKAUDIODELAY", "0");
    MusicPlayer player;
    QCOMPARE(player.open(m_path), QString());
    player.setPlaying(true);
    const auto waitForBuffers = [&](int count) {
        const qint64 until = player.buffers() + count;
        return QTest::qWaitFor([&] { return player.buffers() >= until; }, 20000);
    };
    for (int seek = 0; seek < 100; ++seek) {
        QCOMPARE(player.startDevice(), QString());
        QVERIFY(waitForBuffers(2));
        // Frames spread over the music, none near another.
        const qint64 to = (qint64(seek) * 7919 % 97) * 4000 + 1000;
        player.seek(to);
        QVERIFY(waitForBuffers(3));
        // Closing waits for a callback that runs; none comes after it.
        player.closeDevice();

        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray played = file.readAll();
        qint64 at = played.size() - bufferFrames * 8;
        while (at >= 0 && countedFrame(played, at) != to)
            at -= bufferFrames * 8;
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("seek %1 to %2: no buffer starts there").arg(seek).arg(to)));
        qint64 buffersSince = (played.size() - at) / (bufferFrames * 8);
        // A device closed between its callbacks plays one last buffer of
        // silence of its own, which no callback counted.
        const qint64 lastAt = played.size() - bufferFrames * 8;
        if (player.position() < to + buffersSince * bufferFrames && lastAt > at
                && MusicFiles::allZero(played.mid(lastAt)))
            --buffersSince;
        QVERIFY2(player.position() == to + buffersSince * bufferFrames,
                 qPrintable(QStringLiteral("seek %1 to %2: %3 buffers played from there, the position is %4")
                            .arg(seek).arg(to).arg(buffersSince).arg(player.position())));
    }
}

QTEST_GUILESS_MAIN(MusicFeedTest)
#include "tst_musicfeed.moc"
