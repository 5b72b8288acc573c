#ifndef HEADLESSGL_H
#define HEADLESSGL_H

#include <QString>
#include <QSurfaceFormat>

// A Qt platform for GL without any display server: EGL on Mesa's surfaceless
// platform, which draws into framebuffer objects only (on the GPU's render
// node, or on llvmpipe where there is none). It has no windows and no screen
// to show them on; QOpenGLContext on a QOffscreenSurface is all it gives.
//
// It is built into every program that links it. offer() must run before the
// application object exists: it lets Qt fall back to this platform where the
// usual one cannot start, which is always the case without a display.
namespace HeadlessGL {

// The two kinds of context the platform makes, on the same EGL display:
// desktop OpenGL 4.1 core, as the show draws, and OpenGL ES 3.0, what a
// browser's WebGL 2 compiles its stages against.
enum class Api { OpenGL41Core, OpenGLES30 };

// The format to give QOpenGLContext for a context of that kind.
QSurfaceFormat format(Api api);

// The name Qt knows the platform by.
QString name();

// Adds this platform to the ones Qt tries (QT_QPA_PLATFORM), after the one
// named there already, or after X where DISPLAY is set; alone otherwise.
void offer();

// Why no GL context came from this platform: the EGL step that failed and
// EGL's error. Empty while nothing failed.
QString failure();

} // namespace HeadlessGL

#endif // HEADLESSGL_H
