#include "headlessgl.h"

#include "devicechoice.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QtPlugin>
#include <QtEventDispatcherSupport/private/qgenericunixeventdispatcher_p.h>
#include <qpa/qplatformintegration.h>
#include <qpa/qplatformintegrationplugin.h>
#include <qpa/qplatformoffscreensurface.h>
#include <qpa/qplatformopenglcontext.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

const QString platformName = QStringLiteral("headless");

// The first failure, for the one line the program prints.
QString s_failure;

bool fail(const QString &step)
{
    if (!s_failure.isEmpty())
        return false;
    static const struct { EGLint code; const char *name; } errors[] = {
        {EGL_NOT_INITIALIZED, "EGL_NOT_INITIALIZED"}, {EGL_BAD_ACCESS, "EGL_BAD_ACCESS"},
        {EGL_BAD_ALLOC, "EGL_BAD_ALLOC"}, {EGL_BAD_ATTRIBUTE, "EGL_BAD_ATTRIBUTE"},
        {EGL_BAD_CONFIG, "EGL_BAD_CONFIG"}, {EGL_BAD_CONTEXT, "EGL_BAD_CONTEXT"},
        {EGL_BAD_DISPLAY, "EGL_BAD_DISPLAY"}, {EGL_BAD_MATCH, "EGL_BAD_MATCH"},
        {EGL_BAD_PARAMETER, "EGL_BAD_PARAMETER"}, {EGL_BAD_SURFACE, "EGL_BAD_SURFACE"},
    };
    const EGLint code = eglGetError();
    QString said = QStringLiteral("EGL error 0x%1").arg(code, 0, 16);
    for (const auto &error : errors)
        if (error.code == code)
            said = QLatin1String(error.name);
    s_failure = code == EGL_SUCCESS ? step : QStringLiteral("%1 (%2)").arg(step, said);
    return false;
}

bool hasExtension(EGLDisplay display, const char *name)
{
    const char *extensions = eglQueryString(display, EGL_EXTENSIONS);
    return extensions && QByteArray(extensions).split(' ').contains(name);
}

// Whatever context and surfaces are current, put back when it goes (none
// on the given display if none was).
class KeepCurrent
{
public:
    explicit KeepCurrent(EGLDisplay display)
        : m_display(eglGetCurrentDisplay()), m_draw(eglGetCurrentSurface(EGL_DRAW)),
          m_read(eglGetCurrentSurface(EGL_READ)), m_context(eglGetCurrentContext())
    {
        if (m_display == EGL_NO_DISPLAY)
            m_display = display;
    }
    ~KeepCurrent() { eglMakeCurrent(m_display, m_draw, m_read, m_context); }
    KeepCurrent(const KeepCurrent &) = delete;
    KeepCurrent &operator=(const KeepCurrent &) = delete;

private:
    EGLDisplay m_display;
    EGLSurface m_draw;
    EGLSurface m_read;
    EGLContext m_context;
};

// Contexts need no config where the driver allows (EGL_KHR_no_config_context,
// as Mesa does); elsewhere any config of the API will do, since nothing is
// ever drawn into a surface of it.
EGLConfig contextConfig(EGLDisplay display, bool es)
{
    if (hasExtension(display, "EGL_KHR_no_config_context"))
        return EGL_NO_CONFIG_KHR;
    const EGLint wanted[] = {EGL_RENDERABLE_TYPE, es ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = EGL_NO_CONFIG_KHR;
    EGLint found = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &found) || found < 1)
        return EGL_NO_CONFIG_KHR;
    return config;
}

