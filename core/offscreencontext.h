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

    // False when no context could be made current.
    bool makeCurrent();
    void doneCurrent();
    QOpenGLFunctions *functions() { return m_context.functions(); }

private:
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
};

#endif // OFFSCREENCONTEXT_H
