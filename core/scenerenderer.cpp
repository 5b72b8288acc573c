#include "scenerenderer.h"
#include "showgl.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QRegularExpression>

namespace {

// Qt inserts lines of its own after the #version line, with a #line
// directive that drivers read differently (Mesa counts one line short). A
// #line of our own right after the #version line makes the compiler's line
// numbers those of the text as given, as an editor counts them.
QByteArray withTrueLineNumbers(const QByteArray &source)
{
    static const QRegularExpression version(QStringLiteral("^[ \\t]*#[ \\t]*version\\b[^\\n]*\\n"),
                                            QRegularExpression::MultilineOption);
    const QString text = QString::fromUtf8(source);
    const QRegularExpressionMatch match = version.match(text);
    if (!match.hasMatch())
        return source;
    const int end = match.capturedEnd();
    const int nextLine = text.leftRef(end).count(QLatin1Char('\n')) + 1;
    return (text.left(end) + QStringLiteral("#line %1\n").arg(nextLine) + text.mid(end)).toUtf8();
}

} // namespace

SceneRenderer::~SceneRenderer()
{
    // The owner has the context current, as Qt's GL objects need.
    m_program.reset();
    m_vbo.destroy();
    m_vao.destroy();
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
    Build build;
    if (!QOpenGLContext::currentContext()) {
        build.log = QStringLiteral("no current OpenGL context");
        return build;
    }

    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!program->addShaderFromSourceCode(QOpenGLShader::Vertex, withTrueLineNumbers(vertexSource)))
        build.failure = Failure::Vertex;
    else if (!program->addShaderFromSourceCode(QOpenGLShader::Fragment, withTrueLineNumbers(fragmentSource)))
        build.failure = Failure::Fragment;
    else if (!program->link())
        build.failure = Failure::Link;
    else
        build.failure = Failure::None;
    build.log = program->log().trimmed();
    if (build.failure == Failure::None)
        build.program = std::move(program);
    return build;
}

bool SceneRenderer::use(Build build)
{
    m_failure = build.failure;
    m_log = build.log;
    if (m_failure != Failure::None)
        return false;
    m_failure = Failure::NoContext;
    if (!QOpenGLContext::currentContext()) {
        m_log = QStringLiteral("no current OpenGL context");
        return false;
    }
    if (!makeQuad()) {
        m_log = QStringLiteral("cannot make the full-screen quad's buffers");
        return false;
    }
    m_failure = Failure::None;
    m_program = std::move(build.program);
    m_scene.lookUp(m_program->programId());
    return true;
}

bool SceneRenderer::makeQuad()
{
    if (m_vbo.isCreated())
        return true;
    if (!m_vao.create() || !m_vbo.create())
        return false;
    m_vao.bind();
    m_vbo.bind();
    m_vbo.allocate(ShowGL::quad, sizeof(ShowGL::quad));
    m_vbo.release();
    m_vao.release();
    return true;
}

void SceneRenderer::draw(const QSize &size, float showTime, float beatPulse)
{
    if (!m_program)
        return;
    QOpenGLContext::currentContext()->functions()->glViewport(0, 0, size.width(), size.height());
    m_program->bind();
    drawQuad({beatPulse, showTime}, QSizeF(size));
    m_program->release();
}

void SceneRenderer::drawQuad(const SceneUniforms &uniforms, const QSizeF &resolution)
{
    if (!m_program)
        return;
    m_vao.bind();
    m_vbo.bind();
    m_scene.draw(uniforms, float(resolution.width()), float(resolution.height()));
    m_vbo.release();
    m_vao.release();
}

void SceneRenderer::setUniforms(QOpenGLShaderProgram &program, float beatPulse, const QSizeF &resolution,
                                float showTime)
{
    SceneProgram scene;
    scene.lookUp(program.programId());
    scene.feed({beatPulse, showTime}, float(resolution.width()), float(resolution.height()));
}
