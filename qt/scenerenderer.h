#ifndef SCENERENDERER_H
#define SCENERENDERER_H

#include "gpuscene.h"

#include <QByteArray>
#include <QImage>
#include <QOpenGLShaderProgram>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// The scene on the GPU (GpuScene) for the Qt programs that draw it without
// a show window: the studio, the capture and the tests. Draws in whatever
// context is current, into whatever framebuffer is bound. The program is
// built from the compiled-in stages or from stage source text, by the one
// version-line rule, as Qt's program object (as the show window's is); a
// build that fails keeps the program that linked before (if any) and leaves
// the compiler's messages in log().
//
// Everything here needs the same context current: building, drawing, and
// destroying the renderer (as with Qt's own GL objects).
class SceneRenderer
{
public:
    SceneRenderer() = default;
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer &) = delete;
    SceneRenderer &operator=(const SceneRenderer &) = delete;

    // Where a build stopped; None when it linked.
    enum class Failure { None, Vertex, Fragment, Link, NoContext };

    // A program built from stage text, and what the compiler and linker said
    // about it, with line numbers as the stage's text counts them.
    struct Build
    {
        std::unique_ptr<QOpenGLShaderProgram> program; // set only when it linked
        QString log;
        Failure failure = Failure::NoContext;
    };

    // The show's own stages, compiled in from resources.qrc.in.
    bool build();
    bool build(const QByteArray &vertexSource, const QByteArray &fragmentSource);

    // Builds a program in whatever context is current, which may be another
    // context of the renderer's share group on another thread, so that a slow
    // compile keeps the drawing thread free; use() takes it over.
    static Build compile(const QByteArray &vertexSource, const QByteArray &fragmentSource);
    // Builds the stages into a program object of Qt's that the caller keeps
    // (the show window's), in the current context: the failure and the log.
    static Build buildInto(QOpenGLShaderProgram &program, const QByteArray &vertexSource,
                           const QByteArray &fragmentSource);
    // Draws with a build's program from now on when it linked; otherwise keeps
    // the program that linked before. Either way log() and failure() are the
    // build's. Needs the renderer's context current, and a program built on
    // another thread moved to this one (it is a QObject).
    bool use(Build build);

    // The font, iFont: the image as it stands, top row first (none when null).
    void setFont(const QImage &font);
    // An image's pixels into a scene's font texture; a null image leaves it empty.
    static void setFont(GpuScene &scene, const QImage &font);

    // True once a program has linked; draw() draws nothing before that.
    bool isReady() const { return m_program != nullptr; }
    // What the compiler and linker said about the last build.
    QString log() const { return m_log; }
    Failure failure() const { return m_failure; }

    // Draws the frame for a show time over a viewport of the given size in
    // framebuffer pixels, which is also the resolution the scene is told.
    void draw(const QSize &size, float showTime, float beatPulse = 0.0f);

    // For callers that feed uniforms of their own: the program that draws
    // (null before one has linked), and the quad drawn with it over the
    // viewport they have set, fed the scene's uniforms.
    QOpenGLShaderProgram *program() { return m_program.get(); }
    void drawQuad(const SceneUniforms &uniforms, const QSizeF &resolution);

    // The scene's four uniforms fed to a program bound for one draw of its
    // own (its locations looked up for it); resolution is in framebuffer pixels.
    static void setUniforms(QOpenGLShaderProgram &program, float beatPulse, const QSizeF &resolution,
                            float showTime);

private:
    bool makeScene();

    std::unique_ptr<QOpenGLShaderProgram> m_program;
    std::optional<GpuScene> m_scene; // made with the first context current
    QImage m_font;                   // until the scene is made
    QString m_log;
    Failure m_failure = Failure::None;
};

#endif // SCENERENDERER_H
