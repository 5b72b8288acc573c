#include "slurmsubmission.h"

#include "partfile.h"
#include "partrecord.h"
#include "pendingoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// Slurm's commands answer at once unless the controller is down; sbatch
// gives up on its own after its retries.
constexpr int slurmMs = 120000;

// One word for sh, quoted.
QString quoted(QString word)
{
    word.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + word + QLatin1Char('\'');
}

QString quotedAll(const QStringList &words)
{
    QStringList out;
    for (const QString &word : words)
        out << quoted(word);
    return out.join(QLatin1Char(' '));
}

// Slurm's array list: "1-3,5".
QString arrayList(const QList<int> &parts)
{
    QStringList runs;
    for (int i = 0; i < parts.size();) {
        int j = i;
        while (j + 1 < parts.size() && parts[j + 1] == parts[j] + 1)
            ++j;
        runs << (i == j ? QString::number(parts[i]) : QStringLiteral("%1-%2").arg(parts[i]).arg(parts[j]));
        i = j + 1;
    }
    return runs.join(QLatin1Char(','));
}

// "the 3 parts of frames 13 to 27", "part 2 of 3 (frames 18 to 22)",
// "parts 2 and 5 of 8".
QString partsText(const QList<int> &parts, const FrameSchedule &whole, int n)
{
    if (parts.size() == n)
        return QStringLiteral("the %1 part%2 of %3").arg(n).arg(n == 1 ? "" : "s", framesText(whole.first(), whole.count()));
    if (parts.size() == 1) {
        const FrameSchedule part = whole.part(parts.first(), n);
        return QStringLiteral("part %1 of %2 (%3)").arg(parts.first()).arg(n).arg(framesText(part.first(), part.count()));
    }
    QStringList numbers;
    for (const int part : parts)
        numbers << QString::number(part);
    const QString last = numbers.takeLast();
    return QStringLiteral("parts %1 and %2 of %3").arg(numbers.join(QStringLiteral(", ")), last).arg(n);
}

// The job ids of the last submission, kept in the folder.
const QString jobsFile = QStringLiteral("jobs");

} // namespace

SlurmSubmission::SlurmSubmission(const CaptureOptions &options, const CaptureOptions::Stages &stages,
                                 const FrameSchedule &whole, const QString &program)
    : m_options(options)
    , m_stages(stages)
    , m_whole(whole)
    , m_program(program)
    , m_folder(folderFor(options.video))
{
}

QString SlurmSubmission::folderFor(const QString &video)
{
    const QFileInfo info(video);
    return QDir::cleanPath(info.path() + QLatin1Char('/') + info.completeBaseName() + PartFile::folderSuffix());
}

