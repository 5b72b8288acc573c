#include "window.h"
#include "audiodevice.h"
#include "inputfile.h"
#include "musicfile.h"
#include "musicstream.h"
#include "scenerenderer.h"
#include "showgl.h"

#include <QCoreApplication>
#include <QDebug>
#include <QImage>
#include <QKeyEvent>
#include <QSurfaceFormat>

#include <string>

namespace {

// Without sound the show goes on: silent, with the audio clock standing at
// 0, so no beat after 0 fires. The log says why, once.
void warnSilent(const char *step, const std::string &why)
{
    qWarning("%s: %s; %s", step, why.c_str(), ShowFiles::silentShow);
}

} // namespace

Window::Window()
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
{
    setFormat(ShowGL::surfaceFormat());

    // Without a music file (or with a FIFO or a folder in its place) the
    // show runs silent.
    if (openInputFile(m_file).isEmpty())
        m_beats = MusicFile::readBeatList(m_file);

    const std::string why = AudioDevice::startAudio();
    if (!why.empty())
        warnSilent("cannot start the audio", why);
}

Window::~Window()
{
    // Closing the device waits for a running callback; after it none can
    // touch the file or the window any more.
    AudioDevice::close(m_device);
    m_device = 0;
    AudioDevice::stopAudio();

    // GL objects go with their context current.
    makeCurrent();
    m_scene.reset();
    m_vbo.destroy();
    m_vao.destroy();
    m_font.destroy();
    m_shader.removeAllShaders();
    doneCurrent();
}

void Window::keyPressEvent(QKeyEvent *event)
{
    // Every press is the window's own, auto-repeats included; nothing is passed on.
    const ShowHost::KeyOutcome outcome = ShowHost::press(hostState(), event->key(), readTimer(m_timer));
    if (outcome.restartTimer)
        m_timer.restart();
    if (outcome.quit)
        QCoreApplication::quit();
}

void Window::initializeGL()
{
    // Audio that did not start has said so already.
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0) {
        std::string why;
        m_device = AudioDevice::open(effect, this, why);
        if (m_device == 0)
            warnSilent("cannot open the audio device", why);
    }

    const QImage image(QString::fromLatin1(ShowFiles::font));

    m_timer.start();
    m_fpsTimer.start();

    // The scene sets up the window's own GL objects: the quad in m_vao and
    // m_vbo, the font in m_font, the compiled-in stages linked in m_shader.
    m_vao.create();
    m_font.create();
    m_vbo.create();
    m_scene.emplace(GpuScene::Objects{m_vao.objectId(), m_vbo.bufferId(), m_font.textureId()});
    SceneRenderer::setFont(*m_scene, image);
    const SceneRenderer::Build build = SceneRenderer::buildInto(
            m_shader, ShowGL::stageSource(ShowGL::vertexShader()), ShowGL::stageSource(ShowGL::fragmentShader()));
    // A failure has left Qt's warnings on the log; the show goes on without a picture.
    if (build.failure == SceneRenderer::Failure::None)
        m_scene->use(m_shader.programId());
}

void Window::resizeGL(int w, int h)
{
    // The fragment stage measures in framebuffer pixels, so the viewport does too.
    const qreal ratio = devicePixelRatio();
    glViewport(0, 0, qRound(w * ratio), qRound(h * ratio));
}

void Window::paintGL()
{
    // One reading of the show timer serves the whole frame.
    const qint64 now = readTimer(m_timer);
    const ShowHost::Frame frame = ShowHost::frame(hostState(), m_beats, now, readTimer(m_fpsTimer), [this] {
        return m_elapsed.load(std::memory_order_relaxed);
    });

    if (frame.over)
        QCoreApplication::quit();

    if (frame.report) {
        qDebug() << frame.reportedFrames;
        m_fpsTimer.restart();
        qDebug() << frame.reportedSeconds;
    }

    for (const ShowHost::FiredBeat &fired : frame.fired)
        qDebug() << fired.beat << fired.clock;

    // The quad, fed iBeat, iFont, iResolution and iGlobalTime, with the font
    // on unit 0. The resolution is in framebuffer pixels, which the fragment
    // stage measures in.
    const QSizeF resolution = QSizeF(size()) * devicePixelRatio();
    m_scene->draw(frame.uniforms, float(resolution.width()), float(resolution.height()));

    update();
}

ShowHost::StateRef Window::hostState()
{
    return {m_last, m_beat, m_fps, m_timeAdjustment, m_pauseAdjustment, m_snapshot, m_paused};
}

void effect(void *data, Uint8 *stream, int length)
{
    Window *window = static_cast<Window *>(data);

    MusicStream::readSamples(window->m_file, reinterpret_cast<char *>(stream), qint64(length));

    // The callback is the clock's only writer.
    std::atomic<float> &clock = window->m_elapsed;
    clock.store(clock.load(std::memory_order_relaxed) + MusicFile::clockPerCallback, std::memory_order_relaxed);
}
