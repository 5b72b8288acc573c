// The capture through a Slurm cluster against the same capture on one
// machine: a stretch of the show at 1280x720 and 60 frames a second with
// the music, drawn here by one capture, then through the cluster as 1 part
// and as 2 parts (capture --slurm), each from the submission to the joined
// video. The cluster's overhead for a part is what the single part took
// beyond the capture on its own (scheduling, the job's start, the part
// file, the join); the join alone is timed too. Each part gets an equal
// share of the machine's CPUs. Runs on the cluster of SLURM_CONF (run it
// through scripts/slurm-cluster), in the folder of the show's music.bmm.
// Prints rows for bench/run-bench.

#include "benchrows.h"
#include "processrun.h"
#include "slurmjobs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

namespace {

// Show seconds 10 to 14: the camera spinning, 300 frames at 60 a second.
const QStringList stretch{"--size", "1280x720", "--fps", "60", "--from", "10", "--to", "14"};
const QString size = QStringLiteral("1280x720");
constexpr int withinMs = 1800000;

int fail(const QString &what)
{
    QTextStream(stderr) << "clusterbench: " << what << '\n';
    return 1;
}

// Milliseconds from capture --slurm's start to the joined video, or -1.
double throughCluster(const QString &folder, int parts, QString *why)
{
    const int cpus = qMax(1, QThread::idealThreadCount() / parts);
    QElapsedTimer clock;
    clock.start();
    const ProcessRun::Result submitted = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--slurm", QString::number(parts), "--cpus-per-task", QString::number(cpus),
                        "--music", QDir::current().absoluteFilePath(QStringLiteral("music.bmm"))}
                    + stretch + QStringList{QStringLiteral("cluster-%1.mp4").arg(parts)},
            {folder, ProcessRun::withoutDisplay(), 120000});
    const QString jobs = SlurmJobs::submitted(submitted.outText());
    if (!submitted.ok() || jobs.isEmpty()) {
        *why = submitted.errText().trimmed();
        return -1.0;
    }
    // Asked often, for the time the video is done.
    if (!SlurmJobs::waitForEnd(jobs, withinMs, 50)) {
        *why = QStringLiteral("the jobs %1 did not end").arg(jobs);
        return -1.0;
    }
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("cluster-%1.mp4").arg(parts)))) {
        *why = QStringLiteral("no video from %1 parts; see %2/cluster-%1.parts").arg(parts).arg(folder);
        return -1.0;
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("SLURM_CONF"))
        return fail(QStringLiteral("no SLURM_CONF: run it through scripts/slurm-cluster"));
    if (!QFileInfo::exists(QStringLiteral("music.bmm")))
        return fail(QStringLiteral("no music.bmm in this folder"));
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(QStringLiteral("no temporary folder"));

    QElapsedTimer clock;
    clock.start();
    const ProcessRun::Result direct = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--music", QDir::current().absoluteFilePath(QStringLiteral("music.bmm"))} + stretch
                    + QStringList{QStringLiteral("direct.mp4")},
            {folder.path(), ProcessRun::withoutDisplay(), withinMs});
    const double directMs = double(clock.nsecsElapsed()) / 1e6;
    if (!direct.ok())
        return fail(direct.errText().trimmed());

    QString why;
    const double oneMs = throughCluster(folder.path(), 1, &why);
    if (oneMs < 0)
        return fail(why);
    const double twoMs = throughCluster(folder.path(), 2, &why);
    if (twoMs < 0)
        return fail(why);

    // The join of the two parts again, alone, as the join job runs it.
    const QString parts = QDir(folder.path()).filePath(QStringLiteral("cluster-2.parts/"));
    clock.restart();
    const ProcessRun::Result joined = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            {"--join", "again.mp4", parts + "part-1.mkv", parts + "part-2.mkv"},
            {folder.path(), ProcessRun::withoutDisplay(), withinMs});
    const double joinMs = double(clock.nsecsElapsed()) / 1e6;
    if (!joined.ok())
        return fail(joined.errText().trimmed());

    BenchRows::printOne(QStringLiteral("cluster: 300 frames on one machine, no cluster"), size, "all", directMs);
    BenchRows::printOne(QStringLiteral("cluster: 300 frames as 1 part (submission to video)"), size, "all", oneMs);
    BenchRows::printOne(QStringLiteral("cluster: 300 frames as 2 parts (submission to video)"), size, "all", twoMs);
    BenchRows::printOne(QStringLiteral("cluster: speed-up of 2 parts over 1 (times)"), size, "all", oneMs / twoMs);
    BenchRows::printOne(QStringLiteral("cluster: overhead of a part (1 part - one machine)"), size, "all",
                        oneMs - directMs);
    BenchRows::printOne(QStringLiteral("cluster: the join of 2 parts, alone"), size, "all", joinMs);
    return 0;
}
