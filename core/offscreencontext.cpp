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

bool OffscreenContext::makeCurrent()
{
    return m_context.isValid() && m_context.makeCurrent(&m_surface);
}

void OffscreenContext::doneCurrent()
{
    if (QOpenGLContext::currentContext() == &m_context)
        m_context.doneCurrent();
}
