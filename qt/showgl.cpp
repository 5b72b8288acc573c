#include "showgl.h"
#include "showfiles.h"

#include <QFile>

// Q_INIT_RESOURCE names the collection's registration at global scope.
static void registerStages()
{
    Q_INIT_RESOURCE(resources);
}

namespace ShowGL {

namespace {

QString compiledIn(const char *stage)
{
    // The library is static: calling the registration is what links the
    // stages into every program that draws the scene.
    static const bool registered = (registerStages(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/%1/%2").arg(QLatin1String(ShowFiles::stageFolder), QLatin1String(stage));
}

} // namespace

QString vertexShader() { return compiledIn(ShowFiles::vertexStage); }
QString fragmentShader() { return compiledIn(ShowFiles::fragmentStage); }

QByteArray stageSource(const QString &resourceName)
{
    QFile file(resourceName);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the stage %s is not compiled in: %s", qPrintable(resourceName), qPrintable(file.errorString()));
    return file.readAll();
}

} // namespace ShowGL
