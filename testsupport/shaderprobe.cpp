#include "shaderprobe.h"

#include "glreadback.h"
#include "showgl.h"

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QtTest>

namespace {

// name, GLSL statements that set the vec4 value
const QVector<QPair<QString, QString>> probes{
    {"sdBox", "value = vec4(sdBox(a.xyz, b.xyz));"},
    {"map", "value = vec4(map(a.xyz), 0.0, 0.0);"},
    // the walls' distance, material and the bound of it that walks carry
    {"mapWallsAndBound", "value = vec4(mapWallsAndBound(a.xyz), 0.0);"},
    {"createRotationY", "value = vec4(a.xyz * createRotationY(b.x), 0.0);"},
    {"castRay", "value = vec4(castRay(a.xyz, b.xyz), 0.0, 0.0);"},
    // mint and tmax ride in the fourth components
    {"softshadow", "value = vec4(softshadow(a.xyz, b.xyz, a.w, b.w));"},
    {"calcNormal", "value = vec4(calcNormal(a.xyz), 0.0);"},
    {"calcAO", "value = vec4(calcAO(a.xyz, b.xyz));"},
    {"render", "value = vec4(render(a.xyz, b.xyz), 0.0);"},
    // the camera as main applies it: a.xy is the start offset p
    {"rayStart", "value = vec4(a.x, a.y, DISTANCE, 1.0) * getCameraMatrix();"},
    // a.xy is the pixel position, as main passes gl_FragCoord
    {"rayDir", "value = createRay(45.0, iResolution.xy, a.xy) * getCameraMatrix();"},
    {"getAlpha", "value = vec4(getAlpha());"},
    // the pixel's own primary ray, built as main builds it, marched and
    // rendered
    {"primaryHit", "value = vec4(castRay(primaryStart(), primaryDir()), 0.0, 0.0);"},
    {"primaryRender", "value = vec4(render(primaryStart(), primaryDir()), 0.0);"},
    // the stage's own main for the pixel
    {"sceneMain", "sceneMain(); value = result;"},
};

int indexOf(const QString &name)
{
    for (int i = 0; i < probes.size(); ++i)
        if (probes[i].first == name)
            return i;
    return -1;
}

QByteArray probeSource()
{
    QByteArray stage = ShowGL::stageSource(ShowGL::fragmentShader());
    if (stage.isEmpty())
        return {};

    // The stage's own main keeps its body under another name.
    const int endOfVersion = stage.indexOf('\n') + 1;
    stage.insert(endOfVersion, "#define main sceneMain\n");

    QByteArray probe = "\n#undef main\n"
                       "uniform int probeFunction;\n"
                       "uniform vec4 probeA;\n"
                       "uniform vec4 probeStepX;\n"
                       "uniform vec4 probeStepY;\n"
                       "uniform vec4 probeB;\n"
                       "vec3 primaryStart()\n"
                       "{\n"
                       "    vec2 p = (-iResolution.xy + 2.0 * gl_FragCoord.xy) / iResolution.y;\n"
                       "    return (vec4(p.x, p.y, DISTANCE, 1.0) * getCameraMatrix()).xyz;\n"
                       "}\n"
                       "vec3 primaryDir()\n"
                       "{\n"
                       "    return (createRay(45.0, iResolution.xy, gl_FragCoord.xy) * getCameraMatrix()).xyz;\n"
                       "}\n"
                       "void main()\n"
                       "{\n"
                       "    vec2 cell = gl_FragCoord.xy - 0.5;\n"
                       "    vec4 a = probeA + cell.x * probeStepX + cell.y * probeStepY;\n"
                       "    vec4 b = probeB;\n"
                       "    vec4 value = vec4(0.0);\n";
    for (int i = 0; i < probes.size(); ++i)
        probe += QStringLiteral("    if (probeFunction == %1) { %2 }\n").arg(i).arg(probes[i].second).toLatin1();
    probe += "    result = value;\n"
             "}\n";
    return stage + probe;
}

} // namespace

ShaderProbe::ShaderProbe()
{
    if (!m_context.makeCurrent())
        return;
    m_renderer.emplace();
    m_renderer->build(ShowGL::stageSource(ShowGL::vertexShader()), probeSource());
}

ShaderProbe::~ShaderProbe()
{
    // GL objects go with their context current; without one none was made.
    if (!m_context.makeCurrent())
        return;
    m_renderer.reset();
    m_fbo.reset();
}

QString ShaderProbe::log() const
{
    return m_renderer ? m_renderer->log() : QStringLiteral("no GL context");
}

QVector4D ShaderProbe::eval(const QString &name, const QVector4D &a, const QVector4D &b, const ProbeUniforms &uniforms)
{
    const QVector<QVector4D> values = grid(name, QSize(1, 1), a, {}, {}, b, uniforms);
    return values.isEmpty() ? QVector4D(qQNaN(), qQNaN(), qQNaN(), qQNaN()) : values.first();
}

QVector<QVector4D> ShaderProbe::grid(const QString &name, const QSize &size, const QVector4D &a0,
                                     const QVector4D &stepX, const QVector4D &stepY, const QVector4D &b,
                                     const ProbeUniforms &uniforms)
{
    const int index = indexOf(name);
    if (!isValid() || index < 0 || !m_context.makeCurrent())
        return {};
    QOpenGLShaderProgram &program = *m_renderer->program();

    if (!m_fbo || m_fbo->size() != size)
        m_fbo.emplace(size, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D, GL_RGBA32F);
    m_fbo->bind();
    m_context.functions()->glViewport(0, 0, size.width(), size.height());

    program.bind();
    program.setUniformValue("probeFunction", index);
    program.setUniformValue("probeA", a0);
    program.setUniformValue("probeStepX", stepX);
    program.setUniformValue("probeStepY", stepY);
    program.setUniformValue("probeB", b);
    m_renderer->drawQuad({0.0f, uniforms.showTime}, uniforms.resolution);
    program.release();

    const QVector<QVector4D> values = GLReadBack::values(size);
    m_fbo->release();
    return values;
}

void ShaderProbeTest::initTestCase()
{
    m_probe.emplace();
    QVERIFY2(m_probe->isValid(), qPrintable(m_probe->log()));
}