// A desktop GL or OpenGL ES context that is current without any surface: it
// draws into framebuffer objects alone.
class HeadlessContext : public QPlatformOpenGLContext
{
public:
    HeadlessContext(EGLDisplay display, const QSurfaceFormat &requested, const QPlatformOpenGLContext *share)
        : m_display(display),
          m_api(requested.renderableType() == QSurfaceFormat::OpenGLES ? EGL_OPENGL_ES_API : EGL_OPENGL_API)
    {
        const bool es = m_api == EGL_OPENGL_ES_API;
        if (!eglBindAPI(m_api)) {
            fail(es ? QStringLiteral("no OpenGL ES through EGL") : QStringLiteral("no desktop OpenGL through EGL"));
            return;
        }
        EGLint attributes[] = {
            EGL_CONTEXT_MAJOR_VERSION, requested.majorVersion(),
            EGL_CONTEXT_MINOR_VERSION, requested.minorVersion(),
            EGL_CONTEXT_OPENGL_PROFILE_MASK, requested.profile() == QSurfaceFormat::CoreProfile
                    ? EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT : EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
            EGL_NONE,
        };
        // OpenGL ES has no profiles, nor has desktop GL before 3.2.
        if (es || requested.version() < qMakePair(3, 2))
            attributes[4] = EGL_NONE;
        const EGLContext shared = share ? static_cast<const HeadlessContext *>(share)->m_context : EGL_NO_CONTEXT;
        m_context = eglCreateContext(m_display, contextConfig(m_display, es), shared, attributes);
        if (m_context == EGL_NO_CONTEXT) {
            const QString asked = es ? QStringLiteral("ES %1.%2").arg(requested.majorVersion()).arg(requested.minorVersion())
                    : QStringLiteral("%1.%2 %3").arg(requested.majorVersion()).arg(requested.minorVersion())
                      .arg(requested.profile() == QSurfaceFormat::CoreProfile ? "core" : "compatibility");
            fail(QStringLiteral("the driver made no OpenGL %1 context").arg(asked));
            return;
        }
        m_sharing = shared != EGL_NO_CONTEXT;
        readFormat();
    }

    ~HeadlessContext() override
    {
        if (m_context == EGL_NO_CONTEXT)
            return;
        eglBindAPI(m_api);
        if (eglGetCurrentContext() == m_context)
            eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(m_display, m_context);
    }

    QSurfaceFormat format() const override { return m_format; }
    bool isValid() const override { return m_context != EGL_NO_CONTEXT; }
    bool isSharing() const override { return m_sharing; }
    void swapBuffers(QPlatformSurface *) override {}

    bool makeCurrent(QPlatformSurface *) override
    {
        // EGL keeps the current context per client API: desktop GL and ES
        // contexts of one thread are made current each under its own.
        return isValid() && eglBindAPI(m_api) && eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context);
    }

    void doneCurrent() override
    {
        eglBindAPI(m_api);
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }

    QFunctionPointer getProcAddress(const char *name) override
    {
        return reinterpret_cast<QFunctionPointer>(eglGetProcAddress(name));
    }

private:
    // What the driver granted, which Qt's GL classes go by.
    void readFormat()
    {
        const KeepCurrent keep(m_display);
        if (!eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context))
            return;
        using GetIntegerv = void (*)(unsigned int, int *);
        const auto getIntegerv = reinterpret_cast<GetIntegerv>(eglGetProcAddress("glGetIntegerv"));
        // GL_MAJOR_VERSION, GL_MINOR_VERSION
        int major = 0, minor = 0;
        getIntegerv(0x821B, &major);
        getIntegerv(0x821C, &minor);
        m_format.setVersion(major, minor);
        if (m_api == EGL_OPENGL_ES_API) {
            m_format.setRenderableType(QSurfaceFormat::OpenGLES);
        } else {
            // GL_CONTEXT_PROFILE_MASK, GL_CONTEXT_CORE_PROFILE_BIT
            int profile = 0;
            getIntegerv(0x9126, &profile);
            m_format.setRenderableType(QSurfaceFormat::OpenGL);
            m_format.setProfile(profile & 0x1 ? QSurfaceFormat::CoreProfile : QSurfaceFormat::CompatibilityProfile);
        }
        // Framebuffer objects bring their own buffers; there is no default one.
        m_format.setRedBufferSize(8);
        m_format.setGreenBufferSize(8);
        m_format.setBlueBufferSize(8);
        m_format.setAlphaBufferSize(8);
    }

    EGLDisplay m_display;
    EGLenum m_api;
    EGLContext m_context = EGL_NO_CONTEXT;
    QSurfaceFormat m_format;
    bool m_sharing = false;
};