QString SlurmSubmission::submit(QTextStream &out)
{
    m_sbatch = QStandardPaths::findExecutable(QStringLiteral("sbatch"));
    if (m_sbatch.isEmpty())
        return QStringLiteral("no sbatch on the PATH: --slurm submits to the Slurm cluster of this machine "
                              "(Debian package slurm-client)");
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("cannot make the folder for the parts, %1").arg(m_folder);
    const QString queued = stillQueued();
    if (!queued.isEmpty())
        return queued;

    QList<int> missing;
    const QString problem = findMissing(&missing);
    if (!problem.isEmpty())
        return problem;

    const QString folder = QFileInfo(m_folder).absoluteFilePath();
    const int n = m_options.slurmParts;
    // Each part draws with as many of llvmpipe's threads as its task has CPUs.
    const QString partScript = QStringLiteral(
            "#!/bin/sh\n"
            "# Part $SLURM_ARRAY_TASK_ID of %1 of %2, as capture --slurm submitted it.\n"
            "threads=${SLURM_CPUS_PER_TASK:-${SLURM_CPUS_ON_NODE:-}}\n"
            "if [ -n \"$threads\" ]; then LP_NUM_THREADS=$threads; export LP_NUM_THREADS; fi\n"
            "exec %3 --part \"$SLURM_ARRAY_TASK_ID/%1\" %4\"$SLURM_ARRAY_TASK_ID\"'.mkv'\n")
            .arg(n).arg(QFileInfo(m_options.video).absoluteFilePath(),
                        quotedAll(QStringList{m_program} + m_options.pictureArguments()),
                        quoted(folder + QStringLiteral("/part-")));
    QStringList parts;
    for (int k = 1; k <= n; ++k)
        parts << folder + QLatin1Char('/') + partName(k);
    const QString joinScript = QStringLiteral(
            "#!/bin/sh\n"
            "# The join of the %1 parts of %2, as capture --slurm submitted it.\n"
            "exec %3\n")
            .arg(n).arg(QFileInfo(m_options.video).absoluteFilePath(),
                        quotedAll(QStringList{m_program, QStringLiteral("--join"),
                                              QFileInfo(m_options.video).absoluteFilePath()} + parts));
    for (const auto &[name, text] : {std::pair{QStringLiteral("part.sh"), partScript},
                                     std::pair{QStringLiteral("join.sh"), joinScript}}) {
        const QString failure = writeFile(name, text, true);
        if (!failure.isEmpty())
            return failure;
    }

    QString partsJob;
    if (!missing.isEmpty()) {
        const QString failure = sbatch(slurmOptions(true) + QStringList{
                QStringLiteral("--array=%1").arg(arrayList(missing)),
                QStringLiteral("--output=%1/part-%a.log").arg(folder),
                folder + QStringLiteral("/part.sh")}, &partsJob);
        if (!failure.isEmpty())
            return QStringLiteral("sbatch refused the parts: %1").arg(failure);
    }
    QStringList joinOptions = slurmOptions(false);
    if (!partsJob.isEmpty())
        joinOptions << QStringLiteral("--dependency=afterok:%1").arg(partsJob) << QStringLiteral("--kill-on-invalid-dep=yes");
    QString joinJob;
    const QString failure = sbatch(joinOptions + QStringList{QStringLiteral("--output=%1/join.log").arg(folder),
                                                             folder + QStringLiteral("/join.sh")}, &joinJob);
    if (!failure.isEmpty())
        return QStringLiteral("sbatch refused the join%1: %2")
                .arg(partsJob.isEmpty() ? QString() : QStringLiteral(" (the parts are job %1; scancel %1 to stop "
                                                                     "them)").arg(partsJob), failure);
    const QString jobs = partsJob.isEmpty() ? joinJob : partsJob + QLatin1Char(',') + joinJob;
    const QString kept = writeFile(jobsFile, jobs + QLatin1Char('\n'), false);
    if (!kept.isEmpty())
        out << QStringLiteral("capture: warning: %1\n").arg(kept);

    if (missing.isEmpty())
        out << QStringLiteral("capture: all %1 parts are in %2 already\n").arg(n).arg(m_folder);
    else
        out << QStringLiteral("capture: %1 as job %2; logs %3/part-K.log\n")
                       .arg(partsText(missing, m_whole, n), partsJob, m_folder);
    out << QStringLiteral("capture: the join into %1 as job %2%3; log %4/join.log\n")
                   .arg(m_options.video, joinJob,
                        partsJob.isEmpty() ? QString() : QStringLiteral(", once every part has finished well"), m_folder);
    out << QStringLiteral("capture: follow them with: squeue -j %1\n").arg(jobs);
    out << QStringLiteral("capture: should a part fail, Slurm cancels the join; this same command again draws the "
                          "parts that are missing, then joins them\n");
    return {};
}

QString SlurmSubmission::findMissing(QList<int> *missing) const
{
    const int n = m_options.slurmParts;
    const PartRecord expected = PartRecord::of(m_options, m_stages, m_whole, 1, n);
    for (int k = 1; k <= n; ++k) {
        const QString path = QDir(m_folder).filePath(partName(k));
        if (!QFileInfo::exists(path)) {
            missing->append(k);
            continue;
        }
        const PartFile part = PartFile::read(path);
        // What is not a whole part is drawn again, and replaced.
        if (!part.isPart() || !part.missing().isEmpty()) {
            missing->append(k);
            continue;
        }
        const PartRecord &record = part.record;
        QString difference = record.notPartOf(expected);
        if (difference.isEmpty() && (record.parts != n || record.part != k))
            difference = QStringLiteral("made as part %1 of %2").arg(record.part).arg(record.parts);
        if (!difference.isEmpty())
            return QStringLiteral("%1 belongs to another capture: it was %2; remove it, or the folder, to draw "
                                  "the part again").arg(path, difference);
    }
    return {};
}

