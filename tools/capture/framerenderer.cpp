#include "framerenderer.h"
#include "beatrule.h"
#include "showgl.h"

#include <QOpenGLExtraFunctions>

#include <cmath>

namespace {

// Light in whole numbers: full light is 2^20, so that the sum of 4 x 4
// samples of 64 sub-frames still fits in 32 bits.
constexpr double fullLight = 1 << 20;
double lightOf(double value)
{
    return fullLight * std::pow(value, 1.0 / ShowGL::gamma);
}

// The light of each 8-bit value.
std::array<GLuint, 256> lightTable()
{
    std::array<GLuint, 256> light{};
    for (int v = 0; v < 256; ++v)
        light[v] = GLuint(std::lround(lightOf(v / 255.0)));
    return light;
}

// The least light that rounds to each 8-bit value: value v takes the light
// from that of v - 1/2 up (rounded up to a whole number) to below v + 1/2's.
std::array<GLuint, 256> lowestTable()
{
    std::array<GLuint, 256> lowest{};
    for (int v = 1; v < 256; ++v)
        lowest[v] = GLuint(std::ceil(lightOf((v - 0.5) / 255.0)));
    return lowest;
}

// Texture units of the passes. Neither is left bound after a pass: the
// scene samples its font on unit 0 (and a maker's stage may sample others),
// and a unit holding the target the scene draws into would feed it itself.
constexpr int sceneUnit = 0;
constexpr int sumsUnit = 1;

} // namespace

FrameRenderer::FrameRenderer(const QSize &size, int supersample, int maxSubframes, const QByteArray &vertexStage,
                             const QByteArray &fragmentStage)
    : m_size(size)
    , m_supersample(supersample)
    , m_averages(supersample > 1 || maxSubframes > 1)
{
    // The passes' stages, compiled into this library.
    Q_INIT_RESOURCE(capture);
    if (!m_context.isValid() || !m_context.makeCurrent()) {
        m_error = QStringLiteral("no OpenGL 4.1 core context");
        return;
    }
    m_gl = QOpenGLContext::currentContext()->extraFunctions();
    m_renderer = QString::fromLatin1(reinterpret_cast<const char *>(m_gl->glGetString(GL_RENDERER)));
    if (!build(vertexStage, fragmentStage))
        return;
    m_frameBytes = size.width() * size.height() * 4;
}

FrameRenderer::~FrameRenderer()
{
    // GL objects go with their context current; without one none was made.
    if (!m_gl || !m_context.makeCurrent())
        return;
    for (const GLsync drawn : m_drawn)
        m_gl->glDeleteSync(drawn);
    m_gl->glDeleteSync(m_partDrawn);
    for (Target *target : {&m_frames[0], &m_frames[1], &m_sceneTarget, &m_sums[0], &m_sums[1]})
        deleteTarget(*target);
    m_accumulate.reset();
    m_resolve.reset();
    m_cover.destroy();
    m_scene.reset();
}

