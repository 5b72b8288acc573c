#include "partjoin.h"

#include "ffmpegoutput.h"
#include "frameschedule.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr int killWaitMs = 5000;

// The parts of a list: "part 2", "parts 2 and 3", "parts 2, 3 and 4".
QString partsText(const QList<int> &parts)
{
    QStringList numbers;
    for (const int part : parts)
        numbers << QString::number(part);
    if (numbers.size() == 1)
        return QStringLiteral("part ") + numbers.first();
    const QString last = numbers.takeLast();
    return QStringLiteral("parts %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace

PartJoin::PartJoin(const QString &output, const QStringList &parts)
    : m_paths(parts)
    , m_output(output)
{
    connect(&m_ffmpeg, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &PartJoin::ffmpegFinished);
    connect(&m_ffmpeg, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        fail(QStringLiteral("cannot start ffmpeg: %1").arg(m_ffmpeg.errorString()));
        emit failed();
    });
}

PartJoin::~PartJoin()
{
    // An ffmpeg still running owns a half-written file: stop it before the
    // file goes.
    if (m_ffmpeg.state() != QProcess::NotRunning) {
        m_ffmpeg.kill();
        m_ffmpeg.waitForFinished(killWaitMs);
    }
}

QString PartJoin::check()
{
    const QString misplaced = outputAmongTheParts();
    if (!misplaced.isEmpty())
        return misplaced;
    // A part that is not there (its task failed, say) is told by the frames
    // it leaves out, when the others tell which they are.
    QStringList absent;
    for (const QString &path : qAsConst(m_paths)) {
        if (!QFileInfo::exists(path)) {
            absent << path;
            continue;
        }
        PartFile part = PartFile::read(path);
        if (!part.isPart())
            return part.error;
        const QString missing = part.missing();
        if (!missing.isEmpty())
            return QStringLiteral("%1 is unfinished: %2 (%3)").arg(path, missing, part.record.describe());
        m_parts << part;
    }

    if (m_parts.isEmpty())
        return QStringLiteral("%1: no such file").arg(absent.join(QStringLiteral(", ")));
    const QString notThere = absent.isEmpty() ? QString()
            : QStringLiteral(" (%1: no such file)").arg(absent.join(QStringLiteral(", ")));

    // One capture: the same whole, made the same way.
    const PartFile &model = m_parts.first();
    for (const PartFile &part : qAsConst(m_parts)) {
        const QString difference = part.record.notPartOf(model.record);
        if (!difference.isEmpty())
            return QStringLiteral("%1 (%2) does not match %3: it was %4")
                    .arg(part.path, part.record.describe(), model.path, difference);
    }
    const QString codec = model.record.shape.value(QStringLiteral("--codec"));
    if (codec == QLatin1String("ffv1") && FfmpegOutput::containerOf(m_output.target()) != QLatin1String("mkv"))
        return QStringLiteral("the parts are ffv1, which goes into a .mkv file; %1 cannot hold it")
                .arg(m_output.target());

    // Every frame of the whole once, in show order.
    std::stable_sort(m_parts.begin(), m_parts.end(), [](const PartFile &a, const PartFile &b) {
        return a.record.first < b.record.first;
    });
    qint64 next = model.record.wholeFirst;
    for (int i = 0; i < m_parts.size(); ++i) {
        const PartRecord &record = m_parts[i].record;
        if (i > 0) {
            const PartFile &before = m_parts[i - 1];
            const PartRecord &previous = before.record;
            if (record.first == previous.first && record.count == previous.count)
                return QStringLiteral("%1 and %2 both hold %3").arg(before.path, m_parts[i].path, record.describe());
            if (record.first < next)
                return QStringLiteral("%1 (%2) and %3 (%4) overlap in %5")
                        .arg(before.path, previous.describe(), m_parts[i].path, record.describe(),
                             framesText(record.first, std::min(next, record.first + record.count) - record.first));
        }
        if (record.first > next)
            return gap(next, record.first) + notThere;
        next = record.first + record.count;
    }
    const qint64 end = model.record.wholeFirst + model.record.wholeCount;
    if (next < end)
        return gap(next, end) + notThere;
    if (!absent.isEmpty())
        return QStringLiteral("%1: no such file").arg(absent.join(QStringLiteral(", ")));
    m_note = renderersNote();
    return {};
}

QString PartJoin::outputAmongTheParts() const
{
    const QString output = QFileInfo(m_output.target()).absoluteFilePath();
    for (const QString &path : m_paths)
        if (QFileInfo(path).absoluteFilePath() == output)
            return QStringLiteral("%1 is one of the parts; the join goes into a file of its own").arg(path);
    // Where the output lands once every link is followed: on no part, and
    // not among what a cluster's parts keep beside them.
    const QString destination = m_output.destination();
    for (const QString &path : m_paths)
        if (QFileInfo(path).canonicalFilePath() == destination)
            return QStringLiteral("%1 leads to %2, one of the parts; the join goes into a file of its own")
                    .arg(m_output.target(), path);
    for (const QString &path : m_paths) {
        const QString folder = QFileInfo(QFileInfo(path).canonicalFilePath()).path();
        if (folder.endsWith(PartFile::folderSuffix()) && QFileInfo(destination).path() == folder)
            return QStringLiteral("%1 leads into %2, the folder of the parts, which keeps what drawing them "
                                  "again needs; the join goes outside it")
                    .arg(m_output.target(), QFileInfo(path).path());
    }
    return {};
}

QString PartJoin::renderersNote() const
{
    // The parts of each renderer, in show order; parts drawn before parts
    // named their renderer have none.
    QStringList renderers;
    QMap<QString, QStringList> partsOf;
    for (const PartFile &part : qAsConst(m_parts)) {
        const QString renderer = part.record.renderer.isEmpty() ? QStringLiteral("an unnamed renderer")
                                                                : part.record.renderer;
        if (!renderers.contains(renderer))
            renderers << renderer;
        partsOf[renderer] << QString::number(part.record.part);
    }
    if (renderers.size() < 2)
        return {};
    QStringList said;
    for (const QString &renderer : qAsConst(renderers))
        said << QStringLiteral("part%1 %2 by %3").arg(partsOf[renderer].size() == 1 ? "" : "s",
                                                    partsOf[renderer].join(QStringLiteral(", ")), renderer);
    return QStringLiteral("the parts were drawn by different renderers (%1): their frames may differ in the "
                          "last bits; joining them").arg(said.join(QStringLiteral("; ")));
}

QString PartJoin::gap(qint64 first, qint64 end) const
{
    // The parts that would fill it, when every part is of the same split.
    const PartRecord &model = m_parts.first().record;
    const bool oneSplit = std::all_of(m_parts.cbegin(), m_parts.cend(), [&](const PartFile &part) {
        return part.record.parts == model.parts;
    });
    QList<int> missing;
    if (oneSplit) {
        const FrameSchedule whole(model.shape.value(QStringLiteral("--fps")).toInt(), model.wholeFirst, model.wholeCount);
        for (int k = 1; k <= model.parts; ++k) {
            const FrameSchedule part = whole.part(k, model.parts);
            if (part.count() > 0 && part.first() >= first && part.first() + part.count() <= end)
                missing << k;
        }
    }
    if (missing.isEmpty())
        return QStringLiteral("%1 of the capture are missing").arg(framesText(first, end - first));
    return QStringLiteral("%1 of %2 (%3) %4 missing")
            .arg(partsText(missing)).arg(model.parts).arg(framesText(first, end - first))
            .arg(missing.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

bool PartJoin::start()
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return fail(QStringLiteral("no ffmpeg on the PATH; it joins the parts (Debian package ffmpeg)"));
    // ffmpeg's list of the files to join, in order, beside links to them: its
    // list is read line by line, so it names the links, which need no
    // quoting, and a part's name may hold anything, newlines included.
    if (!m_links.isValid())
        return fail(QStringLiteral("cannot make a folder for the list of parts: %1").arg(m_links.errorString()));
    QFile list(listPath());
    if (!list.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write the list of parts: %1").arg(list.errorString()));
    for (int i = 0; i < m_parts.size(); ++i) {
        const QString link = QStringLiteral("part-%1.mkv").arg(i + 1);
        if (!QFile::link(QFileInfo(m_parts[i].path).absoluteFilePath(), m_links.filePath(link)))
            return fail(QStringLiteral("cannot link to %1 in %2").arg(m_parts[i].path, m_links.path()));
        list.write("file '" + link.toLatin1() + "'\n");
    }
    if (!list.flush())
        return fail(QStringLiteral("cannot write the list of parts: %1").arg(list.errorString()));
    if (!m_output.create())
        return fail(m_output.error());
    m_ffmpeg.setStandardInputFile(QProcess::nullDevice());
    m_ffmpeg.start(ffmpeg, ffmpegArguments());
    return true;
}

QString PartJoin::listPath() const
{
    return m_links.filePath(QStringLiteral("parts.txt"));
}

QStringList PartJoin::ffmpegArguments() const
{
    const PartRecord &model = m_parts.first().record;
    QStringList arguments = FfmpegOutput::quiet();
    arguments << QStringLiteral("-f") << QStringLiteral("concat") << QStringLiteral("-safe") << QStringLiteral("0")
              << QStringLiteral("-i") << listPath()
              // The parts' records stay with the parts.
              << QStringLiteral("-map_metadata") << QStringLiteral("-1")
              << QStringLiteral("-map") << QStringLiteral("0:v") << QStringLiteral("-c:v") << QStringLiteral("copy");
    if (model.hasSound())
        arguments << QStringLiteral("-map") << QStringLiteral("0:a") << FfmpegOutput::sound(m_output.target(), true);
    return arguments + FfmpegOutput::container(m_output.target(), model.shape.value(QStringLiteral("--codec")),
                                               m_output.path());
}

void PartJoin::ffmpegFinished()
{
    if (m_ffmpeg.exitStatus() != QProcess::NormalExit || m_ffmpeg.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(m_ffmpeg.readAllStandardError()).simplified();
        fail(QStringLiteral("ffmpeg failed: %1").arg(said.isEmpty() ? m_ffmpeg.errorString() : said));
        emit failed();
        return;
    }
    if (!m_output.commit()) {
        fail(m_output.error());
        emit failed();
        return;
    }
    emit finished();
}

bool PartJoin::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}
