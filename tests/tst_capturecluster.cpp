// The capture submitted to a real Slurm cluster (--slurm): a one-node cluster
// of this machine, which scripts/slurm-cluster starts around this test and
// stops after it. The joined video is the one-machine capture, picture and
// sound; a part that fails is named, and the same command again draws it
// and completes the video. The commands are the ones the README gives.

#include "capturerun.h"
#include "slurmjobs.h"

#include <QDirIterator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace CaptureRun;

namespace {

// Show seconds 2 to 4.4 at 5 frames a second: frames 13 to 27 (frame k is
// show time 0.16 k), 3 s of timer; in three parts, frames 13 to 17, 18 to 22
// and 23 to 27.
const QStringList stretch{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "4.4", "--crf", "0",
                          "--music", "music.bmm"};
const QStringList picture{"-map", "0:v", "-f", "rawvideo", "-pix_fmt", "yuv420p"};
const QStringList sound{"-map", "0:a", "-f", "f32le"};

// Two tasks run at a time on two cores, each a few seconds; a loaded
// machine may take many times that.
constexpr int jobsEndWithinMs = 600000;

} // namespace

class CaptureClusterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void clusterCaptureIsTheOneMachineCapture();
    void failedPartIsNamedAndDrawnAgain();
    void partsDrawOnTheirOwnGpus_data();
    void partsDrawOnTheirOwnGpus();
    void pathsOfAnyKindComeThroughTheClusterAsTheyAre();
    void controllerThatDoesNotAnswerSubmitsNothing();

private:
    // capture --slurm 3 in a folder, as a node without a display runs it.
    Run submit(const QString &folder, const QStringList &slurmOptions = {},
               const QString &video = QStringLiteral("show.mkv"));
    void checkIsTheWhole(const QString &video);

    QTemporaryDir m_dir;
};

void CaptureClusterTest::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("SLURM_CONF"), "run through scripts/slurm-cluster, which starts the cluster");
    QVERIFY(m_dir.isValid());
    QVERIFY(writeMusic(m_dir.filePath(QStringLiteral("music.bmm")), {100, 200}, 0.5, 40.0));
    const Run whole = CaptureRun::run(stretch + QStringList{"whole.mkv"}, m_dir.path(), withoutDisplay());
    QVERIFY2(whole.exitCode == 0, qPrintable(whole.errors));
}

Run CaptureClusterTest::submit(const QString &folder, const QStringList &slurmOptions, const QString &video)
{
    QFile::copy(m_dir.filePath(QStringLiteral("music.bmm")), QDir(folder).filePath(QStringLiteral("music.bmm")));
    const ProcessRun::Result result = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--slurm", "3"} + stretch + slurmOptions + QStringList{video},
            {folder, withoutDisplay(), 240000});
    return {result.exitCode, result.outText() + result.errText()};
}

void CaptureClusterTest::checkIsTheWhole(const QString &video)
{
    const QString whole = m_dir.filePath(QStringLiteral("whole.mkv"));
    const QByteArray wholePicture = decoded(whole, picture);
    QCOMPARE(wholePicture.size(), 15 * 64 * 36 * 3 / 2);
    QVERIFY(decoded(video, picture) == wholePicture);
    const QByteArray wholeSound = decoded(whole, sound);
    QCOMPARE(wholeSound.size(), 3 * 44100 * 8);
    QVERIFY(decoded(video, sound) == wholeSound);
}

