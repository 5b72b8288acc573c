#ifndef PROGRAMCONTROL_H
#define PROGRAMCONTROL_H

#include "programbuilder.h"
#include "programsupervisor.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QOpenGLWindow;
class SceneView;

// The scene programs of the stages on disk: each text is built (on the
// builder's thread where it can be), a program that links draws in the
// scene view, and a build that fails leaves the compiler's messages, named
// by file and line, on the screen and on standard error. A program too slow
// to work with gives way as the supervisor rules.
class ProgramControl : public QObject
{
    Q_OBJECT

public:
    // The view draws in the window's context.
    ProgramControl(QOpenGLWindow &window, SceneView &view);
    ~ProgramControl() override;

    // The stage files as the messages name them.
    void setStageNames(const QString &vertex, const QString &fragment);
    // Once the window's context exists: builds run beside it from then on.
    void start();
    // Waits for a build that runs; its program goes with it.
    void stop();

    void build(const QByteArray &vertex, const QByteArray &fragment);
    bool isBuilding() const { return m_builder && m_builder->isBuilding(); }
    // The builder, when builds run beside the window (for the benchmark's clock).
    ProgramBuilder *builder() { return m_builder.get(); }

    // The first frame of a new program took this long at a render scale.
    void timed(qint64 firstFrameMs, double scale);
    void scaleLowered();

    const ProgramSupervisor &supervisor() const { return m_supervisor; }
    void setSlowFrameMs(qint64 ms) { m_supervisor.setSlowFrameMs(ms); }
    // The compiler's messages of the last build, and its stage in error
    // ("vertex", "fragment", "link", "GL"); empty once one links.
    QStringList messages() const { return m_messages; }
    QString stageInError() const { return m_stageInError; }

signals:
    // A build came back, linked or not.
    void built();
    // One line for the heads-up, for a moment.
    void note(const QString &text);

private:
    void use(const std::shared_ptr<ProgramBuilder::Result> &result);

    QOpenGLWindow &m_window;
    SceneView &m_view;
    std::unique_ptr<ProgramBuilder> m_builder;
    ProgramSupervisor m_supervisor;
    QString m_vertexName;
    QString m_fragmentName;
    QStringList m_messages;
    QString m_stageInError;
};

#endif // PROGRAMCONTROL_H
