// Sound: the music file's payload streamed to a real SDL device (the disk
// driver writes every byte a callback delivers into a file), the audio clock
// the callbacks keep, and the beats that fire from it.

#include "datarows.h"
#include "logcapture.h"
#include "musicfiles.h"
#include "windowprobe.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using MusicFiles::allZero;
using MusicFiles::bufferBytes;
using MusicFiles::head;

namespace {

QStringList beatLines(const LogCapture &log)
{
    return log.debugLines().filter(QRegularExpression(QStringLiteral("^-?\\d+ ")));
}

} // namespace

class AudioTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deviceReceivesThePayloadThenSilenceAndTheClockTenPerBuffer_data();
    void deviceReceivesThePayloadThenSilenceAndTheClockTenPerBuffer();
    void clockRunsAtAbout500ASecondOfPlayback();
    void withoutADeviceTheShowRunsSilentAndSaysWhy_data();
    void withoutADeviceTheShowRunsSilentAndSaysWhy();
    void beatsFireInListOrderOnceTheClockReachesThem();
    void escapeWhilePlayingEndsTheShowAndClosesTheDevice();
    void windowReadsOnlyARegularMusicFile_data();
    void windowReadsOnlyARegularMusicFile();

private:
    // A window that plays into the disk driver's file, from the test's folder.
    std::unique_ptr<Window> startShow(const QByteArray &driver = QByteArrayLiteral("disk"),
                                      const QString &deviceFile = QString());
    static bool waitForClock(Window &window, float clock);
    QByteArray received() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
    QString m_deviceFile;
};

void AudioTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_deviceFile = m_dir->filePath(QStringLiteral("device.raw"));
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void AudioTest::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

std::unique_ptr<Window> AudioTest::startShow(const QByteArray &driver, const QString &deviceFile)
{
    // The audio subsystem reads these each time a window starts it.
    qputenv("SDL_AUDIODRIVER", driver);
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(deviceFile.isEmpty() ? m_deviceFile : deviceFile));
    auto window = std::make_unique<Window>();
    if (!WindowProbe::showAndWaitForFirstFrame(*window))
        return nullptr;
    return window;
}

bool AudioTest::waitForClock(Window &window, float clock)
{
    WindowProbe probe(window);
    return QTest::qWaitFor([&] { return probe.elapsed().load() >= clock; }, 20000);
}

QByteArray AudioTest::received() const
{
    QFile file(m_deviceFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void AudioTest::deviceReceivesThePayloadThenSilenceAndTheClockTenPerBuffer_data()
{
    const QByteArray second = MusicFiles::payload(44100);
    // With keys pressed while it plays: neither a gap nor a restart.
    addRows<QByteArray, int, bool>({"music", "payloadOffset", "keys"},
            {{"three beats and a second of audio", head(3, {50, 100, 150}) + second, 16, false},
             {"keys leave the music and the clock running", head(0, {}) + second, 4, true},
             {"a trailing partial frame goes out as it is",
              head(1, {0}) + MusicFiles::payload(1000) + QByteArray("\x11\x22\x33", 3), 8, false},
             {"count 0: the payload from offset 4", head(0, {}) + second, 4, false},
             {"count 0 and nothing else: silence", head(0, {}), 4, false},
             {"a truncated list: silence", head(5, {50, 100}) + QByteArray("\x01\x02", 2), 14, false},
             {"no music file: silence", QByteArray(), 0, false}});
}

void AudioTest::deviceReceivesThePayloadThenSilenceAndTheClockTenPerBuffer()
{
    QFETCH(QByteArray, music);
    QFETCH(int, payloadOffset);
    QFETCH(bool, keys);
    if (!music.isEmpty())
        QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"), music));
    const QByteArray payload = music.mid(payloadOffset);

    LogCapture log;
    std::unique_ptr<Window> window = startShow();
    QVERIFY(window);
    WindowProbe probe(*window);
    QVERIFY(probe.device() != 0);
    if (keys) {
        QVERIFY(waitForClock(*window, 100.0f));
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Up, Qt::Key_Left, Qt::Key_Space})
            QTest::keyClick(window.get(), key);
    }
    // Well past the payload's end.
    QVERIFY(waitForClock(*window, 10.0f * (payload.size() / bufferBytes + 10)));
    probe.closeAudio();
    const float clock = probe.elapsed().load();

    const QByteArray bytes = received();
    QCOMPARE(bytes.size() % bufferBytes, 0);
    const int buffers = bytes.size() / bufferBytes;
    if (payload.isEmpty()) {
        QVERIFY(allZero(bytes));
        // Some of the silence may have been the paused device's own.
        QVERIFY2(clock <= 10.0f * float(buffers) && clock >= 10.0f * float(buffers - 2),
                 qPrintable(QStringLiteral("clock %1 after %2 buffers").arg(clock).arg(buffers)));
    } else {
        const int paused = MusicFiles::silentBuffersBeforeTheFirstCallback(bytes);
        QVERIFY(paused <= 2);
        const QByteArray played = bytes.mid(paused * bufferBytes);
        QVERIFY(played.size() > payload.size());
        QVERIFY(played.startsWith(payload));
        QVERIFY(allZero(played.mid(payload.size())));
        QCOMPARE(clock, 10.0f * float(buffers - paused));
    }
    // A closed music file is never read: no warning on every callback.
    QCOMPARE(log.warnings().filter(QStringLiteral("QIODevice")), QStringList());
}

