#include "webexport.h"
#include "inputfile.h"
#include "pendingoutput.h"
#include "showfiles.h"
#include "showstages.h"
#include "webmusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

bool holdsAll(const QString &folder, const QStringList &files)
{
    for (const QString &file : files)
        if (!QFileInfo(QDir(folder).filePath(file)).isFile())
            return false;
    return true;
}

QString writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.flush())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return {};
}

// A copy of an input, read as the tools read their inputs (regular files only).
QString copyFile(const QString &from, const QString &to)
{
    QFile source(from);
    const QString problem = openInputFile(source);
    if (!problem.isEmpty())
        return problem;
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return QStringLiteral("%1: %2").arg(to, target.errorString());
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (target.write(chunk) != chunk.size())
            return QStringLiteral("%1: %2").arg(to, target.errorString());
    }
    if (source.error() != QFileDevice::NoError)
        return QStringLiteral("%1: %2").arg(from, source.errorString());
    if (!target.flush())
        return QStringLiteral("%1: %2").arg(to, target.errorString());
    return {};
}

} // namespace

namespace WebExport {

QStringList pageFiles()
{
    // WEB_FILES: the build's one list of them (cmake/WebPage.cmake).
    return QStringLiteral(WEB_FILES).split(QLatin1Char(','));
}

QString programFolder()
{
    // WEB_PROGRAM_FROM_PROGRAM: the installed folder relative to the
    // binaries folder; WEB_PROGRAM_IN_BUILD: where the build made it.
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                              + QStringLiteral(WEB_PROGRAM_FROM_PROGRAM));
    if (holdsAll(installed, pageFiles()))
        return installed;
    const QString built = QStringLiteral(WEB_PROGRAM_IN_BUILD);
    if (!built.isEmpty() && holdsAll(built, pageFiles()))
        return built;
    return {};
}

QString write(const QString &programFolder, const Show &show, const QString &out,
              const std::function<void(qint64, qint64)> &progress)
{
    PendingOutput folder(out, PendingOutput::Kind::Folder);
    if (!folder.create())
        return folder.error();
    const QDir into(folder.path());
    for (const QString &file : pageFiles()) {
        const QString problem = copyFile(QDir(programFolder).filePath(file), into.filePath(file));
        if (!problem.isEmpty())
            return problem;
    }
    for (const auto &[name, text] : {std::pair{ShowStages::vertexName(), &show.vertexStage},
                                     std::pair{ShowStages::fragmentName(), &show.fragmentStage}}) {
        const QString problem = writeFile(into.filePath(name), *text);
        if (!problem.isEmpty())
            return problem;
    }
    const WebMusic::Written music = WebMusic::write(show.music, into.filePath(QString::fromLatin1(ShowFiles::music)),
                                                   into.filePath(QString::fromLatin1(ShowFiles::webSoundtrack)),
                                                   progress);
    if (!music.error.isEmpty())
        return music.error;
    const QString problem = copyFile(show.font, into.filePath(QString::fromLatin1(ShowFiles::font)));
    if (!problem.isEmpty())
        return problem;
    if (!folder.commit())
        return folder.error();
    return {};
}

} // namespace WebExport
