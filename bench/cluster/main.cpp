// The capture through a Slurm cluster against the same capture on one
// machine: a stretch of the show at 1280x720 and 60 frames a second with
// the music, drawn here by one capture, then through the cluster as 1 part
// and as 2 parts (capture --slurm), each from the submission to the joined
// video; each part gets an equal share of the machine's CPUs. The cluster's
// overhead for a part is taken on a capture of one small frame, whose
// drawing costs next to nothing: the submission to the joined video, less
// the same capture on its own (the jobs' scheduling and start, the part
// file, the join). The join of the large capture's two parts is timed
// alone too. Runs on the cluster of SLURM_CONF (run it
// through scripts/slurm-cluster), in the folder of the show's music file.
// Prints rows for bench/run-bench.

#include "benchrows.h"
#include "processrun.h"
#include "showfiles.h"
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
// One frame, show time 10.
const QStringList oneFrame{"--size", "64x36", "--fps", "60", "--from", "10", "--to", "10.01"};
const QString size = QStringLiteral("1280x720");
constexpr int withinMs = 1800000;

int fail(const QString &what)
{
    QTextStream(stderr) << "clusterbench: " << what << '\n';
    return 1;
}

// Milliseconds from capture's start to its end, or -1.
double onItsOwn(const QString &folder, const QStringList &options, const QString &video, QString *why)
{
    QElapsedTimer clock;
    clock.start();
    const ProcessRun::Result run = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--music", QDir::current().absoluteFilePath(QString::fromLatin1(ShowFiles::music))} + options
                    + QStringList{video},
            {folder, ProcessRun::withoutDisplay(), withinMs});
    if (!run.ok()) {
        *why = run.errText().trimmed();
        return -1.0;
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds from capture --slurm's start to the joined video, or -1.
double throughCluster(const QString &folder, const QStringList &options, int parts, const QString &video,
                      QString *why)
{
    const int cpus = qMax(1, QThread::idealThreadCount() / parts);
    QElapsedTimer clock;
    clock.start();
    const ProcessRun::Result submitted = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            QStringList{"--slurm", QString::number(parts), "--cpus-per-task", QString::number(cpus),
                        "--music", QDir::current().absoluteFilePath(QString::fromLatin1(ShowFiles::music))}
                    + options + QStringList{video},
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
    if (!QFileInfo::exists(QDir(folder).filePath(video))) {
        *why = QStringLiteral("no video %1 from %2 parts; see its parts' logs in %3").arg(video).arg(parts).arg(folder);
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
    if (!QFileInfo::exists(QString::fromLatin1(ShowFiles::music)))
        return fail(QStringLiteral("no %1 in this folder").arg(QLatin1String(ShowFiles::music)));
    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(QStringLiteral("no temporary folder"));

    // Each figure in turn, the first failure said.
    QString why;
    const QString here = folder.path();
    const double directMs = onItsOwn(here, stretch, QStringLiteral("direct.mp4"), &why);
    if (directMs < 0)
        return fail(why);
    const double oneMs = throughCluster(here, stretch, 1, QStringLiteral("cluster-1.mp4"), &why);
    if (oneMs < 0)
        return fail(why);
    const double twoMs = throughCluster(here, stretch, 2, QStringLiteral("cluster-2.mp4"), &why);
    if (twoMs < 0)
        return fail(why);
    const double frameMs = onItsOwn(here, oneFrame, QStringLiteral("frame.mp4"), &why);
    if (frameMs < 0)
        return fail(why);
    const double frameClusterMs = throughCluster(here, oneFrame, 1, QStringLiteral("frame-cluster.mp4"), &why);
    if (frameClusterMs < 0)
        return fail(why);

    // The join of the two parts again, alone, as the join job runs it.
    const QString parts = QDir(here).filePath(QStringLiteral("cluster-2.parts/"));
    QElapsedTimer clock;
    clock.start();
    const ProcessRun::Result joined = ProcessRun::run(QStringLiteral(CAPTURE_EXECUTABLE),
            {"--join", "again.mp4", parts + "part-1.mkv", parts + "part-2.mkv"},
            {here, ProcessRun::withoutDisplay(), withinMs});
    const double joinMs = double(clock.nsecsElapsed()) / 1e6;
    if (!joined.ok())
        return fail(joined.errText().trimmed());

    BenchRows::printOne(QStringLiteral("cluster: 300 frames on one machine, no cluster"), size, "all", directMs);
    BenchRows::printOne(QStringLiteral("cluster: 300 frames as 1 part (submission to video)"), size, "all", oneMs);
    BenchRows::printOne(QStringLiteral("cluster: 300 frames as 2 parts (submission to video)"), size, "all", twoMs);
    BenchRows::printOne(QStringLiteral("cluster: speed-up of 2 parts over 1 (times)"), size, "all", oneMs / twoMs);
    BenchRows::printOne(QStringLiteral("cluster: overhead of a part (1 frame at 64x36, 1 part - on its own)"), size,
                        "all", frameClusterMs - frameMs);
    BenchRows::printOne(QStringLiteral("cluster: the join of 2 parts, alone"), size, "all", joinMs);
    return 0;
}
