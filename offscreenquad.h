#ifndef OFFSCREENQUAD_H
#define OFFSCREENQUAD_H

#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLVertexArrayObject>

class QOpenGLFunctions;
class QOpenGLShaderProgram;

// A context of the show's format on an offscreen surface, with the show's
// full-screen quad uploaded: all that drawing a fragment stage over a
// framebuffer needs, without a window.
class OffscreenQuad
{
public:
    OffscreenQuad();
    ~OffscreenQuad();
    OffscreenQuad(const OffscreenQuad &) = delete;
    OffscreenQuad &operator=(const OffscreenQuad &) = delete;

    // False when no context could be made current.
    bool makeCurrent();
    QOpenGLFunctions *functions() { return m_context.functions(); }

    // Draws the quad with the program, which is bound with its uniforms set,
    // feeding its attribute `vertex` as the show window does.
    void draw(QOpenGLShaderProgram &program);

private:
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    QOpenGLVertexArrayObject m_vao;
    QOpenGLBuffer m_vbo;
};

#endif // OFFSCREENQUAD_H
