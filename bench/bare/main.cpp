// The floor for this driver: the scene's shader drawn with nothing around it,
// no window system and no toolkit window, only EGL without a surface, a
// framebuffer, the quad and the uniforms, each frame timed from the draw call
// to the end of glFinish.
//
// barebench WxH [TIMES]: draws every show time listed in the file TIMES (one
// a line), or five evenly spaced show times per camera segment.

#include "benchrows.h"
#include "showgl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <array>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {


int fail(const char *what)
{
    std::fprintf(stderr, "barebench: %s\n", what);
    return 1;
}

// On a software GL the drawing is in the process's own threads.
double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

GLuint compile(GLenum stage, const QByteArray &source)
{
    const GLuint shader = glCreateShader(stage);
    const char *text = source.constData();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        std::array<char, 4096> log{};
        glGetShaderInfoLog(shader, GLsizei(log.size()), nullptr, log.data());
        std::fprintf(stderr, "barebench: shader: %s\n", log.data());
    }
    return shader;
}

// A GL 4.1 core context on EGL's surfaceless platform, current until it goes.
class SurfacelessContext
{
public:
    SurfacelessContext()
    {
        m_display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (m_display == EGL_NO_DISPLAY || !eglInitialize(m_display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API))
            return;
        const EGLint attributes[] = {
            EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 1,
            EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
            EGL_NONE,
        };
        m_context = eglCreateContext(m_display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
        if (m_context != EGL_NO_CONTEXT)
            m_current = eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context);
    }
    ~SurfacelessContext()
    {
        if (m_current)
            eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (m_context != EGL_NO_CONTEXT)
            eglDestroyContext(m_display, m_context);
        if (m_display != EGL_NO_DISPLAY)
            eglTerminate(m_display);
    }
    SurfacelessContext(const SurfacelessContext &) = delete;
    SurfacelessContext &operator=(const SurfacelessContext &) = delete;

    bool isCurrent() const { return m_current; }

private:
    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLContext m_context = EGL_NO_CONTEXT;
    bool m_current = false;
};

// The scene program, the quad and a framebuffer of the size asked.
class BareScene
{
public:
    explicit BareScene(int width, int height)
        : m_width(width), m_height(height)
    {
        glGenFramebuffers(1, &m_fbo);
        glGenRenderbuffers(1, &m_colour);
        glBindRenderbuffer(GL_RENDERBUFFER, m_colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colour);

        m_program = glCreateProgram();
        const GLuint vertex = compile(GL_VERTEX_SHADER, ShowGL::stageSource(ShowGL::vertexShader()));
        const GLuint fragment = compile(GL_FRAGMENT_SHADER, ShowGL::stageSource(ShowGL::fragmentShader()));
        glAttachShader(m_program, vertex);
        glAttachShader(m_program, fragment);
        glLinkProgram(m_program);
        glDeleteShader(vertex);
        glDeleteShader(fragment);

        glGenVertexArrays(1, &m_vao);
        glBindVertexArray(m_vao);
        glGenBuffers(1, &m_vbo);
        glBindBuffer(GL_ARRAY_BUFFER, m_vbo);
        glBufferData(GL_ARRAY_BUFFER, sizeof(ShowGL::quad), ShowGL::quad, GL_STATIC_DRAW);
        const GLint vertexAttribute = glGetAttribLocation(m_program, "vertex");
        glVertexAttribPointer(GLuint(vertexAttribute), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(vertexAttribute));

        glUseProgram(m_program);
        glViewport(0, 0, width, height);
        m_time = glGetUniformLocation(m_program, "iGlobalTime");
        glUniform2f(glGetUniformLocation(m_program, "iResolution"), GLfloat(width), GLfloat(height));
        glUniform1f(glGetUniformLocation(m_program, "iBeat"), 0.0f);
        glUniform1i(glGetUniformLocation(m_program, "iFont"), 0);
    }
    ~BareScene()
    {
        glDeleteBuffers(1, &m_vbo);
        glDeleteVertexArrays(1, &m_vao);
        glDeleteProgram(m_program);
        glDeleteRenderbuffers(1, &m_colour);
        glDeleteFramebuffers(1, &m_fbo);
    }
    BareScene(const BareScene &) = delete;
    BareScene &operator=(const BareScene &) = delete;

    bool isValid() const
    {
        GLint linked = GL_FALSE;
        glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
        return linked && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    struct Cost
    {
        double ms;      // from the draw call until the frame is done
        double cpuMs;   // CPU time of every thread meanwhile
    };

    Cost draw(float showTime)
    {
        const double cpu = processCpuMs();
        QElapsedTimer clock;
        clock.start();
        glUniform1f(m_time, showTime);
        glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);
        glFinish();
        return {double(clock.nsecsElapsed()) / 1e6, processCpuMs() - cpu};
    }

private:
    int m_width;
    int m_height;
    GLuint m_fbo = 0;
    GLuint m_colour = 0;
    GLuint m_program = 0;
    GLuint m_vao = 0;
    GLuint m_vbo = 0;
    GLint m_time = -1;
};

std::vector<float> showTimes(const QString &path)
{
    std::vector<float> times;
    if (path.isEmpty()) {
        constexpr int perSegment = 5;
        for (int shot = 1; shot <= ShowTime::shots; ++shot) {
            const float from = ShowTime::shotStart(shot);
            const float to = ShowTime::shotEnd(shot);
            for (int i = 0; i < perSegment; ++i)
                times.push_back(from + (to - from) * (float(i) + 0.5f) / perSegment);
        }
        return times;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return times;
    for (const QByteArray &line : file.readAll().split('\n')) {
        bool ok = false;
        const float t = line.trimmed().toFloat(&ok);
        if (ok)
            times.push_back(t);
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("^(\\d+)x(\\d+)$"))
            .match(QString::fromLocal8Bit(argc > 1 ? argv[1] : ""));
    if (!size.hasMatch() || argc > 3) {
        std::fprintf(stderr, "usage: barebench WxH [TIMES]\n");
        return 2;
    }
    const int width = size.captured(1).toInt();
    const int height = size.captured(2).toInt();
    const std::vector<float> times = showTimes(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (times.empty())
        return fail("no show times to draw");

    SurfacelessContext context;
    if (!context.isCurrent())
        return fail("no OpenGL 4.1 core context on EGL's surfaceless platform");
    BareScene scene(width, height);
    if (!scene.isValid())
        return fail("no scene program or framebuffer");

    // The first draw builds the driver's code for the program.
    scene.draw(times.front());

    std::vector<std::vector<double>> ms(BenchRows::segments + 1);   // the last: all
    std::vector<std::vector<double>> cpuMs(BenchRows::segments + 1);
    for (const float t : times) {
        const BareScene::Cost cost = scene.draw(t);
        for (const size_t row : {size_t(BenchRows::segmentOf(t) - 1), size_t(BenchRows::segments)}) {
            ms[row].push_back(cost.ms);
            cpuMs[row].push_back(cost.cpuMs);
        }
    }
    const QString sizeText = BenchRows::sizeText(width, height);
    for (const auto &[measure, figures] : {std::pair{QStringLiteral("bare draw"), &ms},
                                           std::pair{QStringLiteral("bare draw, CPU"), &cpuMs}}) {
        for (int s = 0; s <= BenchRows::segments; ++s)
            BenchRows::print(measure, sizeText, s < BenchRows::segments ? QString::number(s + 1) : QStringLiteral("all"),
                             BenchRows::figuresOf((*figures)[size_t(s)]));
    }
    return 0;
}
