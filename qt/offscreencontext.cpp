#include "offscreencontext.h"
#include "showgl.h"

OffscreenContext::OffscreenContext()
{
    m_context.setFormat(ShowGL::surfaceFormat());
    if (!m_context.create())
        return;
    m_surface.setFormat(m_context.format());
    m_surface.create();
}

OffscreenContext::~OffscreenContext()
{
    doneCurrent();
}

bool OffscreenContext::isValid() const
{
    // Some platforms fall back to an older context where the one asked for
    // cannot be had.
    const QSurfaceFormat wanted = ShowGL::surfaceFormat();
    const QSurfaceFormat got = m_context.format();
    return m_context.isValid() && got.version() >= wanted.version() && got.profile() == wanted.profile();
}

bool OffscreenContext::makeCurrent()
{
    return isValid() && m_context.makeCurrent(&m_surface);
}

void OffscreenContext::doneCurrent()
{
    if (QOpenGLContext::currentContext() == &m_context)
        m_context.doneCurrent();
}
