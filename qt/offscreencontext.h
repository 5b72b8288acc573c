#ifndef OFFSCREENCONTEXT_H
#define OFFSCREENCONTEXT_H

#include <QOffscreenSurface>
#include <QOpenGLContext>

class QOpenGLFunctions;

// A GL context of the show's format on an offscreen surface: somewhere to
// draw the scene into framebuffers without a window.
class OffscreenContext
{
public:
    OffscreenContext();
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    // True when the driver gave the show's GL (4.1 core or later).
    bool isValid() const;
    // What the driver gave, for saying why it is not enough.
    QSurfaceFormat format() const { return m_context.format(); }

    // False when no context could be made current.
    bool makeCurrent();
    void doneCurrent();
    QOpenGLFunctions *functions() { return m_context.functions(); }

private:
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
};

#endif // OFFSCREENCONTEXT_H
