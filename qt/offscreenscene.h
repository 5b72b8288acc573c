#ifndef OFFSCREENSCENE_H
#define OFFSCREENSCENE_H

#include "offscreencontext.h"
#include "scenerenderer.h"

#include <QImage>
#include <QOpenGLFramebufferObject>
#include <QSize>

#include <optional>

// The show's scene drawn without a window, into a framebuffer of a fixed
// size, by the same renderer and uniforms as the show window's frame loop,
// so a frame equals the window's frame for the same show time and size.
class OffscreenScene
{
public:
    explicit OffscreenScene(const QSize &size);
    ~OffscreenScene();
    OffscreenScene(const OffscreenScene &) = delete;
    OffscreenScene &operator=(const OffscreenScene &) = delete;

    // False when no context, framebuffer or linked program could be made.
    bool isValid() const;
    QSize size() const { return m_size; }

    // Makes the scene's context current, for GL work of the caller's own.
    bool makeCurrent();

    // Draws the frame for a show time; beatPulse is what iBeat gets. Returns
    // while the GL is still at work on it.
    void draw(float showTime, float beatPulse = 0.0f);
    // Returns once the drawing is done.
    void finish();
    // The framebuffer's bytes as stored, alpha included, top row first. The
    // fade has scaled the colour already, so without alpha it is the screen's.
    QImage read();
    QImage frame(float showTime, float beatPulse = 0.0f);

private:
    QSize m_size;
    OffscreenContext m_context;
    std::optional<QOpenGLFramebufferObject> m_fbo;
    std::optional<SceneRenderer> m_renderer;
};

#endif // OFFSCREENSCENE_H