bool FrameRenderer::build(const QByteArray &vertexStage, const QByteArray &fragmentStage)
{
    const QSize sceneSize = m_size * m_supersample;
    GLint largest = 0;
    m_gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (sceneSize.width() > largest || sceneSize.height() > largest) {
        m_error = QStringLiteral("cannot draw %1x%2 pixels: this GL draws at most %3 a side")
                .arg(sceneSize.width()).arg(sceneSize.height()).arg(largest);
        return false;
    }

    m_scene.emplace();
    const bool compiledIn = vertexStage.isEmpty() && fragmentStage.isEmpty();
    if (!(compiledIn ? m_scene->build() : m_scene->build(vertexStage, fragmentStage))) {
        m_stageFailure = m_scene->failure();
        m_stageLog = m_scene->log();
        m_error = QStringLiteral("the scene program did not build: %1").arg(m_scene->log());
        return false;
    }
    if (!m_cover.create()) {
        m_error = QStringLiteral("no vertex array object");
        return false;
    }

    bool made = makeTarget(m_frames[0], m_size, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE)
            && makeTarget(m_frames[1], m_size, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    if (made && m_averages) {
        m_accumulate = makePass(QStringLiteral("accumulate.frag"));
        m_resolve = makePass(QStringLiteral("resolve.frag"));
        made = m_accumulate && m_resolve
                && makeTarget(m_sceneTarget, sceneSize, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE)
                && makeTarget(m_sums[0], m_size, GL_RGBA32UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT)
                && makeTarget(m_sums[1], m_size, GL_RGBA32UI, GL_RGBA_INTEGER, GL_UNSIGNED_INT);
    }
    if (!made)
        return false;

    if (m_averages) {
        const std::array<GLuint, 256> light = lightTable();
        const std::array<GLuint, 256> lowest = lowestTable();
        m_accumulate->bind();
        m_accumulate->setUniformValue("scene", sceneUnit);
        m_accumulate->setUniformValue("sums", sumsUnit);
        m_accumulate->setUniformValue("scale", m_supersample);
        m_gl->glUniform1uiv(m_accumulate->uniformLocation("light"), int(light.size()), light.data());
        m_resolve->bind();
        m_resolve->setUniformValue("sums", sumsUnit);
        m_gl->glUniform1uiv(m_resolve->uniformLocation("lowest"), int(lowest.size()), lowest.data());
        m_resolve->release();
    }
    return true;
}

std::unique_ptr<QOpenGLShaderProgram> FrameRenderer::makePass(const QString &fragmentStage)
{
    auto pass = std::make_unique<QOpenGLShaderProgram>();
    if (pass->addShaderFromSourceFile(QOpenGLShader::Vertex, QStringLiteral(":/capture/shaders/cover.vert"))
        && pass->addShaderFromSourceFile(QOpenGLShader::Fragment, QStringLiteral(":/capture/shaders/") + fragmentStage)
        && pass->link())
        return pass;
    m_error = QStringLiteral("the GL did not build %1: %2").arg(fragmentStage, pass->log().simplified());
    return nullptr;
}

bool FrameRenderer::makeTarget(Target &target, const QSize &size, GLenum internalFormat, GLenum format, GLenum type)
{
    target.size = size;
    m_gl->glGenTextures(1, &target.texture);
    m_gl->glBindTexture(GL_TEXTURE_2D, target.texture);
    m_gl->glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat), size.width(), size.height(), 0, format, type, nullptr);
    // Read texel by texel: no filtering, and no mipmaps to be complete without.
    m_gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    m_gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    m_gl->glBindTexture(GL_TEXTURE_2D, 0);

    m_gl->glGenFramebuffers(1, &target.framebuffer);
    m_gl->glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    m_gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.texture, 0);
    const bool complete = m_gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    m_gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete)
        m_error = QStringLiteral("no %1x%2 framebuffer of format 0x%3")
                .arg(size.width()).arg(size.height()).arg(internalFormat, 0, 16);
    return complete;
}

void FrameRenderer::deleteTarget(Target &target)
{
    m_gl->glDeleteFramebuffers(1, &target.framebuffer);
    m_gl->glDeleteTextures(1, &target.texture);
    target = {};
}

void FrameRenderer::bindTarget(const Target &target)
{
    m_gl->glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    m_gl->glViewport(0, 0, target.size.width(), target.size.height());
}

void FrameRenderer::drawPass(QOpenGLShaderProgram &program, const Target &target)
{
    bindTarget(target);
    program.bind();
    m_cover.bind();
    m_gl->glDrawArrays(GL_TRIANGLES, 0, 3);
    m_cover.release();
    program.release();
}

void FrameRenderer::setFont(const QImage &font)
{
    if (m_scene && m_context.makeCurrent())
        m_scene->setFont(font);
}

void FrameRenderer::drawSceneAt(float showTime, const Target &target)
{
    bindTarget(target);
    m_scene->draw(target.size, showTime, BeatRule::pulseAt(m_beats, showTime));
}

