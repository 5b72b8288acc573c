#include "scenerenderer.h"
#include "showgl.h"
#include "stageversion.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

SceneRenderer::~SceneRenderer()
{
    // The owner has the context current, as Qt's GL objects need.
    m_scene.reset();
    m_program.reset();
}

bool SceneRenderer::build()
{
    return build(ShowGL::stageSource(ShowGL::vertexShader()), ShowGL::stageSource(ShowGL::fragmentShader()));
}

bool SceneRenderer::build(const QByteArray &vertexSource, const QByteArray &fragmentSource)
{
    return use(compile(vertexSource, fragmentSource));
}

SceneRenderer::Build SceneRenderer::compile(const QByteArray &vertexSource, const QByteArray &fragmentSource)
{
    auto program = std::make_unique<QOpenGLShaderProgram>();
    Build build = buildInto(*program, vertexSource, fragmentSource);
    if (build.failure == Failure::None)
        build.program = std::move(program);
    return build;
}

SceneRenderer::Build SceneRenderer::buildInto(QOpenGLShaderProgram &program, const QByteArray &vertexSource,
                                              const QByteArray &fragmentSource)
{
    Build build;
    if (!QOpenGLContext::currentContext()) {
        build.log = QStringLiteral("no current OpenGL context");
        return build;
    }
    // Qt's program compiles the stages as the one rule hands them to a
    // desktop GL, keeping its compiled stages as Qt's shader objects.
    const auto forDesktop = [](const QByteArray &stage) {
        return QByteArray::fromStdString(StageVersion::forDesktop(stage.toStdString()));
    };
    if (!program.addShaderFromSourceCode(QOpenGLShader::Vertex, forDesktop(vertexSource)))
        build.failure = Failure::Vertex;
    else if (!program.addShaderFromSourceCode(QOpenGLShader::Fragment, forDesktop(fragmentSource)))
        build.failure = Failure::Fragment;
    else if (!program.link())
        build.failure = Failure::Link;
    else
        build.failure = Failure::None;
    build.log = program.log().trimmed();
    return build;
}

bool SceneRenderer::use(Build build)
{
    m_failure = build.failure;
    m_log = build.log;
    if (m_failure != Failure::None)
        return false;
    m_failure = Failure::NoContext;
    if (!makeScene()) {
        m_log = QStringLiteral("no current OpenGL context");
        return false;
    }
    m_failure = Failure::None;
    m_program = std::move(build.program);
    m_scene->use(m_program->programId());
    return true;
}

bool SceneRenderer::makeScene()
{
    if (m_scene)
        return true;
    if (!QOpenGLContext::currentContext())
        return false;
    m_scene.emplace();
    setFont(*m_scene, m_font);
    m_font = QImage();
    return true;
}

void SceneRenderer::setFont(const QImage &font)
{
    if (m_scene)
        setFont(*m_scene, font);
    else
        m_font = font;
}

void SceneRenderer::setFont(GpuScene &scene, const QImage &font)
{
    if (font.isNull())
        return;
    const QImage pixels = font.convertToFormat(QImage::Format_RGBA8888);
    scene.setFont(pixels.width(), pixels.height(), pixels.constBits());
}

void SceneRenderer::draw(const QSize &size, float showTime, float beatPulse)
{
    if (!m_program)
        return;
    QOpenGLContext::currentContext()->functions()->glViewport(0, 0, size.width(), size.height());
    drawQuad({beatPulse, showTime}, QSizeF(size));
}

void SceneRenderer::drawQuad(const SceneUniforms &uniforms, const QSizeF &resolution)
{
    if (m_program)
        m_scene->draw(uniforms, float(resolution.width()), float(resolution.height()));
}

void SceneRenderer::setUniforms(QOpenGLShaderProgram &program, float beatPulse, const QSizeF &resolution,
                                float showTime)
{
    SceneProgram scene;
    scene.lookUp(program.programId());
    scene.feed({beatPulse, showTime}, float(resolution.width()), float(resolution.height()));
}
