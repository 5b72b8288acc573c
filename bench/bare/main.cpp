// The floor for this driver: the scene's shader drawn with nothing around it,
// no window system and no toolkit window, only EGL without a surface, a
// framebuffer, the quad and the uniforms, each frame timed from the draw call
// to the end of glFinish.
//
// barebench [--stage FILE] WxH [TIMES]: draws every show time listed in the
// file TIMES (one a line), or evenly spaced show times, five per camera shot.
// barebench --reference [--runs N] [--stage FILE] WxH... [TIMES]: draws nine
// show times per shot, each twice at every size given, in turns, with the
// scene's fragment stage as first written (kept in testsupport/reference) and
// with the show's own, all that N times over (3 by default), and prints the
// frame times of both, how many times faster the show's is, and the lowest
// and highest of the runs' figures. --stage draws the fragment stage in FILE
// in place of the show's: a variant being tried.

#include "benchrows.h"
#include "pixelsize.h"
#include "referencestage.h"
#include "sceneprogram.h"
#include "showgl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QSize>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <utility>
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

// A scene program, the quad and a framebuffer of the size asked.
class BareScene
{
public:
    BareScene(int width, int height, const QByteArray &fragmentStage)
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
        const GLuint fragment = compile(GL_FRAGMENT_SHADER, fragmentStage);
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
        const GLint vertexAttribute = glGetAttribLocation(m_program, SceneProgram::vertexAttribute);
        glVertexAttribPointer(GLuint(vertexAttribute), 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        glEnableVertexAttribArray(GLuint(vertexAttribute));

        glUseProgram(m_program);
        glViewport(0, 0, width, height);
        m_time = glGetUniformLocation(m_program, SceneProgram::timeUniform);
        glUniform2f(glGetUniformLocation(m_program, SceneProgram::resolutionUniform), GLfloat(width), GLfloat(height));
        glUniform1f(glGetUniformLocation(m_program, SceneProgram::beatUniform), 0.0f);
        glUniform1i(glGetUniformLocation(m_program, SceneProgram::fontUniform), SceneProgram::fontUnit);
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
        use();
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
        use();
        const double cpu = processCpuMs();
        QElapsedTimer clock;
        clock.start();
        glUniform1f(m_time, showTime);
        glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);
        glFinish();
        return {double(clock.nsecsElapsed()) / 1e6, processCpuMs() - cpu};
    }

private:
    // Another scene may have drawn since.
    void use() const
    {
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
        glUseProgram(m_program);
        glBindVertexArray(m_vao);
        glViewport(0, 0, m_width, m_height);
    }

    int m_width;
    int m_height;
    GLuint m_fbo = 0;
    GLuint m_colour = 0;
    GLuint m_program = 0;
    GLuint m_vao = 0;
    GLuint m_vbo = 0;
    GLint m_time = -1;
};

