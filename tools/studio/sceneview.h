#ifndef SCENEVIEW_H
#define SCENEVIEW_H

#include "scenerenderer.h"

#include <QImage>
#include <QOpenGLFramebufferObject>

#include <optional>

class QOpenGLContext;

// The scene as the studio shows it: drawn into a framebuffer at the render
// scale of the window's and stretched onto the window. The framebuffer is
// kept: while the show time stands still the scene drawn last is shown
// again without drawing it. Under a first build that failed there is no
// picture, a plain dark grey.
//
// Everything here needs the window's context current, its release included.
class SceneView
{
public:
    explicit SceneView(double scale) : m_scale(scale) {}

    // Makes the GL objects, the font texture from an image (none when null).
    void create(const QImage &font);
    // Releases them; nothing is drawn until create() again.
    void release();
    bool isCreated() const { return m_renderer.has_value(); }

    // A new program draws from now on when it linked; log() says why not.
    bool use(SceneRenderer::Build build);
    QString log() const { return m_renderer ? m_renderer->log() : QString(); }
    // The program that draws, null before one has linked.
    QOpenGLShaderProgram *program() { return m_renderer ? m_renderer->program() : nullptr; }

    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale; }
    // The size the scene is drawn at for a window framebuffer of this size.
    QSize drawnSize(const QSize &framebuffer) const;

    // Whether the scene must be drawn again for a window framebuffer of
    // this size at this show time: a new program, size, scale or time.
    bool needsDrawing(const QSize &framebuffer, double showTime);
    // Draws it; with timed, returns how long the GL took to draw it.
    std::optional<qint64> draw(QOpenGLContext &context, double showTime, float beatPulse, bool timed);
    // Onto the window's framebuffer, stretched.
    void present(const QSize &framebuffer);
    // The scene as last drawn, at the size drawn.
    QImage image(QOpenGLContext &context);
    QSize size() const { return m_scene ? m_scene->size() : QSize(); }
    int draws() const { return m_draws; }
    // Programs that linked and took over so far, and the one the scene
    // was last drawn with (counted from 1).
    int programs() const { return m_programs; }
    int drawnProgram() const { return m_drawnProgram; }
    bool isDrawn() const { return !m_dirty; }

private:
    std::optional<SceneRenderer> m_renderer;
    std::optional<QOpenGLFramebufferObject> m_scene;
    double m_scale;
    // The show time the framebuffer holds, and whether it must be drawn again.
    std::optional<double> m_drawnTime;
    bool m_dirty = true;
    int m_draws = 0;
    int m_programs = 0;
    int m_drawnProgram = 0;
};

#endif // SCENEVIEW_H