// Nothing to draw into: contexts are made current on it without a surface.
class HeadlessSurface : public QPlatformOffscreenSurface
{
public:
    explicit HeadlessSurface(QOffscreenSurface *surface)
        : QPlatformOffscreenSurface(surface)
    {
    }
    QSurfaceFormat format() const override { return offscreenSurface()->requestedFormat(); }
    bool isValid() const override { return true; }
};

// Qt wants a screen to put offscreen surfaces on; nobody sees it.
class HeadlessScreen : public QPlatformScreen
{
public:
    QRect geometry() const override { return QRect(0, 0, 1920, 1080); }
    int depth() const override { return 32; }
    QImage::Format format() const override { return QImage::Format_RGB32; }
    QString name() const override { return platformName; }
};

// What the platform opened its display on, and why that.
QString s_drawingOn;

const char *const deviceParameter = "device=";
const char *const surfacelessParameter = "surfaceless";

// The device platform's entry points: extensions, so looked up by name.
struct DeviceFunctions
{
    PFNEGLQUERYDEVICESEXTPROC queryDevices = nullptr;
    PFNEGLQUERYDEVICESTRINGEXTPROC queryString = nullptr;
    PFNEGLQUERYDEVICEATTRIBEXTPROC queryAttribute = nullptr;

    // Null functions where no driver offers devices.
    static DeviceFunctions get()
    {
        DeviceFunctions functions;
        if (!hasExtension(EGL_NO_DISPLAY, "EGL_EXT_platform_device")
            || !(hasExtension(EGL_NO_DISPLAY, "EGL_EXT_device_enumeration")
                 || hasExtension(EGL_NO_DISPLAY, "EGL_EXT_device_base")))
            return functions;
        functions.queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        functions.queryString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
                eglGetProcAddress("eglQueryDeviceStringEXT"));
        functions.queryAttribute = reinterpret_cast<PFNEGLQUERYDEVICEATTRIBEXTPROC>(
                eglGetProcAddress("eglQueryDeviceAttribEXT"));
        if (!functions.queryDevices || !functions.queryString)
            functions.queryDevices = nullptr;
        return functions;
    }
};

std::vector<EGLDeviceEXT> eglDevices(const DeviceFunctions &functions)
{
    EGLint count = 0;
    if (!functions.queryDevices || !functions.queryDevices(0, nullptr, &count) || count <= 0)
        return {};
    std::vector<EGLDeviceEXT> handles(static_cast<std::size_t>(count));
    if (!functions.queryDevices(count, handles.data(), &count))
        return {};
    handles.resize(std::size_t(std::max(count, 0)));
    return handles;
}

HeadlessGL::Device deviceFacts(const DeviceFunctions &functions, EGLDeviceEXT handle, int index)
{
    HeadlessGL::Device device;
    device.index = index;
    const char *extensions = functions.queryString(handle, EGL_EXTENSIONS);
    device.extensions = QString::fromLatin1(extensions ? extensions : "").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    device.software = device.extensions.contains(QLatin1String("EGL_MESA_device_software"));
    if (device.extensions.contains(QLatin1String("EGL_EXT_device_drm_render_node")))
        device.renderNode = QString::fromLocal8Bit(functions.queryString(handle, EGL_DRM_RENDER_NODE_FILE_EXT));
    if (device.extensions.contains(QLatin1String("EGL_EXT_device_drm")))
        device.drmDevice = QString::fromLocal8Bit(functions.queryString(handle, EGL_DRM_DEVICE_FILE_EXT));
    EGLAttrib cuda = -1;
    // EGL_CUDA_DEVICE_NV, of EGL_NV_device_cuda
    if (device.extensions.contains(QLatin1String("EGL_NV_device_cuda")) && functions.queryAttribute
        && functions.queryAttribute(handle, 0x323A, &cuda))
        device.cudaDevice = int(cuda);
    return device;
}