QString SlurmSubmission::stillQueued() const
{
    QFile record(QDir(m_folder).filePath(jobsFile));
    const QString squeue = QStandardPaths::findExecutable(QStringLiteral("squeue"));
    if (squeue.isEmpty() || !record.open(QIODevice::ReadOnly))
        return {};
    const QString jobs = QString::fromLatin1(record.readAll()).trimmed();
    if (jobs.isEmpty())
        return {};
    QProcess query;
    query.start(squeue, {QStringLiteral("-h"), QStringLiteral("-o"), QStringLiteral("%i"), QStringLiteral("-j"), jobs});
    // Jobs long gone are unknown to squeue, which then fails: nothing queued.
    if (!query.waitForFinished(slurmMs) || query.exitCode() != 0
        || query.readAllStandardOutput().trimmed().isEmpty())
        return {};
    return QStringLiteral("the jobs %1 submitted earlier for %2 are still queued or running: wait for them "
                          "(squeue -j %1), or cancel them (scancel %3)")
            .arg(jobs, m_options.video, QString(jobs).replace(QLatin1Char(','), QLatin1Char(' ')));
}

QString SlurmSubmission::writeFile(const QString &name, const QString &text, bool executable) const
{
    PendingOutput output(QDir(m_folder).filePath(name));
    if (!output.create())
        return output.error();
    QFile file(output.path());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.flush())
        return QStringLiteral("cannot write %1: %2").arg(output.target(), file.errorString());
    if (executable) {
        // Runnable by whoever may read it, as chmod +x makes it under the umask.
        QFileDevice::Permissions permissions = file.permissions();
        for (const auto &[read, run] : {std::pair{QFileDevice::ReadOwner, QFileDevice::ExeOwner},
                                        std::pair{QFileDevice::ReadGroup, QFileDevice::ExeGroup},
                                        std::pair{QFileDevice::ReadOther, QFileDevice::ExeOther}})
            if (permissions & read)
                permissions |= run;
        file.setPermissions(permissions);
    }
    file.close();
    return output.commit() ? QString() : output.error();
}

QStringList SlurmSubmission::slurmOptions(bool forParts) const
{
    const QString name = QStringLiteral("capture-") + QFileInfo(m_options.video).completeBaseName();
    QStringList options{QStringLiteral("--parsable"),
                        QStringLiteral("--job-name=%1").arg(forParts ? name : name + QStringLiteral("-join")),
                        QStringLiteral("--chdir=%1").arg(QDir::currentPath())};
    if (!m_options.partition.isEmpty())
        options << QStringLiteral("--partition=%1").arg(m_options.partition);
    if (!m_options.account.isEmpty())
        options << QStringLiteral("--account=%1").arg(m_options.account);
    if (!m_options.timeLimit.isEmpty())
        options << QStringLiteral("--time=%1").arg(m_options.timeLimit);
    if (forParts && m_options.cpusPerTask > 0)
        options << QStringLiteral("--cpus-per-task=%1").arg(m_options.cpusPerTask);
    // GPUs by --gres: Slurm refuses --gpus-per-task on an array without --ntasks.
    QStringList resources;
    if (m_options.gpusPerPart > 0)
        resources << QStringLiteral("gpu:%1").arg(m_options.gpusPerPart);
    if (!m_options.gres.isEmpty())
        resources << m_options.gres;
    if (forParts && !resources.isEmpty())
        options << QStringLiteral("--gres=%1").arg(resources.join(QLatin1Char(',')));
    return options;
}

QString SlurmSubmission::sbatch(const QStringList &arguments, QString *job) const
{
    QProcess sbatch;
    sbatch.setStandardInputFile(QProcess::nullDevice());
    sbatch.start(m_sbatch, arguments);
    if (!sbatch.waitForFinished(slurmMs)) {
        sbatch.kill();
        sbatch.waitForFinished(1000);
        return QStringLiteral("it did not answer in %1 s").arg(slurmMs / 1000);
    }
    const QString said = QString::fromLocal8Bit(sbatch.readAllStandardError()).simplified();
    // --parsable: "JOB" or "JOB;CLUSTER".
    *job = QString::fromLocal8Bit(sbatch.readAllStandardOutput()).trimmed().section(QLatin1Char(';'), 0, 0);
    bool number = false;
    job->toLongLong(&number);
    if (sbatch.exitStatus() != QProcess::NormalExit || sbatch.exitCode() != 0 || !number)
        return said.isEmpty() ? QStringLiteral("exit status %1").arg(sbatch.exitCode()) : said;
    return {};
}
