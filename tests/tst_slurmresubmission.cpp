// capture --slurm run again over the folder of an earlier submission: it
// submits only when Slurm says the earlier jobs are gone, and refuses in one
// line, submitting nothing, when squeue says they are not, or says nothing
// that can be trusted (a busy controller, a crash). Names it cannot hand to
// Slurm are refused before anything is written. squeue and sbatch are
// stand-ins here, small scripts on the PATH that answer as Slurm's commands
// do; tst_capturecluster.cpp runs the real ones.

#include "capturerun.h"
#include "datarows.h"

#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace CaptureRun;

namespace {

const QStringList stretch{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "4.4", "--slurm", "3"};

// sbatch as Slurm's answers it with --parsable, noting each call.
// (Only the shell's own commands: the PATH holds the stand-ins alone.)
const QByteArray sbatchStandIn = "#!/bin/sh\necho called >>\"${0%/*}/sbatch-called\"\necho 77\n";

bool writeScript(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size()
           && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class SlurmResubmissionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void submitsOnlyWhenSlurmSaysTheEarlierJobsAreGone_data();
    void submitsOnlyWhenSlurmSaysTheEarlierJobsAreGone();
    void namesSlurmCannotTakeAreRefused_data();
    void namesSlurmCannotTakeAreRefused();

private:
    // capture --slurm with the stand-ins alone on the PATH (an empty squeue:
    // none), in the test's folder, for a video there.
    Run submit(const QByteArray &squeue, const QString &video);
    bool sbatchCalled() const { return QFileInfo::exists(m_bin->filePath(QStringLiteral("sbatch-called"))); }

    std::optional<QTemporaryDir> m_bin;
    std::optional<QTemporaryDir> m_dir;
};

void SlurmResubmissionTest::init()
{
    m_bin.emplace();
    m_dir.emplace();
    QVERIFY(m_bin->isValid() && m_dir->isValid());
    QVERIFY(writeScript(m_bin->filePath(QStringLiteral("sbatch")), sbatchStandIn));
}

Run SlurmResubmissionTest::submit(const QByteArray &squeue, const QString &video)
{
    if (!squeue.isEmpty() && !writeScript(m_bin->filePath(QStringLiteral("squeue")), "#!/bin/sh\n" + squeue + "\n"))
        return {};
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("PATH"), m_bin->path());
    const ProcessRun::Result result = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE), stretch + QStringList{video},
                                                      {m_dir->path(), environment, 120000});
    return {result.exitCode, result.outText() + result.errText()};
}

void SlurmResubmissionTest::submitsOnlyWhenSlurmSaysTheEarlierJobsAreGone_data()
{
    // The record of an earlier submission (none: a first one), and squeue as
    // it answers `--states=all -j JOBS` in each case (measured on Slurm 22.05:
    // a job it no longer knows is left out when asked with others, and makes
    // it fail with "Invalid job id specified" when asked alone; a busy or
    // unreachable controller makes it fail with the reason).
    const QByteArray timedOut = "echo 'slurm_load_jobs error: Socket timed out on send/recv operation' >&2; exit 1";
    const QByteArray down = "echo 'slurm_load_jobs error: Unable to contact slurm controller (connect failure)' >&2; "
                            "exit 1";
    addRows<QByteArray, QByteArray, bool, QStringList>({"jobs", "squeue", "submits", "said"},
            {{"a first submission", "", "", true, {"as job 77"}},
             {"every job ended", "41,42\n", "printf '41 COMPLETED\\n41 FAILED\\n42 CANCELLED\\n'", true, {"as job 77"}},
             {"jobs no longer known, asked together", "41,42\n", "exit 0", true, {"as job 77"}},
             {"a job no longer known, asked alone", "42\n",
              "echo 'slurm_load_jobs error: Invalid job id specified' >&2; exit 1", true, {"as job 77"}},
             {"a part still running", "41,42\n", "printf '41 COMPLETED\\n41 RUNNING\\n42 PENDING\\n'", false,
              {"the jobs 41,42 submitted earlier", "still queued or running", "scancel 41 42"}},
             {"the join completing", "41,42\n", "printf '41 COMPLETED\\n42 COMPLETING\\n'", false,
              {"still queued or running"}},
             {"squeue timed out", "41,42\n", timedOut, false,
              {"cannot tell whether the jobs 41,42 submitted earlier", "Socket timed out", "scontrol ping",
               "squeue -j 41,42"}},
             {"the controller unreachable", "41,42\n", down, false,
              {"cannot tell whether the jobs 41,42", "Unable to contact slurm controller", "scontrol ping"}},
             {"squeue killed", "41,42\n", "kill -KILL $$", false, {"cannot tell whether the jobs 41,42", "crashed"}},
             {"squeue answering something else", "41,42\n", "echo 'no such thing'", false,
              {"cannot tell whether the jobs 41,42", "no such thing"}},
             {"squeue listing other jobs alone", "41,42\n", "echo '43 RUNNING'", false,
              {"cannot tell whether the jobs 41,42", "43 RUNNING"}},
             {"no squeue", "41,42\n", "", false, {"no squeue on the PATH", "41,42"}},
             {"a record of no jobs", "rm -rf /\n", "exit 0", false, {"show.parts/jobs", "job ids"}}});
}