void AudioTest::clockRunsAtAbout500ASecondOfPlayback()
{
    QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"), head(0, {}) + MusicFiles::payload(3 * 44100)));
    std::unique_ptr<Window> window = startShow();
    QVERIFY(window);
    WindowProbe probe(*window);

    // 1000 units of clock are 100 buffers of 882 frames at 44100 a second,
    // 20 ms each: 2 s of playback (4 s at half the rate). The driver paces
    // itself by the clock of the machine; a busy machine calls back late,
    // never early.
    QVERIFY(waitForClock(*window, 10.0f));
    const float start = probe.elapsed().load();
    QElapsedTimer wall;
    wall.start();
    QVERIFY(waitForClock(*window, start + 1000.0f));
    QVERIFY2(wall.elapsed() >= 1900 && wall.elapsed() < 3600, qPrintable(QString::number(wall.elapsed())));
}

void AudioTest::withoutADeviceTheShowRunsSilentAndSaysWhy_data()
{
    addRows<QByteArray, QString, QString>({"driver", "deviceFile", "warning"},
            {{"no such driver: the audio does not start", QByteArray("no-such-driver"), QString(),
              "cannot start the audio: Audio target 'no-such-driver' not available; the show runs silent"},
             {"the device does not open", QByteArray("disk"), "no-such-folder/device.raw",
              "cannot open the audio device: Couldn't open no-such-folder/device.raw; the show runs silent"}});
}

void AudioTest::withoutADeviceTheShowRunsSilentAndSaysWhy()
{
    QFETCH(QByteArray, driver);
    QFETCH(QString, deviceFile);
    QFETCH(QString, warning);

    QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"), head(2, {0, 10}) + MusicFiles::payload(44100)));
    LogCapture log;
    std::unique_ptr<Window> window = startShow(driver, deviceFile);
    QVERIFY(window);
    WindowProbe probe(*window);

    // The show goes on: frames keep coming.
    QSignalSpy frames(window.get(), &QOpenGLWindow::frameSwapped);
    QVERIFY(QTest::qWaitFor([&frames] { return frames.count() >= 10; }, 20000));

    QCOMPARE(probe.device(), SDL_AudioDeviceID(0));
    QCOMPARE(probe.elapsed().load(), 0.0f);
    QCOMPARE(beatLines(log), QStringList{QStringLiteral("0 0")});
    QVERIFY(!QFile::exists(m_deviceFile));
    // One warning, with SDL's reason.
    QCOMPARE(log.warnings().filter(QStringLiteral("silent")).size(), 1);
    QVERIFY2(log.warnings().filter(QStringLiteral("silent")).first().startsWith(warning),
             qPrintable(log.warnings().join('\n')));
}

