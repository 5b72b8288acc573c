#include "slurmsubmission.h"

#include "partfile.h"
#include "partrecord.h"
#include "pendingoutput.h"
#include "slurmscript.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// Slurm's commands answer at once unless the controller is down; sbatch
// gives up on its own after its retries.
constexpr int slurmMs = 120000;

// A path on one line of a message: its control characters as escapes.
QString onOneLine(const QString &path)
{
    QString shown;
    for (const QChar c : path) {
        if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QLatin1String("\\r");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

// Words for sh, each standing for its bytes as the file system has them;
// the first that cannot be written into a script is kept, to be named.
class ShellWords
{
public:
    QByteArray operator()(const QString &word)
    {
        const std::optional<QByteArray> quoted = SlurmScript::shellWord(QFile::encodeName(word));
        if (!quoted && m_refused.isEmpty())
            m_refused = word;
        return quoted.value_or(QByteArray());
    }
    QByteArray operator()(const QStringList &words)
    {
        QByteArrayList out;
        for (const QString &word : words)
            out << (*this)(word);
        return out.join(' ');
    }
    // Why the scripts cannot be written, or empty.
    QString problem() const
    {
        return m_refused.isEmpty() ? QString()
                : QStringLiteral("%1: a path with a carriage return before a line end cannot go into the scripts "
                                 "Slurm runs (sbatch takes them for DOS files); rename it").arg(onOneLine(m_refused));
    }

private:
    QString m_refused;
};

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

// The states of a job that has ended for good, as squeue names them; any
// other (pending, running, completing, requeued, suspended...) may still run.
QStringList endedStates()
{
    return {QStringLiteral("COMPLETED"), QStringLiteral("CANCELLED"), QStringLiteral("FAILED"),
            QStringLiteral("TIMEOUT"), QStringLiteral("NODE_FAIL"), QStringLiteral("PREEMPTED"),
            QStringLiteral("BOOT_FAIL"), QStringLiteral("DEADLINE"), QStringLiteral("OUT_OF_MEMORY"),
            QStringLiteral("REVOKED")};
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
    const QString folder = QFileInfo(m_folder).absoluteFilePath();
    const int n = m_options.slurmParts;
    // Every path in the scripts is one quoted word, on the lines of the
    // command alone: a comment ends at a newline, and sbatch reads the
    // comments before the first command for options of its own.
    ShellWords word;
    // Each part draws with as many of llvmpipe's threads as its task has CPUs.
    const QByteArray partScript = "#!/bin/sh\n"
            "# Part $SLURM_ARRAY_TASK_ID of " + QByteArray::number(n) + " of the capture that join.sh beside this "
            "joins, as capture --slurm submitted it.\n"
            "# It draws on the GPU Slurm allotted it, through EGL, not on a display the submitting shell had.\n"
            "unset DISPLAY WAYLAND_DISPLAY\n"
            "threads=${SLURM_CPUS_PER_TASK:-${SLURM_CPUS_ON_NODE:-}}\n"
            "if [ -n \"$threads\" ]; then LP_NUM_THREADS=$threads; export LP_NUM_THREADS; fi\n"
            "exec " + word(QStringList{m_program} + m_options.pictureArguments())
            + " --part \"$SLURM_ARRAY_TASK_ID/" + QByteArray::number(n) + "\" "
            + word(folder + QStringLiteral("/part-")) + "\"$SLURM_ARRAY_TASK_ID\"'.mkv'\n";
    QStringList parts;
    for (int k = 1; k <= n; ++k)
        parts << folder + QLatin1Char('/') + partName(k);
    const QByteArray joinScript = "#!/bin/sh\n"
            "# The join of the " + QByteArray::number(n) + " parts beside this, as capture --slurm submitted it.\n"
            "exec " + word(QStringList{m_program, QStringLiteral("--join"), QFileInfo(m_options.video).absoluteFilePath()}
                           + parts) + "\n";
    if (!word.problem().isEmpty())
        return word.problem();
    // Slurm names the logs itself, reading its own fields in the name.
    const std::optional<QString> partLogs = SlurmScript::logPattern(folder, QStringLiteral("part-%a.log"));
    const std::optional<QString> joinLog = SlurmScript::logPattern(folder, QStringLiteral("join.log"));
    if (!partLogs || !joinLog)
        return QStringLiteral("%1: Slurm cannot name the logs of the parts in a folder whose path holds a backslash; "
                              "rename it").arg(onOneLine(folder));

    if (!QDir().mkpath(m_folder))
        return QStringLiteral("cannot make the folder for the parts, %1").arg(m_folder);
    const QString queued = stillQueued();
    if (!queued.isEmpty())
        return queued;

    QList<int> missing;
    const QString problem = findMissing(&missing);
    if (!problem.isEmpty())
        return problem;

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
                QStringLiteral("--output=") + *partLogs,
                folder + QStringLiteral("/part.sh")}, &partsJob);
        if (!failure.isEmpty())
            return QStringLiteral("sbatch refused the parts: %1").arg(failure);
    }
    QStringList joinOptions = slurmOptions(false);
    if (!partsJob.isEmpty())
        joinOptions << QStringLiteral("--dependency=afterok:%1").arg(partsJob) << QStringLiteral("--kill-on-invalid-dep=yes");
    QString joinJob;
    const QString failure = sbatch(joinOptions + QStringList{QStringLiteral("--output=") + *joinLog,
                                                             folder + QStringLiteral("/join.sh")}, &joinJob);
    if (!failure.isEmpty())
        return QStringLiteral("sbatch refused the join%1: %2")
                .arg(partsJob.isEmpty() ? QString() : QStringLiteral(" (the parts are job %1; scancel %1 to stop "
                                                                     "them)").arg(partsJob), failure);
    const QString jobs = partsJob.isEmpty() ? joinJob : partsJob + QLatin1Char(',') + joinJob;
    const QString kept = writeFile(jobsFile, jobs.toLatin1() + '\n', false);
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
    const QString recordPath = QDir(m_folder).filePath(jobsFile);
    QFile record(recordPath);
    if (!record.exists())
        return {};
    if (!record.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot read the jobs submitted earlier: %2").arg(recordPath, record.errorString());
    const QString jobs = QString::fromLatin1(record.read(4096)).trimmed();
    if (!QRegularExpression(QStringLiteral("^[0-9]+(,[0-9]+)*$")).match(jobs).hasMatch())
        return QStringLiteral("%1 does not hold the job ids of an earlier submission; remove it once no job of this "
                              "capture is queued or running (squeue), then run this again").arg(recordPath);
    const QString squeue = QStandardPaths::findExecutable(QStringLiteral("squeue"));
    if (squeue.isEmpty())
        return QStringLiteral("no squeue on the PATH to ask whether the jobs %1 submitted earlier for %2 have ended "
                              "(Debian package slurm-client)").arg(jobs, m_options.video);
    const auto cannotTell = [&](const QString &said) {
        return QStringLiteral("cannot tell whether the jobs %1 submitted earlier for %2 have ended: squeue %3; check "
                              "that the Slurm controller answers (scontrol ping, squeue -j %1), then run this again")
                .arg(jobs, m_options.video, said);
    };

    // Every job in every state, so that an ended one is told by its state,
    // one line a job (an array's tasks each by the array's id): "41 RUNNING".
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(squeue, {QStringLiteral("--noheader"), QStringLiteral("--states=all"), QStringLiteral("--format=%F %T"),
                         QStringLiteral("--jobs=") + jobs});
    if (!query.waitForFinished(slurmMs)) {
        const bool started = query.state() != QProcess::NotRunning;
        query.kill();
        query.waitForFinished(1000);
        return cannotTell(started ? QStringLiteral("did not answer in %1 s").arg(slurmMs / 1000)
                                  : QStringLiteral("did not start: %1").arg(query.errorString()));
    }
    const QString said = QString::fromLocal8Bit(query.readAllStandardError()).simplified();
    if (query.exitStatus() != QProcess::NormalExit)
        return cannotTell(QStringLiteral("crashed"));
    if (query.exitCode() != 0) {
        // Slurm's answer for a job it no longer knows, asked for alone.
        if (said.contains(QLatin1String("Invalid job id specified")))
            return {};
        return cannotTell(QStringLiteral("failed: %1")
                          .arg(said.isEmpty() ? QStringLiteral("exit status %1").arg(query.exitCode()) : said));
    }
    // A job it no longer knows, asked for with others, is left out.
    const QStringList ours = jobs.split(QLatin1Char(','));
    bool running = false;
    for (const QString &line : QString::fromLocal8Bit(query.readAllStandardOutput()).split(QLatin1Char('\n'),
                                                                                            Qt::SkipEmptyParts)) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() != 2 || !ours.contains(fields[0]))
            return cannotTell(QStringLiteral("answered what is not the state of these jobs: %1").arg(line.simplified()));
        running = running || !endedStates().contains(fields[1]);
    }
    if (!running)
        return {};
    return QStringLiteral("the jobs %1 submitted earlier for %2 are still queued or running: wait for them "
                          "(squeue -j %1), or cancel them (scancel %3)")
            .arg(jobs, m_options.video, QString(jobs).replace(QLatin1Char(','), QLatin1Char(' ')));
}

QString SlurmSubmission::writeFile(const QString &name, const QByteArray &text, bool executable) const
{
    PendingOutput output(QDir(m_folder).filePath(name));
    if (!output.create())
        return output.error();
    QFile file(output.path());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush())
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
    // On one line, as squeue shows it.
    const QString name = QStringLiteral("capture-") + QFileInfo(m_options.video).completeBaseName().simplified();
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