void SlurmResubmissionTest::submitsOnlyWhenSlurmSaysTheEarlierJobsAreGone()
{
    QFETCH(QByteArray, jobs);
    QFETCH(QByteArray, squeue);
    QFETCH(bool, submits);
    QFETCH(QStringList, said);
    QVERIFY(writeMusic(m_dir->filePath(QStringLiteral("music.bmm")), {100, 200}, 0.5, 40.0));
    if (!jobs.isEmpty()) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("show.parts")));
        QFile record(m_dir->filePath(QStringLiteral("show.parts/jobs")));
        QVERIFY(record.open(QIODevice::WriteOnly) && record.write(jobs) == jobs.size());
    }
    const QMap<QString, QByteArray> before = snapshot(m_dir->path());

    const Run run = submit(squeue, QStringLiteral("show.mkv"));
    QCOMPARE(sbatchCalled(), submits);
    for (const QString &words : said)
        QVERIFY2(run.errors.contains(words), qPrintable(run.errors + QStringLiteral("lacks: ") + words));
    if (submits) {
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
        QCOMPARE(contents(m_dir->filePath(QStringLiteral("show.parts"))), (QStringList{"jobs", "join.sh", "part.sh"}));
        return;
    }
    QCOMPARE(run.exitCode, 1);
    const QStringList lines = run.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().startsWith(QLatin1String("capture: ")), qPrintable(run.errors));
    QVERIFY(snapshot(m_dir->path()) == before);
}

void SlurmResubmissionTest::namesSlurmCannotTakeAreRefused_data()
{
    // Slurm drops every backslash of a log's name and reads none of its
    // fields then; sbatch refuses a script with a carriage return before a
    // line end as a DOS file.
    addRows<QString, QString, QStringList>({"folder", "video", "said"},
            {{"a backslash in the folder", "shows\\2026", "show.mkv", {"backslash", "shows\\2026"}},
             {"a carriage return before a line end in the name", "shows", "show\r\n.mkv",
              {"carriage return before a line end", "shows/show\\r\\n."}}});
}

void SlurmResubmissionTest::namesSlurmCannotTakeAreRefused()
{
    QFETCH(QString, folder);
    QFETCH(QString, video);
    QFETCH(QStringList, said);
    QVERIFY(QDir(m_dir->path()).mkdir(folder));
    QVERIFY(writeMusic(m_dir->filePath(QStringLiteral("music.bmm")), {100, 200}, 0.5, 40.0));
    const QMap<QString, QByteArray> before = snapshot(m_dir->path());

    const Run run = submit("exit 0", folder + QLatin1Char('/') + video);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(!sbatchCalled());
    // One line, the name's control characters shown as escapes.
    const QStringList lines = run.errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().startsWith(QLatin1String("capture: ")), qPrintable(run.errors));
    for (const QString &words : said)
        QVERIFY2(run.errors.contains(words), qPrintable(run.errors + QStringLiteral("lacks: ") + words));
    QVERIFY(snapshot(m_dir->path()) == before);
}

QTEST_MAIN(SlurmResubmissionTest)
#include "tst_slurmresubmission.moc"