void CaptureClusterTest::clusterCaptureIsTheOneMachineCapture()
{
    QTemporaryDir folder;
    // The options Slurm users give, passed on: the script's one partition.
    const Run submitted = submit(folder.path(), {"--partition", "local", "--time", "20:00", "--cpus-per-task", "1",
                                                 "--account", "shows"});
    QVERIFY2(submitted.exitCode == 0, qPrintable(submitted.errors));
    QVERIFY2(submitted.errors.contains(QLatin1String("the 3 parts of frames 13 to 27 as job")), qPrintable(submitted.errors));
    const QString jobs = SlurmJobs::submitted(submitted.errors);
    QCOMPARE(jobs.split(QLatin1Char(',')).size(), 2);
    const QString partsJob = jobs.section(QLatin1Char(','), 0, 0);
    const QString joinJob = jobs.section(QLatin1Char(','), 1, 1);
    // "afterok:ID_*", and "(unfulfilled)" until the parts are done.
    const QString dependency = SlurmJobs::field(joinJob, QStringLiteral("Dependency"));
    QVERIFY2(dependency.startsWith(QStringLiteral("afterok:%1_*").arg(partsJob)), qPrintable(dependency));
    QCOMPARE(SlurmJobs::field(partsJob, QStringLiteral("Partition")), QStringLiteral("local"));
    QCOMPARE(SlurmJobs::field(partsJob, QStringLiteral("TimeLimit")), QStringLiteral("00:20:00"));
    QCOMPARE(SlurmJobs::field(partsJob, QStringLiteral("Account")), QStringLiteral("shows"));
    // While they run, the same command submits nothing twice.
    const Run twice = submit(folder.path());
    QCOMPARE(twice.exitCode, 1);
    QVERIFY2(twice.errors.contains(QStringLiteral("the jobs %1 submitted earlier").arg(jobs))
             && twice.errors.contains(QLatin1String("still queued or running")), qPrintable(twice.errors));
    QVERIFY(SlurmJobs::waitForEnd(jobs, jobsEndWithinMs));

    checkIsTheWhole(folder.filePath(QStringLiteral("show.mkv")));
    // The parts, their logs and the scripts that ran them, beside the video.
    const QStringList kept = contents(folder.filePath(QStringLiteral("show.parts")));
    for (const char *name : {"part-1.mkv", "part-2.mkv", "part-3.mkv", "part-1.log", "part-3.log", "join.log",
                             "part.sh", "join.sh"})
        QVERIFY2(kept.contains(name), qPrintable(kept.join(' ')));

    // Parts of this capture are not taken for another's, nor replaced.
    const Run other = submit(folder.path(), {"--supersample", "2"});
    QCOMPARE(other.exitCode, 1);
    QVERIFY2(other.errors.contains(QLatin1String("show.parts/part-1.mkv belongs to another capture: it was made "
                                                 "with --supersample 1, not 2")), qPrintable(other.errors));
    QVERIFY(SlurmJobs::submitted(other.errors).isEmpty());
}

void CaptureClusterTest::failedPartIsNamedAndDrawnAgain()
{
    QTemporaryDir folder;
    // A folder where part 2 goes: its task draws the part, cannot put it in
    // place, and fails.
    const QDir parts(folder.filePath(QStringLiteral("show.parts")));
    QVERIFY(parts.mkpath(QStringLiteral("part-2.mkv/in-the-way")));
    const Run submitted = submit(folder.path());
    QVERIFY2(submitted.exitCode == 0, qPrintable(submitted.errors));
    const QString jobs = SlurmJobs::submitted(submitted.errors);
    // The join is cancelled, not left waiting for ever: every job ends.
    QVERIFY(SlurmJobs::waitForEnd(jobs, jobsEndWithinMs));
    QCOMPARE(SlurmJobs::field(jobs.section(QLatin1Char(','), 1, 1), QStringLiteral("JobState")), QStringLiteral("CANCELLED"));
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("show.mkv"))));
    QFile log(parts.filePath(QStringLiteral("part-2.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString said = QString::fromLocal8Bit(log.readAll());
    QVERIFY2(said.contains(QLatin1String("capture: ")) && said.contains(QLatin1String("part-2.mkv")), qPrintable(said));

    // Once what was in the way is gone, the join names the part that is missing.
    QVERIFY(QDir(parts.filePath(QStringLiteral("part-2.mkv"))).removeRecursively());
    const ProcessRun::Result joined = ProcessRun::run(QStringLiteral("sh"),
            {"-c", QStringLiteral("'%1' --join show.mkv show.parts/part-*.mkv").arg(CAPTURE_EXECUTABLE)},
            {folder.path(), withoutDisplay(), 240000});
    QCOMPARE(joined.exitCode, 1);
    QVERIFY2(joined.errText().contains(QLatin1String("part 2 of 3 (frames 18 to 22) is missing")),
             qPrintable(joined.errText()));
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("show.mkv"))));

    // The same command again draws that part alone, then joins.
    const QDateTime firstDrawn = QFileInfo(parts.filePath(QStringLiteral("part-1.mkv"))).lastModified();
    const Run again = submit(folder.path());
    QVERIFY2(again.exitCode == 0, qPrintable(again.errors));
    QVERIFY2(again.errors.contains(QLatin1String("capture: part 2 of 3 (frames 18 to 22) as job")), qPrintable(again.errors));
    QVERIFY(SlurmJobs::waitForEnd(SlurmJobs::submitted(again.errors), jobsEndWithinMs));
    checkIsTheWhole(folder.filePath(QStringLiteral("show.mkv")));
    QCOMPARE(QFileInfo(parts.filePath(QStringLiteral("part-1.mkv"))).lastModified(), firstDrawn);
}