std::vector<float> showTimes(const QString &path, int perShot)
{
    std::vector<float> times;
    if (path.isEmpty()) {
        for (int shot = 1; shot <= ShowTime::shots; ++shot) {
            const float from = ShowTime::shotStart(shot);
            const float to = ShowTime::shotEnd(shot);
            for (int i = 0; i < perShot; ++i)
                times.push_back(from + (to - from) * (float(i) + 0.5f) / perShot);
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

// Figures by camera shot, the last entry over all of them.
class ShotFigures
{
public:
    void add(float showTime, double value)
    {
        m_values[size_t(ShowTime::shotAt(showTime) - 1)].push_back(value);
        m_values[size_t(ShowTime::shots)].push_back(value);
    }
    BenchRows::Figures of(int shot) const { return BenchRows::figuresOf(m_values[size_t(shot)]); }

private:
    std::vector<std::vector<double>> m_values = std::vector<std::vector<double>>(ShowTime::shots + 1);
};

QString shotText(int shot)
{
    return shot < ShowTime::shots ? QString::number(shot + 1) : QStringLiteral("all");
}

void printRows(const QString &measure, const QString &sizeText, const ShotFigures &figures)
{
    for (int s = 0; s <= ShowTime::shots; ++s)
        BenchRows::print(measure, sizeText, shotText(s), figures.of(s));
}

// The show's stage alone.
int drawShowStage(int width, int height, const std::vector<float> &times, const QByteArray &stage)
{
    BareScene scene(width, height, stage);
    if (!scene.isValid())
        return fail("no scene program or framebuffer");

    // The first draw builds the driver's code for the program.
    scene.draw(times.front());

    ShotFigures ms, cpuMs;
    for (const float t : times) {
        const BareScene::Cost cost = scene.draw(t);
        ms.add(t, cost.ms);
        cpuMs.add(t, cost.cpuMs);
    }
    const QString sizeText = BenchRows::sizeText(width, height);
    printRows(QStringLiteral("bare draw"), sizeText, ms);
    printRows(QStringLiteral("bare draw, CPU"), sizeText, cpuMs);
    return 0;
}

// The reference stage and the show's at one size.
struct StagePair
{
    StagePair(const QSize &size, const QByteArray &stage)
        : reference(size.width(), size.height(), ShowGL::stageSource(ReferenceStage::resourceName())),
          show(size.width(), size.height(), stage),
          sizeText(BenchRows::sizeText(size.width(), size.height()))
    {
    }

    BareScene reference;
    BareScene show;
    QString sizeText;
    ShotFigures referenceMs, showMs, ratios, cpuRatios;
    std::vector<ShotFigures> cpuRatiosByRun;
};

// The reference stage and the show's, each show time drawn by both in turns
// (which one first alternates) at every size, the whole walk over the show
// times done `runs` times. A ratio is the median of the two frame times'
// ratios at each show time: a change in the machine's load meets both draws
// of a pair alike. Each run's median CPU ratio per shot is kept, to show the
// spread over the runs.
int drawAgainstReference(const QList<QSize> &sizes, int runs, const std::vector<float> &times,
                         const QByteArray &stage)
{
    std::vector<std::unique_ptr<StagePair>> pairs;
    for (const QSize &size : sizes) {
        pairs.push_back(std::make_unique<StagePair>(size, stage));
        StagePair &pair = *pairs.back();
        if (!pair.reference.isValid() || !pair.show.isValid())
            return fail("no scene program or framebuffer");
        // The first draw builds the driver's code for the program.
        pair.reference.draw(times.front());
        pair.show.draw(times.front());
    }

    for (int run = 0; run < runs; ++run) {
        std::fprintf(stderr, "barebench: run %d of %d\n", run + 1, runs);
        for (auto &pair : pairs)
            pair->cpuRatiosByRun.emplace_back();
        for (size_t i = 0; i < times.size(); ++i) {
            const float t = times[i];
            for (auto &pair : pairs) {
                BareScene::Cost referenceCost{}, showCost{};
                if ((i + size_t(run)) % 2 == 0) {
                    referenceCost = pair->reference.draw(t);
                    showCost = pair->show.draw(t);
                } else {
                    showCost = pair->show.draw(t);
                    referenceCost = pair->reference.draw(t);
                }
                pair->referenceMs.add(t, referenceCost.ms);
                pair->showMs.add(t, showCost.ms);
                pair->ratios.add(t, referenceCost.ms / showCost.ms);
                pair->cpuRatios.add(t, referenceCost.cpuMs / showCost.cpuMs);
                pair->cpuRatiosByRun.back().add(t, referenceCost.cpuMs / showCost.cpuMs);
            }
        }
    }

    for (const auto &pair : pairs) {
        const QString &sizeText = pair->sizeText;
        printRows(QStringLiteral("reference stage"), sizeText, pair->referenceMs);
        printRows(QStringLiteral("show's stage"), sizeText, pair->showMs);
        for (const auto &[measure, figures] : {std::pair{QStringLiteral("reference / show's stage, median"), &pair->ratios},
                                               std::pair{QStringLiteral("reference / show's stage, CPU, median"), &pair->cpuRatios}}) {
            for (int s = 0; s <= ShowTime::shots; ++s)
                BenchRows::printOne(measure, sizeText, shotText(s), figures->of(s).median);
        }
        // The lowest and the highest of the runs' medians.
        for (int s = 0; s <= ShowTime::shots; ++s) {
            std::vector<double> medians;
            for (const ShotFigures &run : pair->cpuRatiosByRun)
                medians.push_back(run.of(s).median);
            std::sort(medians.begin(), medians.end());
            BenchRows::printOne(QStringLiteral("reference / show's stage, CPU, lowest of %1 runs").arg(runs), sizeText,
                                shotText(s), medians.front());
            BenchRows::printOne(QStringLiteral("reference / show's stage, CPU, highest of %1 runs").arg(runs), sizeText,
                                shotText(s), medians.back());
        }
    }
    return 0;
}

} // namespace

int usage(FILE *to = stderr)
{
    std::fprintf(to, "usage: barebench [--stage FILE] WxH [TIMES]\n"
                         "       barebench --reference [--runs N] [--stage FILE] WxH... [TIMES]\n");
    return 2;
}

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        usage(stdout);
        return 0;
    }

    bool againstReference = false;
    int runs = 3;
    QByteArray stage = ShowGL::stageSource(ShowGL::fragmentShader());
    while (!arguments.isEmpty() && arguments.first().startsWith(QStringLiteral("--"))) {
        const QString option = arguments.takeFirst();
        if (option == QStringLiteral("--reference")) {
            againstReference = true;
        } else if (option == QStringLiteral("--runs") && !arguments.isEmpty()) {
            bool ok = false;
            runs = arguments.takeFirst().toInt(&ok);
            if (!ok || runs < 1)
                return usage();
        } else if (option == QStringLiteral("--stage") && !arguments.isEmpty()) {
            const QString path = arguments.takeFirst();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return fail(qPrintable(QStringLiteral("cannot read %1: %2").arg(path, file.errorString())));
            stage = file.readAll();
        } else {
            return usage();
        }
    }

    // The sizes, then perhaps a file of show times.
    QList<QSize> sizes;
    while (!arguments.isEmpty() && PixelSize::parse(arguments.first()).isValid())
        sizes << PixelSize::parse(arguments.takeFirst());
    if (sizes.isEmpty() || arguments.size() > 1 || (!againstReference && sizes.size() > 1))
        return usage();
    // The ratio of two stages wants more frames for a steady median.
    const std::vector<float> times = showTimes(arguments.value(0), againstReference ? 9 : 5);
    if (times.empty())
        return fail("no show times to draw");

    SurfacelessContext context;
    if (!context.isCurrent())
        return fail("no OpenGL 4.1 core context on EGL's surfaceless platform");
    if (againstReference)
        return drawAgainstReference(sizes, runs, times, stage);
    return drawShowStage(sizes.first().width(), sizes.first().height(), times, stage);
}
