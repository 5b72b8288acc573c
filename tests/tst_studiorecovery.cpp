// Nothing a maker edits is lost: Ctrl-C and SIGTERM, which cannot ask, keep
// the studio's unsaved beat edits beside the music file as beat text that
// bmm pack --beats reads, and say so in one line; the next start on that
// file takes them back as unsaved edits, in one line; a save or edits given
// up deliberately (Escape twice) remove the file; one that cannot be read is
// said and left alone.

#include "beatstext.h"
#include "datarows.h"
#include "failure.h"
#include "musicfile.h"
#include "musicfiles.h"
#include "processrun.h"
#include "studioprobe.h"

#include <QProcess>
#include <QtTest>

#include <csignal>
#include <optional>

namespace {

// Beats at 1 and 2 s of music in the file (clock 500 and 1000); kept edits
// of 1 and 1.5 s (500 and 750), as a maker might have left them.
const QList<int> fileBeats{500, 1000};
const QList<int> keptBeats{500, 750};
const QByteArray keptText = "# beat times in seconds\n1.000\n1.500\n";

QList<int> beatsIn(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? MusicFile::readBeatList(file) : QList<int>{-999};
}

// As bmm pack --beats reads them; {-999} when it refuses the file.
QList<int> beatsTextIn(const QString &path)
{
    try {
        return readBeatsText(path);
    } catch (const Failure &) {
        return {-999};
    }
}

} // namespace

class StudioRecoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aSignalKeepsTheUnsavedEditsAndTheNextStartTakesThemBack_data();
    void aSignalKeepsTheUnsavedEditsAndTheNextStartTakesThemBack();
    void keptEditsComeBackUnsavedAndGoOnceSavedOrGivenUp_data();
    void keptEditsComeBackUnsavedAndGoOnceSavedOrGivenUp();

private:
    QString recoveryPath() const { return m_folder->filePath(QStringLiteral("music.bmm.unsaved-beats")); }

    std::optional<StudioFolder> m_folder;
};

void StudioRecoveryTest::init()
{
    m_folder.emplace();
    QVERIFY(m_folder->isReady());
    QVERIFY(StudioProbe::writeInPlace(QStringLiteral("shaders/shader.frag"),
                                      StudioProbe::plainStage("0.0, 0.5, 0.5, 1.0")));
    QVERIFY(MusicFiles::write(QStringLiteral("music.bmm"),
                              MusicFiles::head(2, fileBeats) + MusicFiles::payload(44100)));
}

void StudioRecoveryTest::cleanup()
{
    m_folder.reset();
}

void StudioRecoveryTest::aSignalKeepsTheUnsavedEditsAndTheNextStartTakesThemBack_data()
{
    // kept: the recovery file at the start (empty: none); then the lines
    // the start and the end say, and what the file holds after.
    addRows<int, QByteArray, QByteArray, QByteArray, QList<int>>({"signal", "kept", "start", "end", "after"},
            {{"SIGTERM", SIGTERM, keptText,
              "studio: took back 2 unsaved beats from music.bmm.unsaved-beats: Ctrl+S saves them into music.bmm\n",
              "studio: unsaved beat edits kept in music.bmm.unsaved-beats (bmm pack --beats reads it); the next "
              "start on music.bmm takes them back\n", keptBeats},
             {"Ctrl-C", SIGINT, keptText, "studio: took back 2", "studio: unsaved beat edits kept in", keptBeats},
             {"nothing unsaved", SIGTERM, QByteArray(), QByteArray(), QByteArray(), {-999}},
             {"a kept file that cannot be read", SIGTERM, "1.0\nsoon\n",
              "studio: music.bmm.unsaved-beats:2: not a time in seconds: \"soon\": not taken back\n",
              QByteArray(), {-999}},
             // Anyone who can write the music's folder can leave it: its
             // line is quoted as a terminal only prints it.
             {"a kept file that would clear the terminal", SIGTERM, "\x1b[2J\n",
              "studio: music.bmm.unsaved-beats:1: not a time in seconds: \"\\u001b[2J\": not taken back\n",
              QByteArray(), {-999}}});
}

