// The real show program with its music: it plays the payload to the device
// until the end of the show, and SIGINT and SIGTERM end it as Escape does.

#include "musicfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using MusicFiles::bufferBytes;
using MusicFiles::head;

namespace {

qint64 sizeOf(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace

class ProgramSoundTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void signalEndsThePlayingShowAtOnce_data();
    void signalEndsThePlayingShowAtOnce();
    void musicPlaysUntilTheShowEndsByItself();

private:
    void start(QProcess &show);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_deviceFile;
    QByteArray m_payload;
};

void ProgramSoundTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_deviceFile = m_dir->filePath(QStringLiteral("device.raw"));
    // Longer than the signal test lets the show play, so that all it played is music.
    m_payload = MusicFiles::payload(8 * 44100);
    QVERIFY(MusicFiles::write(m_dir->filePath(QStringLiteral("music.bmm")), head(3, {0, 250, 500}) + m_payload));
}

void ProgramSoundTest::start(QProcess &show)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    environment.insert(QStringLiteral("SDL_DISKAUDIOFILE"), m_deviceFile);
    show.setProcessEnvironment(environment);
    show.setWorkingDirectory(m_dir->path());
    show.start(QStringLiteral(SHOW_EXECUTABLE), QStringList());
}

void ProgramSoundTest::signalEndsThePlayingShowAtOnce_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT, as Ctrl-C sends it") << int(SIGINT);
}

void ProgramSoundTest::signalEndsThePlayingShowAtOnce()
{
    QFETCH(int, signal);

    QProcess show;
    start(show);
    QVERIFY(show.waitForStarted());
    // Playing: the device has had half a second of music.
    QVERIFY(QTest::qWaitFor([&] { return sizeOf(m_deviceFile) >= 25 * bufferBytes; }, 30000));

    // At once is well within the show's 38 s; the room is for a loaded
    // machine and a sanitizer build, whose last frame and shutdown are slow.
    constexpr int atOnceMs = 5000;
    QElapsedTimer ending;
    ending.start();
    QCOMPARE(::kill(pid_t(show.processId()), signal), 0);
    QVERIFY2(show.waitForFinished(atOnceMs), "the show did not end within five seconds");
    const QString log = QString::fromLocal8Bit(show.readAllStandardError());

    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QVERIFY2(show.exitCode() == 0, qPrintable(log.right(3000)));
    QVERIFY2(ending.elapsed() < atOnceMs, qPrintable(QString::number(ending.elapsed())));

    QFile device(m_deviceFile);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const QByteArray bytes = device.readAll();
    QCOMPARE(bytes.size() % bufferBytes, 0);
    const QByteArray played = MusicFiles::playedUntilClosed(bytes);
    QVERIFY(played.size() >= 20 * bufferBytes);
    QVERIFY(m_payload.startsWith(played)); // five and a half seconds at the most
}

void ProgramSoundTest::musicPlaysUntilTheShowEndsByItself()
{
    QProcess show;
    QElapsedTimer clock;
    clock.start();
    start(show);
    QVERIFY(show.waitForStarted());
    QVERIFY2(show.waitForFinished(90000), "the show did not quit by itself");
    const QString log = QString::fromLocal8Bit(show.readAllStandardError());

    QCOMPARE(show.exitStatus(), QProcess::NormalExit);
    QVERIFY2(show.exitCode() == 0, qPrintable(log.right(3000)));
    QVERIFY(clock.elapsed() >= 38200);

    // The payload, then silence for as long as the show ran on.
    QFile device(m_deviceFile);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const QByteArray bytes = device.readAll();
    const QByteArray played = bytes.mid(MusicFiles::silentBuffersBeforeTheFirstCallback(bytes) * bufferBytes);
    QVERIFY(played.startsWith(m_payload));
    QVERIFY(MusicFiles::allZero(played.mid(m_payload.size())));
    QVERIFY2(played.size() / bufferBytes >= 30 * 40, qPrintable(QString::number(played.size() / bufferBytes)));

    // Each beat once, in order.
    const QRegularExpression beatLine(QStringLiteral("(?m)^(\\d+) (\\d+)$"));
    QStringList fired;
    for (auto match = beatLine.globalMatch(log); match.hasNext();)
        fired << match.next().captured(1);
    QCOMPARE(fired, (QStringList{QStringLiteral("0"), QStringLiteral("250"), QStringLiteral("500")}));
}

QTEST_GUILESS_MAIN(ProgramSoundTest)
#include "tst_programsound.moc"
