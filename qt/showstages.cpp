#include "showstages.h"
#include "inputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace ShowStages {

bool holdsStages(const QString &folder)
{
    const QDir dir(folder);
    return QFileInfo(dir.filePath(vertexName())).isFile() && QFileInfo(dir.filePath(fragmentName())).isFile();
}

QCommandLineOption folderOption()
{
    return {QStringLiteral("shaders"),
            QStringLiteral("Folder holding the show's %1 and %2 (default: %3 when it holds both, else the stages "
                           "compiled in).").arg(vertexName(), fragmentName(), defaultFolder()),
            QStringLiteral("DIR")};
}

Choice choose(const QString &givenFolder)
{
    if (!givenFolder.isEmpty()) {
        if (!holdsStages(givenFolder))
            return {QString(), QStringLiteral("%1: no %2 and %3 in that folder").arg(givenFolder, vertexName(), fragmentName())};
        return {givenFolder, QString()};
    }
    if (holdsStages(defaultFolder()))
        return {defaultFolder(), QString()};
    return {};
}

QString compiledInNote()
{
    return QStringLiteral("no %1/%2 and %1/%3 here: drawing the compiled-in stages")
            .arg(defaultFolder(), vertexName(), fragmentName());
}

Texts read(const QString &folder)
{
    Texts texts;
    const QDir dir(folder);
    texts.vertexPath = dir.filePath(vertexName());
    texts.fragmentPath = dir.filePath(fragmentName());
    for (const auto &[path, text] : {std::pair{texts.vertexPath, &texts.vertex}, std::pair{texts.fragmentPath, &texts.fragment}}) {
        QFile file(path);
        texts.error = openInputFile(file);
        if (!texts.error.isEmpty())
            return texts;
        *text = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            texts.error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return texts;
        }
    }
    return texts;
}

} // namespace ShowStages
