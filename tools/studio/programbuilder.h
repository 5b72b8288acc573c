#ifndef PROGRAMBUILDER_H
#define PROGRAMBUILDER_H

#include "scenerenderer.h"

#include <QByteArray>
#include <QObject>
#include <QThread>

#include <memory>

class QOffscreenSurface;
class QOpenGLContext;

// Builds scene programs on a thread of its own, in a GL context that shares
// with the window's, so that a slow compile never holds up the window's
// frames and events; the program is then drawn in the window's context. A
// build asked for while one runs waits, and only the newest text does.
class ProgramBuilder : public QObject
{
    Q_OBJECT

public:
    // The window's context must exist; it need not be current.
    explicit ProgramBuilder(QOpenGLContext *share, QObject *parent = nullptr);
    ~ProgramBuilder() override;

    // False when no context sharing with the window's could be made.
    bool isValid() const { return m_valid; }

    void build(const QByteArray &vertex, const QByteArray &fragment);
    bool isBuilding() const { return m_building; }

    struct Result
    {
        SceneRenderer::Build build;
        qint64 compileMs = 0; // compile and link
        qint64 firstDrawMs = 0; // the driver's work at the program's first draw
        // What was built.
        QByteArray vertex;
        QByteArray fragment;
    };

signals:
    // On the thread that asked; the program, when it linked, belongs to it.
    void built(std::shared_ptr<ProgramBuilder::Result> result);

private:
    class Worker;
    void start(const QByteArray &vertex, const QByteArray &fragment);
    void finish(const std::shared_ptr<Result> &result);

    QThread m_thread;
    std::unique_ptr<QOpenGLContext> m_context;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<Worker> m_worker;
    bool m_valid = false;
    bool m_building = false;
    bool m_waiting = false;
    QByteArray m_waitingVertex;
    QByteArray m_waitingFragment;
};

#endif // PROGRAMBUILDER_H