void FrameRenderer::unbindUnits()
{
    for (const int unit : {sumsUnit, sceneUnit}) {
        m_gl->glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        m_gl->glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void FrameRenderer::begin(const std::vector<float> &showTimes)
{
    Q_ASSERT(!m_drawing && !showTimes.empty());
    m_times = showTimes;
    m_part = 0;
    m_drawing = m_error.isEmpty() && !showTimes.empty();
}

bool FrameRenderer::drawNext()
{
    if (!m_drawing)
        return true;
    if (!m_context.makeCurrent()) {
        m_drawing = false;
        return true;
    }
    const int frame = m_next;
    const Target &target = m_frames[size_t(frame)];
    const int subframes = int(m_times.size());
    bool complete = true;
    if (!m_averages || (subframes == 1 && m_supersample == 1)) {
        // The scene's own pixels, as the show window has them.
        drawSceneAt(m_times.front(), target);
    } else {
        drawSceneAt(m_times[size_t(m_part)], m_sceneTarget);
        accumulate(m_part);
        complete = m_part + 1 == subframes;
        if (complete)
            resolve(subframes, target);
    }
    m_gl->glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLsync drawn = m_gl->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    // Sets the GL to work now, so that the caller's own work overlaps it.
    m_gl->glFlush();
    // No more than two parts on their way: the one before must be done.
    waitFor(m_partDrawn);

    // The frame before is read back while this one is drawn.
    if (m_part == 0 && m_unread) {
        m_unread = false;
        readBack(1 - frame);
    }
    ++m_part;
    if (!complete) {
        m_partDrawn = drawn;
        return false;
    }
    m_drawn[size_t(frame)] = drawn;
    m_drawing = false;
    m_unread = true;
    m_next = 1 - frame;
    return true;
}

void FrameRenderer::draw(const std::vector<float> &showTimes)
{
    begin(showTimes);
    while (!drawNext()) {
    }
}

void FrameRenderer::accumulate(int subframe)
{
    // Sub-frames add into the two sums in turn, each reading the other.
    m_gl->glActiveTexture(GL_TEXTURE0 + sceneUnit);
    m_gl->glBindTexture(GL_TEXTURE_2D, m_sceneTarget.texture);
    m_gl->glActiveTexture(GL_TEXTURE0 + sumsUnit);
    m_gl->glBindTexture(GL_TEXTURE_2D, m_sums[size_t((subframe + 1) % 2)].texture);
    m_accumulate->bind();
    m_accumulate->setUniformValue("first", subframe == 0);
    drawPass(*m_accumulate, m_sums[size_t(subframe % 2)]);
    unbindUnits();
}

void FrameRenderer::resolve(int subframes, const Target &frame)
{
    m_gl->glActiveTexture(GL_TEXTURE0 + sumsUnit);
    m_gl->glBindTexture(GL_TEXTURE_2D, m_sums[size_t((subframes - 1) % 2)].texture);
    m_resolve->bind();
    m_gl->glUniform1ui(m_resolve->uniformLocation("samples"), GLuint(subframes * m_supersample * m_supersample));
    drawPass(*m_resolve, frame);
    unbindUnits();
}

void FrameRenderer::waitFor(GLsync &drawn)
{
    if (!drawn)
        return;
    constexpr GLuint64 secondNs = 1000000000;
    while (m_gl->glClientWaitSync(drawn, GL_SYNC_FLUSH_COMMANDS_BIT, secondNs) == GL_TIMEOUT_EXPIRED) {
    }
    m_gl->glDeleteSync(drawn);
    drawn = nullptr;
}

void FrameRenderer::readBack(int frame)
{
    // Once the frame is drawn, and with the next one drawing into the other
    // target, the copy waits for nothing: llvmpipe makes it at once while
    // its threads draw on, and a GPU has nothing left to finish first. (A
    // pixel buffer would only add a second copy on llvmpipe.)
    waitFor(m_drawn[size_t(frame)]);
    QByteArray pixels(m_frameBytes, Qt::Uninitialized);
    m_gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_frames[size_t(frame)].framebuffer);
    // Rows of four-byte pixels need no padding on either side.
    m_gl->glReadPixels(0, 0, m_size.width(), m_size.height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    m_gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    m_pending.push_back(pixels);
}

QByteArray FrameRenderer::take()
{
    if (m_pending.empty() && m_unread && m_context.makeCurrent()) {
        m_unread = false;
        readBack(1 - m_next);
    }
    if (m_pending.empty())
        return {};
    const QByteArray pixels = m_pending.front();
    m_pending.pop_front();
    return pixels;
}

void FrameRenderer::drawScene(float showTime)
{
    if (!m_error.isEmpty() || !m_context.makeCurrent())
        return;
    drawSceneAt(showTime, m_frames[size_t(m_next)]);
    m_gl->glFinish();
    m_unread = true;
    m_next = 1 - m_next;
}

QByteArray FrameRenderer::readBack()
{
    return m_error.isEmpty() ? take() : QByteArray();
}