void AudioTest::beatsFireInListOrderOnceTheClockReachesThem()
{
    // -5 never fires, 0 fires on the first frame, the second 50 repeats the
    // first, and 95 follows 100: the clock steps from 90 to 100 past both.
    const QList<int> beats{-5, 0, 20, 50, 50, 100, 95, 300};
    QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"), head(quint32(beats.size()), beats) + MusicFiles::payload(44100)));

    LogCapture log;
    std::unique_ptr<Window> window = startShow();
    QVERIFY(window);
    WindowProbe probe(*window);
    QCOMPARE(probe.beats(), beats);
    QVERIFY(waitForClock(*window, 400.0f));
    // Frames see the clock past the last beat, however slow they come.
    QVERIFY(QTest::qWaitFor([&probe] { return probe.last() >= 300.0f; }, 20000));
    probe.closeAudio();

    const QStringList lines = beatLines(log);
    const QList<int> fired{0, 20, 50, 100, 300};
    QCOMPARE(lines.size(), fired.size());
    float previousClock = 0.0f;
    for (int i = 0; i < fired.size(); ++i) {
        const QStringList fields = lines[i].split(QLatin1Char(' '));
        QCOMPARE(fields.size(), 2);
        QCOMPARE(fields[0].toInt(), fired[i]);
        const float clock = fields[1].toFloat();
        QVERIFY2(clock >= float(fired[i]), qPrintable(lines[i]));
        QVERIFY2(clock >= previousClock, qPrintable(lines[i]));
        QCOMPARE(std::fmod(clock, 10.0f), 0.0f); // the clock moves in whole callbacks
        previousClock = clock;
    }
    QCOMPARE(probe.last(), 300.0f);
}

void AudioTest::escapeWhilePlayingEndsTheShowAndClosesTheDevice()
{
    const QByteArray payload = MusicFiles::payload(5 * 44100);
    QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"), head(1, {100}) + payload));
    std::unique_ptr<Window> window = startShow();
    QVERIFY(window);
    QVERIFY(waitForClock(*window, 200.0f));

    QTimer::singleShot(0, window.get(), [&window] { QTest::keyClick(window.get(), Qt::Key_Escape); });
    QElapsedTimer quitting;
    quitting.start();
    QCOMPARE(QCoreApplication::exec(), 0);
    // At once, with room for a loaded machine: the show would run for 38 s.
    QVERIFY2(quitting.elapsed() < 3000, qPrintable(QString::number(quitting.elapsed())));

    // The callbacks were still streaming when the window went.
    window.reset();
    const QByteArray bytes = received();
    const QByteArray played = MusicFiles::playedUntilClosed(bytes);
    QVERIFY(played.size() >= 20 * bufferBytes);
    QVERIFY(played.size() < payload.size());
    QVERIFY(payload.startsWith(played));
}

void AudioTest::windowReadsOnlyARegularMusicFile_data()
{
    addRows<QString, QList<int>, bool>({"kind", "beats", "open"},
            {{"a regular file", "file", QList<int>{100, 200}, true},
             {"a link to a regular file", "link", QList<int>{100, 200}, true},
             {"no file", "none", QList<int>{}, false},
             {"a directory", "directory", QList<int>{}, false},
             {"a FIFO, which would block the start", "fifo", QList<int>{}, false}});
}

void AudioTest::windowReadsOnlyARegularMusicFile()
{
    QFETCH(QString, kind);
    QFETCH(QList<int>, beats);
    QFETCH(bool, open);

    const QString music = QStringLiteral("music.bmm");
    const QByteArray content = head(2, {100, 200}) + MusicFiles::payload(10);
    if (kind == QLatin1String("file")) {
        QVERIFY(MusicFiles::write(music, content));
    } else if (kind == QLatin1String("link")) {
        QVERIFY(MusicFiles::write(QStringLiteral("track.bmm"), content));
        QVERIFY(QFile::link(QStringLiteral("track.bmm"), music));
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QDir().mkdir(music));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(music).constData(), 0600), 0);
    }

    Window window;
    WindowProbe probe(window);
    QCOMPARE(probe.beats(), beats);
    QCOMPARE(probe.file().isOpen(), open);
    if (open)
        QCOMPARE(probe.file().pos(), qint64(12)); // right after the list
}

QTEST_MAIN(AudioTest)
#include "tst_audio.moc"
