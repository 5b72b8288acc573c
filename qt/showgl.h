#ifndef SHOWGL_H
#define SHOWGL_H

#include "showquad.h"

#include <QByteArray>
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

// The scene program's two stages, compiled into this library from
// resources.qrc.in: their resource names, and the stages registered with Qt's
// resource system by the time a name is handed out.
QString vertexShader();
QString fragmentShader();

// A compiled-in stage's text. A stage that is not there is a fault of the
// build, never an empty stage: the program stops, saying which.
QByteArray stageSource(const QString &resourceName);

// The scene's gamma: the fragment stage raises its colour to this power,
// so a colour value v stands for the light v^(1 / gamma).
constexpr double gamma = 0.4545;

} // namespace ShowGL

#endif // SHOWGL_H