void StudioRecoveryTest::aSignalKeepsTheUnsavedEditsAndTheNextStartTakesThemBack()
{
    QFETCH(int, signal);
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, end);
    QFETCH(QList<int>, after);
    if (!kept.isEmpty())
        QVERIFY(MusicFiles::write(recoveryPath(), kept));

    QProcess studio;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    studio.setProcessEnvironment(environment);
    studio.setWorkingDirectory(m_folder->filePath(QString()));
    studio.start(QStringLiteral(STUDIO_EXECUTABLE), {QStringLiteral("--size"), QStringLiteral("160x90")});
    QVERIFY(studio.waitForStarted(30000));
    // The window is up once it has drawn: its title is its own.
    QByteArray err;
    QVERIFY(QTest::qWaitFor([&] {
        err += studio.readAllStandardError();
        return ProcessRun::runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("search"), QStringLiteral("--pid"),
                                    QString::number(studio.processId())}).ok();
    }, 60000));
    QVERIFY(::kill(pid_t(studio.processId()), signal) == 0);
    QVERIFY(studio.waitForFinished(60000));
    err += studio.readAllStandardError();
    QCOMPARE(studio.exitStatus(), QProcess::NormalExit);
    QCOMPARE(studio.exitCode(), 0);

    // Of the beat edits, one line at the start and one at the end, and no
    // other (besides, it says it has no font here).
    QList<QByteArray> said;
    for (const QByteArray &line : err.split('\n'))
        if (line.contains("unsaved") || line.contains("taken back"))
            said << line + '\n';
    QList<QByteArray> expected;
    for (const QByteArray &line : {start, end})
        if (!line.isEmpty())
            expected << line;
    QCOMPARE(said.size(), expected.size());
    for (int i = 0; i < said.size(); ++i)
        QVERIFY2(said[i].startsWith(expected[i]), err.constData());
    // The music file holds what it held; the kept file what was unsaved, or
    // the file that could not be read, as it was.
    QCOMPARE(beatsIn(m_folder->filePath(QStringLiteral("music.bmm"))), fileBeats);
    QCOMPARE(beatsTextIn(recoveryPath()), after);
    if (after == QList<int>{-999} && !kept.isEmpty()) {
        QFile left(recoveryPath());
        QVERIFY(left.open(QIODevice::ReadOnly));
        QCOMPARE(left.readAll(), kept);
    }
}

void StudioRecoveryTest::keptEditsComeBackUnsavedAndGoOnceSavedOrGivenUp_data()
{
    addRows<bool, QList<int>>({"save", "saved"}, {{"saved", true, keptBeats}, {"given up", false, fileBeats}});
}

void StudioRecoveryTest::keptEditsComeBackUnsavedAndGoOnceSavedOrGivenUp()
{
    QFETCH(bool, save);
    QFETCH(QList<int>, saved);
    QVERIFY(MusicFiles::write(recoveryPath(), keptText));
    StudioOptions options;
    options.size = QSize(320, 180);
    std::unique_ptr<ClockedStudioWindow> window
            = StudioProbe::started(std::make_unique<ClockedStudioWindow>(options), false);
    QVERIFY(window);
    StudioProbe probe(*window);
    // Back as unsaved edits: one edit, undone to the file's list.
    QCOMPARE(probe.edits().beats(), keptBeats);
    QVERIFY(probe.headsUpLine().contains(QStringLiteral("beats edited, unsaved")));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(probe.edits().beats(), fileBeats);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(probe.edits().beats(), keptBeats);
    QVERIFY(QFile::exists(recoveryPath()));

    if (save) {
        QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    } else {
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(QFile::exists(recoveryPath()));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
    QVERIFY(!QFile::exists(recoveryPath()));
    QCOMPARE(beatsIn(m_folder->filePath(QStringLiteral("music.bmm"))), saved);
}

QTEST_MAIN(StudioRecoveryTest)
#include "tst_studiorecovery.moc"
