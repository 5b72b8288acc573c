#include "offscreenscene.h"
#include "showgl.h"

#include <QOpenGLFunctions>

OffscreenScene::OffscreenScene(const QSize &size)
    : m_size(size)
{
    if (!makeCurrent())
        return;

    m_fbo.emplace(size);

    m_program.emplace();
    m_program->addShaderFromSourceFile(QOpenGLShader::Vertex, ShowGL::vertexShader());
    m_program->addShaderFromSourceFile(QOpenGLShader::Fragment, ShowGL::fragmentShader());
    m_program->link();
}

OffscreenScene::~OffscreenScene()
{
    // GL objects go with their context current; without one none was made.
    if (!makeCurrent())
        return;
    m_program.reset();
    m_fbo.reset();
}

bool OffscreenScene::isValid() const
{
    return m_fbo && m_fbo->isValid() && m_program && m_program->isLinked();
}

bool OffscreenScene::makeCurrent()
{
    return m_quad.makeCurrent();
}

void OffscreenScene::draw(float showTime, float beatPulse)
{
    if (!isValid() || !makeCurrent())
        return;
    QOpenGLFunctions *gl = m_quad.functions();

    m_fbo->bind();
    gl->glViewport(0, 0, m_size.width(), m_size.height());

    m_program->bind();

    // The show window's uniforms, in its order; the resolution is in
    // framebuffer pixels there too.
    m_program->setUniformValue("iBeat", beatPulse);
    m_program->setUniformValue("iFont", 0);
    m_program->setUniformValue("iResolution", QSizeF(m_size));
    m_program->setUniformValue("iGlobalTime", showTime);

    m_quad.draw(*m_program);

    m_program->release();
    m_fbo->release();

    // Sets the GL to work now, so that the caller's own work overlaps it.
    gl->glFlush();
}

void OffscreenScene::finish()
{
    if (makeCurrent())
        m_quad.functions()->glFinish();
}

QImage OffscreenScene::read()
{
    if (!isValid() || !makeCurrent())
        return {};
    QOpenGLFunctions *gl = m_quad.functions();

    // Rows of four-byte pixels need no padding on either side.
    QImage image(m_size, QImage::Format_RGBA8888);
    m_fbo->bind();
    gl->glReadPixels(0, 0, m_size.width(), m_size.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    m_fbo->release();
    // GL's first row is the bottom one.
    return image.mirrored();
}

QImage OffscreenScene::frame(float showTime, float beatPulse)
{
    draw(showTime, beatPulse);
    return read();
}