EGLDisplay surfacelessDisplay()
{
    if (!hasExtension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        fail(QStringLiteral("no EGL driver offers the device platform (EGL_EXT_platform_device) or the "
                            "surfaceless platform (EGL_MESA_platform_surfaceless)"));
        return EGL_NO_DISPLAY;
    }
    s_drawingOn = QStringLiteral("Mesa's surfaceless platform");
    return eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// The display of the device asked for (asked >= 0), else of the one chosen
// from the environment; Mesa's surfaceless platform where EGL lists no
// device and none was asked for.
EGLDisplay deviceDisplay(const DeviceFunctions &functions, int asked)
{
    const std::vector<EGLDeviceEXT> handles = eglDevices(functions);
    const int count = int(handles.size());
    if (asked < 0 && count == 0)
        return surfacelessDisplay();
    if (asked >= count) {
        fail(HeadlessGL::noSuchDevice(asked, count));
        return EGL_NO_DISPLAY;
    }
    int chosen = asked;
    if (asked >= 0) {
        s_drawingOn = deviceFacts(functions, handles[std::size_t(asked)], asked).describe() + QStringLiteral("; as asked");
    } else {
        std::vector<DeviceChoice::Device> facts;
        for (int i = 0; i < count; ++i)
            facts.push_back(deviceFacts(functions, handles[std::size_t(i)], i).facts());
        const DeviceChoice::Choice choice = DeviceChoice::choose(facts, [](const std::string &name) {
            return qEnvironmentVariable(name.c_str()).toStdString();
        });
        if (choice.device < 0) {
            fail(QString::fromStdString(choice.error));
            return EGL_NO_DISPLAY;
        }
        chosen = choice.device;
        s_drawingOn = QString::fromStdString(choice.why);
    }
    return eglGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, handles[std::size_t(chosen)], nullptr);
}

class HeadlessIntegration : public QPlatformIntegration
{
public:
    // parameters: "device=N" for the N-th EGL device, "surfaceless" for
    // Mesa's surfaceless platform; nothing for the device Slurm allotted, or
    // the first GPU, on the device platform where a driver offers it.
    explicit HeadlessIntegration(const QStringList &parameters)
    {
        int asked = -1;
        for (const QString &parameter : parameters)
            if (parameter.startsWith(QLatin1String(deviceParameter)))
                asked = parameter.mid(int(qstrlen(deviceParameter))).toInt();
        const DeviceFunctions functions = DeviceFunctions::get();
        const bool devices = functions.queryDevices && !parameters.contains(QLatin1String(surfacelessParameter));
        if (asked >= 0 && !devices) {
            fail(QStringLiteral("no EGL driver offers the device platform (EGL_EXT_platform_device)"));
            return;
        }
        const EGLDisplay display = devices ? deviceDisplay(functions, asked) : surfacelessDisplay();
        if (!s_failure.isEmpty())
            return;
        if (display == EGL_NO_DISPLAY) {
            fail(QStringLiteral("no EGL display on %1").arg(s_drawingOn));
            return;
        }
        if (!eglInitialize(display, nullptr, nullptr)) {
            fail(QStringLiteral("EGL did not initialise %1").arg(s_drawingOn));
            return;
        }
        m_display = display;
        if (!hasExtension(m_display, "EGL_KHR_surfaceless_context"))
            fail(QStringLiteral("EGL cannot make a context current without a surface on %1").arg(s_drawingOn));
    }

    ~HeadlessIntegration() override
    {
        if (m_screen)
            QWindowSystemInterface::handleScreenRemoved(m_screen);
        if (m_display != EGL_NO_DISPLAY)
            eglTerminate(m_display);
    }

    void initialize() override
    {
        m_screen = new HeadlessScreen;
        QWindowSystemInterface::handleScreenAdded(m_screen, true);
    }

