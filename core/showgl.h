#ifndef SHOWGL_H
#define SHOWGL_H

#include "showquad.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QSurfaceFormat>

// What every surface that draws the scene shares with the show window.
namespace ShowGL {

inline QSurfaceFormat surfaceFormat()
{
    QSurfaceFormat format;
    format.setVersion(4, 1);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

// The scene program's two stages, compiled in from resources.qrc.
inline QString vertexShader() { return QStringLiteral(":/shaders/shader.vert"); }
inline QString fragmentShader() { return QStringLiteral(":/shaders/shader.frag"); }

// A compiled-in stage's text; empty when the program was built without it.
inline QByteArray stageSource(const QString &resourceName)
{
    QFile file(resourceName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace ShowGL

#endif // SHOWGL_H
