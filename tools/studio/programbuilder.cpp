#include "programbuilder.h"
#include "showgl.h"

#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLVertexArrayObject>

#include <optional>

// Lives on the builder's thread, with its context current there.
class ProgramBuilder::Worker : public QObject
{
public:
    Worker(QOpenGLContext &context, QOffscreenSurface &surface) : m_context(context), m_surface(surface) {}

    std::shared_ptr<Result> build(const QByteArray &vertex, const QByteArray &fragment, QThread *owner)
    {
        auto result = std::make_shared<Result>();
        result->vertex = vertex;
        result->fragment = fragment;
        if (!m_context.makeCurrent(&m_surface)) {
            result->build.log = QStringLiteral("cannot make the program builder's GL context current");
            return result;
        }
        QElapsedTimer timer;
        timer.start();
        result->build = SceneRenderer::compile(vertex, fragment);
        result->compileMs = timer.restart();
        if (result->build.program) {
            drawOnce(*result->build.program);
            result->firstDrawMs = timer.elapsed();
            result->build.program->moveToThread(owner);
        }
        return result;
    }

    // Releases the GL objects with the context current, and hands the
    // context back to the thread that made it.
    void stop(QThread *owner)
    {
        if (m_context.makeCurrent(&m_surface)) {
            m_framebuffer.reset();
            m_vao.destroy();
            m_context.doneCurrent();
        }
        m_context.moveToThread(owner);
    }

private:
    // Drivers such as Mesa's llvmpipe turn a program into machine code at
    // its first draw, not at its link. One draw here, into a framebuffer of
    // the format the window draws the scene into, does it on this thread.
    // With no vertex attribute fed, every vertex lands on one point, so
    // nothing is rasterised, but the code is made all the same.
    void drawOnce(QOpenGLShaderProgram &program)
    {
        const QSize size(8, 8);
        if (!m_framebuffer)
            m_framebuffer.emplace(size);
        if (!m_vao.isCreated())
            m_vao.create();
        QOpenGLFunctions *gl = m_context.functions();
        m_framebuffer->bind();
        m_vao.bind();
        program.bind();
        SceneRenderer::setUniforms(program, 0.0f, QSizeF(size), 0.0f);
        gl->glViewport(0, 0, size.width(), size.height());
        gl->glDrawArrays(GL_TRIANGLES, 0, ShowGL::quadVertices);
        gl->glFinish();
        program.release();
        m_vao.release();
        m_framebuffer->release();
    }

    QOpenGLContext &m_context;
    QOffscreenSurface &m_surface;
    std::optional<QOpenGLFramebufferObject> m_framebuffer;
    QOpenGLVertexArrayObject m_vao{this}; // a child, so it moves to the thread with the worker
};

ProgramBuilder::ProgramBuilder(QOpenGLContext *share, QObject *parent)
    : QObject(parent)
    , m_context(std::make_unique<QOpenGLContext>())
    , m_surface(std::make_unique<QOffscreenSurface>())
{
    m_context->setFormat(share->format());
    m_context->setShareContext(share);
    if (!m_context->create() || !QOpenGLContext::areSharing(m_context.get(), share))
        return;
    // The surface is made on this thread, as the window system wants.
    m_surface->setFormat(m_context->format());
    m_surface->create();
    m_worker = std::make_unique<Worker>(*m_context, *m_surface);
    m_worker->moveToThread(&m_thread);
    m_context->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("program builder"));
    m_thread.start();
    m_valid = true;
}

ProgramBuilder::~ProgramBuilder()
{
    if (!m_valid)
        return;
    // Waits for a build that runs; one that waits is dropped.
    QThread *const owner = thread();
    Worker *const worker = m_worker.get();
    QMetaObject::invokeMethod(worker, [worker, owner] { worker->stop(owner); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ProgramBuilder::build(const QByteArray &vertex, const QByteArray &fragment)
{
    if (m_building) {
        m_waiting = true;
        m_waitingVertex = vertex;
        m_waitingFragment = fragment;
        return;
    }
    start(vertex, fragment);
}

void ProgramBuilder::start(const QByteArray &vertex, const QByteArray &fragment)
{
    m_building = true;
    if (!m_valid) {
        auto result = std::make_shared<Result>();
        result->build.log = QStringLiteral("no GL context to build programs in");
        QMetaObject::invokeMethod(this, [this, result] { finish(result); }, Qt::QueuedConnection);
        return;
    }
    Worker *const worker = m_worker.get();
    QThread *const owner = thread();
    QMetaObject::invokeMethod(worker, [this, worker, owner, vertex, fragment] {
        const std::shared_ptr<Result> result = worker->build(vertex, fragment, owner);
        QMetaObject::invokeMethod(this, [this, result] { finish(result); }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ProgramBuilder::finish(const std::shared_ptr<Result> &result)
{
    m_building = false;
    emit built(result);
    if (m_waiting) {
        m_waiting = false;
        start(m_waitingVertex, m_waitingFragment);
    }
}
