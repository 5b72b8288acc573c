#ifndef SHADERPROBE_H
#define SHADERPROBE_H

#include "offscreencontext.h"
#include "scenerenderer.h"

#include <QObject>
#include <QOpenGLFramebufferObject>
#include <QSizeF>
#include <QVector4D>
#include <QVector>

#include <optional>

// The scene's uniforms for one evaluation.
struct ProbeUniforms
{
    float showTime = 0.0f;
    QSizeF resolution{1.0, 1.0};
};

// Runs single functions of the scene's fragment stage on the real GL. The
// stage is taken from the compiled-in resource with its functions as they
// are; only its main is renamed, and a probe main appended that runs one
// named probe per pixel and writes its value into a float framebuffer. The
// ray functions probed are the stage's own castRay(ro, rd), softshadow(ro,
// rd, mint, tmax), calcNormal(pos) and calcAO(pos, nor): a stage without them
// fails to build here, and every test of the probe with it.
//
// The probes see two inputs: a, which may step from pixel to pixel of a
// grid (a = a0 + x * stepX + y * stepY for the pixel in column x, row y), and
// b, the same for every pixel. The uniforms iGlobalTime and iResolution are set
// for each evaluation.
class ShaderProbe
{
public:
    ShaderProbe();
    ~ShaderProbe();
    ShaderProbe(const ShaderProbe &) = delete;
    ShaderProbe &operator=(const ShaderProbe &) = delete;

    bool isValid() const { return m_renderer && m_renderer->isReady(); }
    QString log() const;

    QVector4D eval(const QString &name, const QVector4D &a, const QVector4D &b = {}, const ProbeUniforms &uniforms = {});

    // Values row by row, the first row being y = 0.
    QVector<QVector4D> grid(const QString &name, const QSize &size, const QVector4D &a0, const QVector4D &stepX,
                            const QVector4D &stepY, const QVector4D &b, const ProbeUniforms &uniforms = {});

private:
    OffscreenContext m_context;
    std::optional<QOpenGLFramebufferObject> m_fbo;
    std::optional<SceneRenderer> m_renderer;
};

// A test of the scene's functions: one probe for all its cases, made before
// the first.
class ShaderProbeTest : public QObject
{
    Q_OBJECT

protected:
    ShaderProbe &probe() { return *m_probe; }

private slots:
    void initTestCase();

private:
    std::optional<ShaderProbe> m_probe;
};

#endif // SHADERPROBE_H
