#include "programcontrol.h"
#include "sceneview.h"
#include "stagemessages.h"
#include "studioreport.h"

#include <QOpenGLWindow>

namespace {

QString stageName(SceneRenderer::Failure failure)
{
    switch (failure) {
    case SceneRenderer::Failure::Vertex:
        return QStringLiteral("vertex");
    case SceneRenderer::Failure::Fragment:
        return QStringLiteral("fragment");
    case SceneRenderer::Failure::Link:
        return QStringLiteral("link");
    case SceneRenderer::Failure::NoContext:
        return QStringLiteral("GL");
    case SceneRenderer::Failure::None:
        break;
    }
    return {};
}

} // namespace

ProgramControl::ProgramControl(QOpenGLWindow &window, SceneView &view)
    : m_window(window)
    , m_view(view)
{
}

ProgramControl::~ProgramControl() = default;

void ProgramControl::setStageNames(const QString &vertex, const QString &fragment)
{
    m_vertexName = vertex;
    m_fragmentName = fragment;
}

void ProgramControl::start()
{
    m_builder = std::make_unique<ProgramBuilder>(m_window.context());
    connect(m_builder.get(), &ProgramBuilder::built, this, &ProgramControl::use);
}

void ProgramControl::stop()
{
    m_builder.reset();
}

void ProgramControl::build(const QByteArray &vertex, const QByteArray &fragment)
{
    if (m_builder && m_builder->isValid()) {
        m_builder->build(vertex, fragment);
        return;
    }
    // No second context to build in: build here, and wait for it.
    m_window.makeCurrent();
    auto result = std::make_shared<ProgramBuilder::Result>();
    result->build = SceneRenderer::compile(vertex, fragment);
    result->vertex = vertex;
    result->fragment = fragment;
    use(result);
}

void ProgramControl::use(const std::shared_ptr<ProgramBuilder::Result> &result)
{
    if (!m_view.isCreated())
        return;
    m_window.makeCurrent();
    const SceneRenderer::Failure failure = result->build.failure;
    if (m_view.use(std::move(result->build))) {
        m_supervisor.linked({result->vertex, result->fragment});
        m_messages.clear();
        m_stageInError.clear();
    } else {
        const QString file = failure == SceneRenderer::Failure::Vertex ? m_vertexName
                : failure == SceneRenderer::Failure::Fragment ? m_fragmentName
                : m_vertexName + QStringLiteral(" + ") + m_fragmentName;
        m_messages = stageMessages(m_view.log(), file);
        m_stageInError = stageName(failure);
        for (const QString &message : qAsConst(m_messages))
            report(message);
        if (const auto again = m_supervisor.failed(isBuilding()))
            build(again->vertex, again->fragment);
    }
    emit built();
}

void ProgramControl::timed(qint64 firstFrameMs, double scale)
{
    const std::optional<ProgramSupervisor::Stages> again = m_supervisor.timed(firstFrameMs, isBuilding());
    if (!m_supervisor.isGivingWay())
        return;
    // Too slow to work with: the last good program is built again (unless a
    // newer one is on its way), and the scene is not drawn until it is back.
    const QString line = QStringLiteral("%1: the new program's first frame took %2 s at scale %3: kept the last "
                                        "one; a smaller render scale (-) draws it faster")
            .arg(m_fragmentName).arg(double(firstFrameMs) / 1000.0, 0, 'f', 1).arg(scale);
    report(line);
    emit note(line);
    if (again)
        build(again->vertex, again->fragment);
}

void ProgramControl::scaleLowered()
{
    if (const auto again = m_supervisor.scaleLowered())
        build(again->vertex, again->fragment);
}
