// The real show program, started as a user starts it, with an option it does
// not know and its music: it plays the payload to the device and fires the
// beats until it quits by itself, and SIGINT and SIGTERM end it as Escape does.

#include "datarows.h"
#include "musicfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <optional>

using MusicFiles::bufferBytes;

class ShowProgramTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalEndsThePlayingShowAtOnce_data();
    void signalEndsThePlayingShowAtOnce();
    void runsItsCourseWithItsMusicAndQuitsByItself();

private:
    void start(QProcess &show);
    QByteArray played() const;

    // The show's working folder holds its music file alone; the device's
    // file lies elsewhere.
    std::optional<QTemporaryDir> m_folder;
    std::optional<QTemporaryDir> m_device;
    QByteArray m_payload;
};

void ShowProgramTest::init()
{
    m_folder.emplace();
    m_device.emplace();
    QVERIFY(m_folder->isValid() && m_device->isValid());
    // Longer than the signal test lets the show play, so that all it played is music.
    m_payload = MusicFiles::payload(8 * 44100);
    QVERIFY(MusicFiles::write(m_folder->filePath(QStringLiteral("music.bmm")),
                              MusicFiles::head(3, {0, 250, 500}) + m_payload));
}

void ShowProgramTest::start(QProcess &show)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), m_device->filePath(QStringLiteral("device.raw")));
    show.setProcessEnvironment(environment);
    show.setWorkingDirectory(m_folder->path());
    show.start(QStringLiteral(SHOW_EXECUTABLE), {QStringLiteral("--an-option-nobody-knows")});
}

QByteArray ShowProgramTest::played() const
{
    QFile device(m_device->filePath(QStringLiteral("device.raw")));
    return device.open(QIODevice::ReadOnly) ? device.readAll() : QByteArray();
}

void ShowProgramTest::signalEndsThePlayingShowAtOnce_data()
{
    addRows<int>({"signal"}, {{"SIGTERM", int(SIGTERM)}, {"SIGINT, as Ctrl-C sends it", int(SIGINT)}});
}

void ShowProgramTest::signalEndsThePlayingShowAtOnce()
{
    QFETCH(int, signal);

    QProcess show;
    start(show);
    QVERIFY(show.waitForStarted());
    // Playing: the device has had half a second of music.
    const QString device = m_device->filePath(QStringLiteral("device.raw"));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(device).size() >= 25 * bufferBytes; }, 30000));

    // At once is well within the show's 38 s, which the sound below would
    // show; the room is for a loaded machine and a sanitizer build, whose
    // last frame and shutdown are slow.
    QCOMPARE(::kill(pid_t(show.processId()), signal), 0);
    QVERIFY2(show.waitForFinished(15000), "the show did not end within 15 seconds");
    const QString log = QString::fromLocal8Bit(show.readAllStandardError());
    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QVERIFY2(show.exitCode() == 0, qPrintable(log.right(3000)));

    const QByteArray bytes = played();
    QCOMPARE(bytes.size() % bufferBytes, 0);
    const QByteArray music = MusicFiles::playedUntilClosed(bytes);
    QVERIFY(music.size() >= 20 * bufferBytes);
    QVERIFY(m_payload.startsWith(music)); // not past the payload's 8 s
}

void ShowProgramTest::runsItsCourseWithItsMusicAndQuitsByItself()
{
    QProcess show;
    QElapsedTimer clock;
    clock.start();
    start(show);
    QVERIFY(show.waitForStarted());
    QVERIFY2(show.waitForFinished(90000), "the show did not quit by itself");
    const qint64 ran = clock.elapsed();
    const QString log = QString::fromLocal8Bit(show.readAllStandardError());

    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QVERIFY2(show.exitCode() == 0, qPrintable(log.right(3000)));
    // Never early: its timer has to pass 38.2 s.
    QVERIFY2(ran >= 38200, qPrintable(QString::number(ran)));

    // Report lines come in pairs: the frame count, then the show timer's seconds.
    const QRegularExpression countLine(QStringLiteral("^\\d+$"));
    const QRegularExpression secondsLine(QStringLiteral("^\\d+\\.\\d+$"));
    const QStringList lines = log.split('\n', Qt::SkipEmptyParts);
    QStringList seconds;
    for (int i = 0; i + 1 < lines.size(); ++i) {
        if (countLine.match(lines[i]).hasMatch() && secondsLine.match(lines[i + 1]).hasMatch()) {
            QVERIFY(lines[i].toInt() > 0);
            seconds << lines[++i];
        }
    }
    QVERIFY2(seconds.size() >= 30, qPrintable(log.left(2000)));
    // The last report comes within the last second of the show, or from the
    // very frame that ends it, just past 38.2 s.
    QVERIFY2(seconds.last().toDouble() >= 37.2 && seconds.last().toDouble() < 39.2, qPrintable(seconds.last()));

    // Each beat once, in order.
    const QRegularExpression beatLine(QStringLiteral("(?m)^(\\d+) (\\d+)$"));
    QStringList fired;
    for (auto match = beatLine.globalMatch(log); match.hasNext();)
        fired << match.next().captured(1);
    QCOMPARE(fired, (QStringList{QStringLiteral("0"), QStringLiteral("250"), QStringLiteral("500")}));

    // The payload, then silence for as long as the show ran on: 24 s of
    // buffers at least, even on a machine that holds up the disk driver.
    const QByteArray bytes = played();
    const QByteArray music = bytes.mid(MusicFiles::silentBuffersBeforeTheFirstCallback(bytes) * bufferBytes);
    QVERIFY(music.startsWith(m_payload));
    QVERIFY(MusicFiles::allZero(music.mid(m_payload.size())));
    QVERIFY2(music.size() / bufferBytes >= 24 * 50, qPrintable(QString::number(music.size() / bufferBytes)));

    // Nothing is left behind in its folder.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{QStringLiteral("music.bmm")});
}

QTEST_GUILESS_MAIN(ShowProgramTest)
#include "tst_showprogram.moc"
