#include "headlessgl.h"

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

#include <iterator>

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

// A desktop GL context that is current without any surface: it draws into
// framebuffer objects alone.
class SurfacelessContext : public QPlatformOpenGLContext
{
public:
    SurfacelessContext(EGLDisplay display, const QSurfaceFormat &requested, const QPlatformOpenGLContext *share)
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
        const EGLContext shared = share ? static_cast<const SurfacelessContext *>(share)->m_context : EGL_NO_CONTEXT;
        m_context = eglCreateContext(m_display, EGL_NO_CONFIG_KHR, shared, attributes);
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

    ~SurfacelessContext() override
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
class SurfacelessSurface : public QPlatformOffscreenSurface
{
public:
    explicit SurfacelessSurface(QOffscreenSurface *surface)
        : QPlatformOffscreenSurface(surface)
    {
    }
    QSurfaceFormat format() const override { return offscreenSurface()->requestedFormat(); }
    bool isValid() const override { return true; }
};

// Qt wants a screen to put offscreen surfaces on; nobody sees it.
class SurfacelessScreen : public QPlatformScreen
{
public:
    QRect geometry() const override { return QRect(0, 0, 1920, 1080); }
    int depth() const override { return 32; }
    QImage::Format format() const override { return QImage::Format_RGB32; }
    QString name() const override { return platformName; }
};

class SurfacelessIntegration : public QPlatformIntegration
{
public:
    SurfacelessIntegration()
    {
        // Asked before any display exists: can this EGL make displays of the platform at all?
        if (!hasExtension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
            fail(QStringLiteral("no EGL driver offers the surfaceless platform (EGL_MESA_platform_surfaceless)"));
            return;
        }
        const EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display == EGL_NO_DISPLAY) {
            fail(QStringLiteral("no EGL display"));
            return;
        }
        if (!eglInitialize(display, nullptr, nullptr)) {
            fail(QStringLiteral("EGL did not initialise"));
            return;
        }
        m_display = display;
        if (!hasExtension(m_display, "EGL_KHR_surfaceless_context") || !hasExtension(m_display, "EGL_KHR_no_config_context"))
            fail(QStringLiteral("EGL cannot make a context current without a surface"));
    }

    ~SurfacelessIntegration() override
    {
        if (m_screen)
            QWindowSystemInterface::handleScreenRemoved(m_screen);
        if (m_display != EGL_NO_DISPLAY)
            eglTerminate(m_display);
    }

    void initialize() override
    {
        m_screen = new SurfacelessScreen;
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
        return new SurfacelessContext(m_display, context->format(), context->shareHandle());
    }

    QPlatformOffscreenSurface *createPlatformOffscreenSurface(QOffscreenSurface *surface) const override
    {
        return new SurfacelessSurface(surface);
    }

    // No windows: nothing here is ever shown.
    QPlatformWindow *createPlatformWindow(QWindow *) const override { return nullptr; }
    QPlatformBackingStore *createPlatformBackingStore(QWindow *) const override { return nullptr; }

    QAbstractEventDispatcher *createEventDispatcher() const override { return createUnixEventDispatcher(); }

private:
    EGLDisplay m_display = EGL_NO_DISPLAY;
    SurfacelessScreen *m_screen = nullptr;   // Qt deletes it when it is removed
};

} // namespace

class HeadlessPlugin : public QPlatformIntegrationPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QPlatformIntegrationFactoryInterface_iid FILE "headlessgl.json")

public:
    QPlatformIntegration *create(const QString &key, const QStringList &) override
    {
        return key.compare(platformName, Qt::CaseInsensitive) == 0 ? new SurfacelessIntegration : nullptr;
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
    if (!platforms.contains(platformName.toLatin1()))
        platforms << platformName.toLatin1();
    qputenv("QT_QPA_PLATFORM", platforms.join(';'));
}

QString failure()
{
    return s_failure;
}

} // namespace HeadlessGL

#include "headlessgl.moc"
