#ifndef SLURMSUBMISSION_H
#define SLURMSUBMISSION_H

#include "captureoptions.h"
#include "frameschedule.h"

#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;

// A whole capture submitted to the Slurm cluster of this machine: its parts
// as one job array, each task a capture --part into the parts' folder beside
// the output, and the join as a job that runs once every part has finished
// well, and that Slurm cancels rather than keeps waiting when one has not.
// Parts the folder holds already, whole and made as this capture makes them,
// are not drawn again: after a failure the same command draws only what is
// missing, then joins.
class SlurmSubmission
{
public:
    // The options must ask for --slurm; `stages` are what the parts draw
    // with; `program` is the capture tool as every node runs it.
    SlurmSubmission(const CaptureOptions &options, const CaptureOptions::Stages &stages, const FrameSchedule &whole,
                    const QString &program);

    // Submits the jobs and tells the user what they are on `out`. Empty
    // when submitted, else one line saying why not.
    QString submit(QTextStream &out);

    // The folder of a video's parts and logs: beside it, named after it.
    static QString folderFor(const QString &video);
    static QString partName(int k) { return QStringLiteral("part-%1.mkv").arg(k); }

private:
    QString findMissing(QList<int> *missing) const;
    QString stillQueued() const;
    QString writeFile(const QString &name, const QByteArray &text, bool executable) const;
    QStringList slurmOptions(bool forParts) const;
    QString sbatch(const QStringList &arguments, QString *job) const;

    const CaptureOptions &m_options;
    const CaptureOptions::Stages m_stages;
    const FrameSchedule &m_whole;
    QString m_program;
    QString m_folder;
    QString m_sbatch;
};

#endif // SLURMSUBMISSION_H
