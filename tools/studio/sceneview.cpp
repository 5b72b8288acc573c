#include "sceneview.h"

#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <cmath>

namespace {

// Under a first build that failed: no picture, a plain dark grey.
constexpr float plainGrey = 0.2f;

} // namespace

void SceneView::create(const QImage &font)
{
    m_renderer.emplace();
    m_renderer->setFont(font);
    m_dirty = true;
}

void SceneView::release()
{
    m_renderer.reset();
    m_scene.reset();
}

bool SceneView::use(SceneRenderer::Build build)
{
    if (!m_renderer)
        return false;
    m_dirty = true;
    const bool linked = m_renderer->use(std::move(build));
    if (linked)
        ++m_programs;
    return linked;
}

QSize SceneView::drawnSize(const QSize &framebuffer) const
{
    return QSize(qMax(1, int(std::lround(framebuffer.width() * m_scale))),
                 qMax(1, int(std::lround(framebuffer.height() * m_scale))));
}

bool SceneView::needsDrawing(const QSize &framebuffer, double showTime)
{
    const QSize drawn = drawnSize(framebuffer);
    if (!m_scene || m_scene->size() != drawn) {
        m_scene.emplace(drawn);
        m_dirty = true;
    }
    return m_dirty || !m_drawnTime || *m_drawnTime != showTime;
}

std::optional<qint64> SceneView::draw(QOpenGLContext &context, double showTime, float beatPulse, bool timed)
{
    QOpenGLFunctions *gl = context.functions();
    std::optional<qint64> took;
    m_scene->bind();
    // The text painted over the last frame leaves blending on.
    gl->glDisable(GL_BLEND);
    if (m_renderer->isReady()) {
        QElapsedTimer timer;
        if (timed) {
            gl->glFinish();
            timer.start();
        }
        m_renderer->draw(m_scene->size(), float(showTime), beatPulse);
        if (timed) {
            gl->glFinish();
            took = timer.elapsed();
        }
    } else {
        gl->glViewport(0, 0, m_scene->width(), m_scene->height());
        gl->glClearColor(plainGrey, plainGrey, plainGrey, 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    m_scene->release();
    m_drawnTime = showTime;
    m_drawnProgram = m_programs;
    m_dirty = false;
    ++m_draws;
    return took;
}

void SceneView::present(const QSize &framebuffer)
{
    // A scale of 1 copies pixel for pixel.
    QOpenGLFramebufferObject::blitFramebuffer(nullptr, QRect(QPoint(), framebuffer), &*m_scene,
                                              QRect(QPoint(), m_scene->size()), GL_COLOR_BUFFER_BIT, GL_LINEAR);
}

QImage SceneView::image(QOpenGLContext &context)
{
    if (!m_scene)
        return {};
    // Rows of four-byte pixels need no padding on either side.
    QImage image(m_scene->size(), QImage::Format_RGBA8888);
    m_scene->bind();
    context.functions()->glReadPixels(0, 0, image.width(), image.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    m_scene->release();
    // GL's first row is the bottom one.
    return image.mirrored();
}