void CaptureClusterTest::partsDrawOnTheirOwnGpus_data()
{
    // Either way of asking gives each part one GPU by sbatch's --gres.
    QTest::addColumn<QStringList>("asked");
    QTest::newRow("--gpus-per-part") << QStringList{"--gpus-per-part", "1"};
    QTest::newRow("--gres") << QStringList{"--gres", "gpu:1"};
}

void CaptureClusterTest::partsDrawOnTheirOwnGpus()
{
    QFETCH(QStringList, asked);
    // The cluster's node has two stand-in GPUs and two CPUs: the two parts
    // run side by side, one on each, as Slurm allots them (GPU 0 and GPU 1
    // in its own numbering). There is no GPU behind them here: each part
    // draws on the software device and records which GPU it was given.
    // Submitted from a shell with a display, which the parts do not draw on.
    QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run on a display (scripts/with-x)");
    QTemporaryDir folder;
    const ProcessRun::Result submitted = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--slurm", "2", "--size", "64x36", "--fps", "5", "--from", "2", "--to", "3"} + asked
                    + QStringList{"show.mkv"},
            {folder.path(), QProcessEnvironment::systemEnvironment(), 240000});
    const QString said = submitted.outText() + submitted.errText();
    QVERIFY2(submitted.exitCode == 0, qPrintable(said));
    const QString jobs = SlurmJobs::submitted(said);
    QCOMPARE(SlurmJobs::field(jobs.section(QLatin1Char(','), 0, 0), QStringLiteral("TresPerNode")),
             QStringLiteral("gres:gpu:1"));
    // The join needs no GPU.
    QCOMPARE(SlurmJobs::field(jobs.section(QLatin1Char(','), 1, 1), QStringLiteral("TresPerNode")), QString());
    QVERIFY(SlurmJobs::waitForEnd(jobs, jobsEndWithinMs));
    QVERIFY2(QFileInfo::exists(folder.filePath(QStringLiteral("show.mkv"))), qPrintable(said));

    QStringList given;
    const QDir parts(folder.filePath(QStringLiteral("show.parts")));
    for (const char *part : {"part-1", "part-2"}) {
        const QString device = partRecord(parts.filePath(QLatin1String(part) + QStringLiteral(".mkv")))
                                       .value(QStringLiteral("device")).toString();
        const QRegularExpressionMatch gpu = QRegularExpression(
                QStringLiteral("^EGL device 0 \\(the software device\\); Slurm's GPU ([01]) \\(SLURM_JOB_GPUS=\\1\\) "
                               "is not among EGL's devices$")).match(device);
        QVERIFY2(gpu.hasMatch(), qPrintable(device));
        given << gpu.captured(1);
        // The part's log says it too.
        QFile log(parts.filePath(QLatin1String(part) + QStringLiteral(".log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY2(QString::fromLocal8Bit(log.readAll()).contains(QStringLiteral("capture: drawing on ") + device),
                 qPrintable(device));
    }
    given.sort();
    QCOMPARE(given, (QStringList{"0", "1"}));
}

void CaptureClusterTest::pathsOfAnyKindComeThroughTheClusterAsTheyAre()
{
    // A folder and a video whose names hold what a shell or Slurm would
    // read as their own: quotes, a variable, commands, Slurm's log fields, a
    // line sbatch takes for an option and one sh would run. Nothing of them
    // may run, and the video lands under its name as it is.
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("it's \"a\" $HOME `touch pwned-tick` $(touch pwned-dollar) "
                                                        "%a 100%\n#SBATCH --array=1-9\ntouch pwned-line;x"));
    const QString video = QStringLiteral("show 'x' $y `z`\n#SBATCH --job-name=bad\ntouch pwned-name.mkv");
    QVERIFY(QDir().mkpath(folder));
    const Run submitted = submit(folder, {}, video);
    QVERIFY2(submitted.exitCode == 0, qPrintable(submitted.errors));
    const QString jobs = SlurmJobs::submitted(submitted.errors);
    QCOMPARE(jobs.split(QLatin1Char(',')).size(), 2);
    QVERIFY(SlurmJobs::waitForEnd(jobs, jobsEndWithinMs));

    // The parts, their logs and the join, where the names say.
    const QDir parts(QDir(folder).filePath(QFileInfo(video).completeBaseName() + QStringLiteral(".parts")));
    for (const char *name : {"part-1.log", "part-2.log", "part-3.log", "join.log"})
        QVERIFY2(QFileInfo::exists(parts.filePath(QLatin1String(name))), name);
    checkIsTheWhole(QDir(folder).filePath(video));
    QStringList run;
    QDirIterator everything(base.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
    // What the commands in the names would make, had they run.
    while (everything.hasNext())
        if (QFileInfo(everything.next()).fileName().startsWith(QLatin1String("pwned")))
            run << everything.filePath();
    QVERIFY2(run.isEmpty(), qPrintable(run.join(QLatin1Char(' '))));
}

void CaptureClusterTest::controllerThatDoesNotAnswerSubmitsNothing()
{
    // Slurm's own squeue, asking a controller at a port where none listens,
    // as it finds a controller too busy to answer; sbatch would still reach
    // the real one, so whatever capture takes for "gone" is submitted.
    QTemporaryDir folder;
    QTemporaryDir bin;
    QFile conf(qEnvironmentVariable("SLURM_CONF"));
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QByteArray text = conf.readAll();
    text.replace(QRegularExpression(QStringLiteral("SlurmctldPort=\\d+")).match(QString::fromUtf8(text))
                         .captured(0).toUtf8(), "SlurmctldPort=9");
    QFile dead(bin.filePath(QStringLiteral("dead.conf")));
    QVERIFY(dead.open(QIODevice::WriteOnly) && dead.write(text) == text.size());
    dead.close();
    const QString squeue = QStandardPaths::findExecutable(QStringLiteral("squeue"));
    QVERIFY(!squeue.isEmpty());
    QFile wrapper(bin.filePath(QStringLiteral("squeue")));
    QVERIFY(wrapper.open(QIODevice::WriteOnly));
    wrapper.write(QStringLiteral("#!/bin/sh\nSLURM_CONF='%1' exec '%2' \"$@\"\n").arg(dead.fileName(), squeue).toUtf8());
    wrapper.close();
    QVERIFY(wrapper.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // The jobs of an earlier submission, as it records them.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("show.parts")));
    QFile record(folder.filePath(QStringLiteral("show.parts/jobs")));
    QVERIFY(record.open(QIODevice::WriteOnly) && record.write("1,2\n") > 0);
    record.close();
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("music.bmm")), folder.filePath(QStringLiteral("music.bmm"))));
    const QMap<QString, QByteArray> before = snapshot(folder.path());

    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("PATH"), bin.path() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    const ProcessRun::Result result = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--slurm", "3"} + stretch + QStringList{"show.mkv"}, {folder.path(), environment, 240000});
    const QString said = result.outText() + result.errText();
    QCOMPARE(result.exitCode, 1);
    const QStringList lines = said.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1 && lines.first().contains(QLatin1String("cannot tell whether the jobs 1,2"))
             && lines.first().contains(QLatin1String("Unable to contact slurm controller"))
             && lines.first().contains(QLatin1String("scontrol ping")), qPrintable(said));
    // Nothing queued on the real controller, nothing written.
    QCOMPARE(ProcessRun::runTool(QStringLiteral("squeue"), {"-h", "-o", "%i"}).outText().trimmed(), QString());
    QVERIFY(snapshot(folder.path()) == before);
}

QTEST_MAIN(CaptureClusterTest)
#include "tst_capturecluster.moc"