    bool hasCapability(Capability capability) const override
    {
        return capability == OpenGL || capability == ThreadedOpenGL;
    }

    QPlatformOpenGLContext *createPlatformOpenGLContext(QOpenGLContext *context) const override
    {
        if (!s_failure.isEmpty())
            return nullptr;
        return new HeadlessContext(m_display, context->format(), context->shareHandle());
    }

    QPlatformOffscreenSurface *createPlatformOffscreenSurface(QOffscreenSurface *surface) const override
    {
        return new HeadlessSurface(surface);
    }

    // No windows: nothing here is ever shown.
    QPlatformWindow *createPlatformWindow(QWindow *) const override { return nullptr; }
    QPlatformBackingStore *createPlatformBackingStore(QWindow *) const override { return nullptr; }

    QAbstractEventDispatcher *createEventDispatcher() const override { return createUnixEventDispatcher(); }

private:
    EGLDisplay m_display = EGL_NO_DISPLAY;
    HeadlessScreen *m_screen = nullptr;   // Qt deletes it when it is removed
};

} // namespace

class HeadlessPlugin : public QPlatformIntegrationPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformIntegrationFactoryInterface_iid FILE "headlessgl.json")

public:
    QPlatformIntegration *create(const QString &key, const QStringList &parameters) override
    {
        return key.compare(platformName, Qt::CaseInsensitive) == 0 ? new HeadlessIntegration(parameters) : nullptr;
    }
};

// Every program that links the platform has it built in.
Q_IMPORT_PLUGIN(HeadlessPlugin)

namespace HeadlessGL {

QSurfaceFormat format(Api api)
{
    QSurfaceFormat format;
    if (api == Api::OpenGLES30) {
        format.setRenderableType(QSurfaceFormat::OpenGLES);
        format.setVersion(3, 0);
    } else {
        format.setRenderableType(QSurfaceFormat::OpenGL);
        format.setVersion(4, 1);
        format.setProfile(QSurfaceFormat::CoreProfile);
    }
    return format;
}

QString name()
{
    return platformName;
}

void offer()
{
    QByteArrayList platforms = qgetenv("QT_QPA_PLATFORM").split(';');
    platforms.removeAll(QByteArray());
    if (platforms.isEmpty() && !qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms << "xcb";
    // The platform may be named with its parameters: "headless:device=1".
    const QByteArray key = platformName.toLatin1();
    if (std::none_of(platforms.cbegin(), platforms.cend(),
                     [&](const QByteArray &platform) { return platform.split(':').first() == key; }))
        platforms << key;
    qputenv("QT_QPA_PLATFORM", platforms.join(';'));
}

void useDevice(int index)
{
    qputenv("QT_QPA_PLATFORM", platformName.toLatin1() + ':' + deviceParameter + QByteArray::number(index));
}

QString drawingOn()
{
    return s_drawingOn;
}

DeviceChoice::Device Device::facts() const
{
    return {software, renderNode.toStdString(), cudaDevice};
}

QString Device::describe() const
{
    return QString::fromStdString(DeviceChoice::describe(facts(), index));
}

QList<Device> devices()
{
    const DeviceFunctions functions = DeviceFunctions::get();
    QList<Device> devices;
    const std::vector<EGLDeviceEXT> handles = eglDevices(functions);
    for (int i = 0; i < int(handles.size()); ++i)
        devices << deviceFacts(functions, handles[std::size_t(i)], i);
    return devices;
}

bool offersDevices()
{
    return DeviceFunctions::get().queryDevices != nullptr;
}

QString noSuchDevice(int index, int count)
{
    const QString listed = count == 0 ? QStringLiteral("none")
            : count == 1 ? QStringLiteral("device 0 alone")
            : QStringLiteral("devices 0 to %1").arg(count - 1);
    return QStringLiteral("there is no EGL device %1: EGL lists %2").arg(index).arg(listed);
}

QString failure()
{
    return s_failure;
}

} // namespace HeadlessGL

#include "headlessgl.moc"
