#ifndef SLURMJOBS_H
#define SLURMJOBS_H

#include "processrun.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

// Jobs that capture --slurm submitted, followed as its users follow them,
// for the tests and the benchmark that run it on a cluster
// (scripts/slurm-cluster).
namespace SlurmJobs {

// The job ids a submission printed, from its "squeue -j JOBS" line: "41,42".
inline QString submitted(const QString &said)
{
    return QRegularExpression(QStringLiteral("squeue -j ([0-9,]+)")).match(said).captured(1);
}

// Waits, asking squeue every pollMs, until none of the jobs is queued or
// running any more; false when some still are after withinMs.
inline bool waitForEnd(const QString &jobs, int withinMs, int pollMs = 500)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < withinMs) {
        const ProcessRun::Result queued = ProcessRun::runTool(QStringLiteral("squeue"),
                                                              {"-h", "-o", "%i", "-j", jobs});
        // Ended jobs are not listed, and once long gone, not known at all.
        if (queued.out.trimmed().isEmpty())
            return true;
        QThread::msleep(ulong(pollMs));
    }
    return false;
}

// A field of what Slurm holds of a job ("Name=Value" in scontrol's words).
inline QString field(const QString &job, const QString &name)
{
    const QString shown = ProcessRun::runTool(QStringLiteral("scontrol"), {"show", "job", job}).outText();
    return QRegularExpression(QStringLiteral("\\b%1=(\\S*)").arg(name)).match(shown).captured(1);
}

} // namespace SlurmJobs

#endif // SLURMJOBS_H
