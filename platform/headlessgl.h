#ifndef HEADLESSGL_H
#define HEADLESSGL_H

#include "devicechoice.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QSurfaceFormat>

// A Qt platform for GL without any display server: EGL contexts that draw
// into framebuffer objects only. It opens its display on an EGL device
// where a driver offers EGL's device platform (vendors' drivers on GPU
// nodes, and Mesa: a device per DRM render node, and its software device),
// else on Mesa's surfaceless platform. It has no windows and no screen to
// show them on; QOpenGLContext on a QOffscreenSurface is all it gives.
//
// Unless told otherwise it takes the device DeviceChoice::choose picks from
// the environment (Slurm's allotment, else the first GPU). Qt's platform
// parameters tell it otherwise: QT_QPA_PLATFORM=headless:device=N for the
// N-th device, headless:surfaceless for Mesa's surfaceless platform.
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

// One EGL device, as the driver tells of it.
struct Device
{
    int index = 0;
    bool software = false;          // EGL_MESA_device_software
    QString renderNode;             // EGL_EXT_device_drm_render_node, or empty
    QString drmDevice;              // EGL_EXT_device_drm, or empty
    int cudaDevice = -1;            // EGL_NV_device_cuda, or -1
    QStringList extensions;         // the device's own

    DeviceChoice::Device facts() const;
    // "EGL device 1, render node /dev/dri/renderD129".
    QString describe() const;
};

// The devices of EGL's device platform, in the driver's order; none where no
// driver offers it. Needs neither a display nor the application object.
QList<Device> devices();
bool offersDevices();
// "there is no EGL device 3: EGL lists devices 0 to 1".
QString noSuchDevice(int index, int count);

// The name Qt knows the platform by.
QString name();

// Adds this platform to the ones Qt tries (QT_QPA_PLATFORM), after the one
// named there already, or after X where DISPLAY is set; alone otherwise.
void offer();

// Makes this platform Qt's, on the index-th EGL device, whatever display
// there is. Before the application object exists.
void useDevice(int index);

// What the platform opened its display on, and why that one: "EGL device
// 0 (the software device); EGL lists no GPU"; empty before it opened one.
QString drawingOn();

// Why no GL context came from this platform: the EGL step that failed and
// EGL's error. Empty while nothing failed.
QString failure();

} // namespace HeadlessGL

#endif // HEADLESSGL_H
