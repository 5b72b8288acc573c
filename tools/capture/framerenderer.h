#ifndef FRAMERENDERER_H
#define FRAMERENDERER_H

#include "offscreencontext.h"
#include "scenerenderer.h"

#include <QByteArray>
#include <QImage>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QSize>

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QOpenGLExtraFunctions;

// Draws the capture's frames on the GL and reads them back, RGBA with the
// bottom row first, as GL has them.
//
// A frame is the scene at one show time, fed what the show feeds it then
// (the beat pulse of BeatRule::pulseAt, the font on unit 0), or the average of several
// (sub-frames, for motion blur), each drawn at `supersample` times the width
// and height and its blocks of pixels averaged. The averages are taken in
// linear light: the scene raises its colour to the power ShowGL::gamma, so
// an 8-bit value v stands for the light (v / 255)^(1 / gamma). The light is
// summed in whole numbers (full light 2^20) and the average turned back into
// the value whose rounding span holds it, so the result is exact and the
// same on any GL. A frame of one sub-frame at supersample 1 is the scene's own
// pixels, untouched.
//
// Read-back runs beside the drawing: draw() returns while the GL works on
// the frame, once the frame before is read back; its pixels are ready to
// take then, and the caller's work on them overlaps the drawing.
class FrameRenderer
{
public:
    // The frame's size; maxSubframes is the most sub-frames a frame will have.
    // The scene's stages are the given text, or the compiled-in ones where
    // both are empty.
    FrameRenderer(const QSize &size, int supersample, int maxSubframes, const QByteArray &vertexStage = {},
                  const QByteArray &fragmentStage = {});
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer &) = delete;
    FrameRenderer &operator=(const FrameRenderer &) = delete;

    // Empty when it can draw; else one line saying why it cannot.
    QString error() const { return m_error; }
    const OffscreenContext &context() const { return m_context; }
    // The GL's renderer as the driver names it (GL_RENDERER).
    QString renderer() const { return m_renderer; }
    // Where the scene's stages failed to build, and what the compiler said
    // (None with an empty log when they built, or were never tried).
    SceneRenderer::Failure stageFailure() const { return m_stageFailure; }
    QString stageLog() const { return m_stageLog; }

    // The font, iFont (none when null), and the beat list the pulse, iBeat,
    // comes from (none: no pulse), for the frames drawn from now on.
    void setFont(const QImage &font);
    void setBeats(const std::vector<int> &beats) { m_beats = beats; }

    // Begins a frame from the show times of its sub-frames; drawNext() then
    // draws it a sub-frame at a time, each call returning while the GL works
    // on the part it set going, once the part before is done. So the caller
    // can run its event loop between any two parts of even the longest frame.
    void begin(const std::vector<float> &showTimes);
    // True once the last part of the frame is on its way.
    bool drawNext();
    bool isDrawing() const { return m_drawing; }
    // A whole frame: begin() and every part.
    void draw(const std::vector<float> &showTimes);
    // Frames begun whose pixels have not been taken yet.
    int pending() const { return int(m_pending.size()) + (m_unread ? 1 : 0) + (m_drawing ? 1 : 0); }
    // The pixels of the oldest frame not yet taken, 4 bytes each, bottom row
    // first; alpha holds the fade, which the colour has already. Empty if
    // the GL failed.
    QByteArray take();
    int frameBytes() const { return m_frameBytes; }

    // The steps of draw() one by one, each waiting for the GL, for the
    // benchmark's account of where the time goes.
    void drawScene(float showTime);
    QByteArray readBack();

private:
    // A texture and the framebuffer that draws into it.
    struct Target
    {
        GLuint texture = 0;
        GLuint framebuffer = 0;
        QSize size;
    };

    bool build(const QByteArray &vertexStage, const QByteArray &fragmentStage);
    bool makeTarget(Target &target, const QSize &size, GLenum internalFormat, GLenum format, GLenum type);
    void deleteTarget(Target &target);
    std::unique_ptr<QOpenGLShaderProgram> makePass(const QString &fragmentStage);
    void bindTarget(const Target &target);
    void drawSceneAt(float showTime, const Target &target);
    void unbindUnits();
    void drawPass(QOpenGLShaderProgram &program, const Target &target);
    void accumulate(int subframe);
    void resolve(int subframes, const Target &frame);
    void waitFor(GLsync &drawn);
    void readBack(int frame);

    QSize m_size;
    int m_supersample;
    bool m_averages;
    int m_frameBytes = 0;
    QString m_error;
    SceneRenderer::Failure m_stageFailure = SceneRenderer::Failure::None;
    QString m_stageLog;

    OffscreenContext m_context;
    QString m_renderer;
    QOpenGLExtraFunctions *m_gl = nullptr;
    std::optional<SceneRenderer> m_scene;
    std::vector<int> m_beats;
    QOpenGLVertexArrayObject m_cover;
    std::unique_ptr<QOpenGLShaderProgram> m_accumulate;
    std::unique_ptr<QOpenGLShaderProgram> m_resolve;

    // Frames are drawn into the two targets in turn, so that one is read
    // back while the GL draws the next into the other; each has a fence that
    // says when its drawing is done.
    std::array<Target, 2> m_frames;
    std::array<GLsync, 2> m_drawn{};
    int m_next = 0;
    // The frame being drawn: its show times, the next part, and the fence
    // of the part before, not yet waited for.
    std::vector<float> m_times;
    int m_part = 0;
    bool m_drawing = false;
    GLsync m_partDrawn = nullptr;
    // The last frame drawn is still in its target, not yet read back.
    bool m_unread = false;
    // Where sub-frames are drawn (at supersample times the size) and their
    // light summed, for frames that average.
    Target m_sceneTarget;
    std::array<Target, 2> m_sums;

    // Frames read back and not yet taken, oldest first.
    std::deque<QByteArray> m_pending;
};

#endif // FRAMERENDERER_H
