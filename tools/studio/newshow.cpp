#include "newshow.h"

#include "pendingoutput.h"
#include "showfiles.h"
#include "showstages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList NewShow::files()
{
    const QDir stages(ShowStages::defaultFolder());
    return {stages.filePath(ShowStages::vertexName()), stages.filePath(ShowStages::fragmentName()),
            QString::fromLatin1(ShowFiles::music), QString::fromLatin1(ShowFiles::font)};
}

QString NewShow::installedFolder()
{
    // STUDIO_DATA_FROM_PROGRAM: the data folder relative to the binaries folder.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(STUDIO_DATA_FROM_PROGRAM));
}

QString NewShow::create(const QString &folder, const QString &from)
{
    const QDir source(from);
    for (const QString &file : files()) {
        if (!QFileInfo(source.filePath(file)).isFile())
            return QStringLiteral("no installed show to start from: %1 is missing").arg(source.filePath(file));
    }

    // The whole folder is made under a hidden name beside it and renamed
    // into place, so that a failure leaves nothing half made.
    PendingOutput output(folder, PendingOutput::Kind::Folder);
    if (!output.create())
        return output.error();
    const QDir made(output.path());
    if (!made.mkdir(ShowStages::defaultFolder()))
        return QStringLiteral("%1: cannot make its folder %2").arg(folder, ShowStages::defaultFolder());
    for (const QString &file : files()) {
        QFile original(source.filePath(file));
        if (!original.copy(made.filePath(file)))
            return QStringLiteral("%1: cannot copy %2: %3").arg(folder, original.fileName(), original.errorString());
    }
    if (!output.commit())
        return output.error();
    return {};
}
