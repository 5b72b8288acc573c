#include "offscreenquad.h"
#include "showgl.h"

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

OffscreenQuad::OffscreenQuad()
{
    m_context.setFormat(ShowGL::surfaceFormat());
    if (!m_context.create())
        return;
    m_surface.setFormat(m_context.format());
    m_surface.create();
    if (!makeCurrent())
        return;

    m_vao.create();
    m_vao.bind();
    m_vbo.create();
    m_vbo.bind();
    m_vbo.allocate(ShowGL::quad, sizeof(ShowGL::quad));
    m_vbo.release();
    m_vao.release();
}

OffscreenQuad::~OffscreenQuad()
{
    // GL objects go with their context current; without one none was made.
    if (!makeCurrent())
        return;
    m_vbo.destroy();
    m_vao.destroy();
    m_context.doneCurrent();
}

bool OffscreenQuad::makeCurrent()
{
    return m_context.isValid() && m_context.makeCurrent(&m_surface);
}

void OffscreenQuad::draw(QOpenGLShaderProgram &program)
{
    m_vao.bind();
    m_vbo.bind();
    program.setAttributeBuffer("vertex", GL_FLOAT, 0, 2);
    program.enableAttributeArray("vertex");

    functions()->glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);

    program.disableAttributeArray("vertex");
    m_vbo.release();
    m_vao.release();
}
