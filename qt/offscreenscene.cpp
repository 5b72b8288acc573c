#include "offscreenscene.h"

#include <QOpenGLFunctions>

OffscreenScene::OffscreenScene(const QSize &size)
    : m_size(size)
{
    if (!makeCurrent())
        return;
    m_fbo.emplace(size);
    m_renderer.emplace();
    m_renderer->build();
}

OffscreenScene::~OffscreenScene()
{
    // GL objects go with their context current; without one none was made.
    if (!makeCurrent())
        return;
    m_renderer.reset();
    m_fbo.reset();
}

bool OffscreenScene::isValid() const
{
    return m_fbo && m_fbo->isValid() && m_renderer && m_renderer->isReady();
}

bool OffscreenScene::makeCurrent()
{
    return m_context.makeCurrent();
}

void OffscreenScene::draw(float showTime, float beatPulse)
{
    if (!isValid() || !makeCurrent())
        return;
    m_fbo->bind();
    m_renderer->draw(m_size, showTime, beatPulse);
    m_fbo->release();
    // Sets the GL to work now, so that the caller's own work overlaps it.
    m_context.functions()->glFlush();
}

void OffscreenScene::finish()
{
    if (makeCurrent())
        m_context.functions()->glFinish();
}

QImage OffscreenScene::read()
{
    if (!isValid() || !makeCurrent())
        return {};
    // Rows of four-byte pixels need no padding on either side.
    QImage image(m_size, QImage::Format_RGBA8888);
    m_fbo->bind();
    m_context.functions()->glReadPixels(0, 0, m_size.width(), m_size.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                                        image.bits());
    m_fbo->release();
    // GL's first row is the bottom one.
    return image.mirrored();
}

QImage OffscreenScene::frame(float showTime, float beatPulse)
{
    draw(showTime, beatPulse);
    return read();
}
