#include "studiowindow.h"
#include "stagemessages.h"
#include "stagewatcher.h"
#include "showgl.h"
#include "showtime.h"

#include <QDir>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QTextStream>

#include <cmath>

namespace {

// Render scale steps.
constexpr double scaleSteps = 8.0;
// How long a key's note stays on the heads-up line.
constexpr int noteMs = 2500;
// Under a first build that failed: no picture, a plain dark grey.
constexpr float plainGrey = 0.2f;

void report(const QString &line)
{
    QTextStream(stderr) << line << '\n';
}

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

StudioWindow::StudioWindow(const StudioOptions &options)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    , m_options(options)
    , m_scale(options.scale)
{
    setFormat(ShowGL::surfaceFormat());
    setTitle(QStringLiteral("studio"));
    resize(options.size);

    m_startupError = openInputs(options);
    if (!m_startupError.isEmpty())
        return;

    m_noteTimer.setSingleShot(true);
    connect(&m_noteTimer, &QTimer::timeout, this, [this] {
        m_note.clear();
        update();
    });
}

QString StudioWindow::openInputs(const StudioOptions &options)
{
    // The stages: a folder given must hold both; by default ./shaders when
    // it does, else the compiled-in ones. Files given on the command line
    // must be usable; the default ones may be missing.
    QString folder = options.shaders;
    if (folder.isEmpty() && StageWatcher::holdsStages(QStringLiteral("shaders")))
        folder = QStringLiteral("shaders");
    if (!folder.isEmpty() && !StageWatcher::holdsStages(folder))
        return QStringLiteral("%1: no %2 and %3 in that folder")
                .arg(folder, StageWatcher::vertexName(), StageWatcher::fragmentName());
    const QString musicProblem = m_player.open(options.music);
    if (!musicProblem.isEmpty() && options.musicGiven)
        return musicProblem;
    if (m_fontImage.load(options.font))
        m_fontImage = m_fontImage.convertToFormat(QImage::Format_RGBA8888);
    else if (options.fontGiven)
        return QStringLiteral("%1: not an image that can be read").arg(options.font);

    if (folder.isEmpty()) {
        report(QStringLiteral("studio: no shaders/%1 and shaders/%2 here: drawing the compiled-in stages, "
                              "with nothing to watch")
               .arg(StageWatcher::vertexName(), StageWatcher::fragmentName()));
        m_vertexName = StageWatcher::vertexName() + QStringLiteral(" (compiled in)");
        m_fragmentName = StageWatcher::fragmentName() + QStringLiteral(" (compiled in)");
    } else {
        m_watcher = std::make_unique<StageWatcher>(folder);
        m_vertexName = m_watcher->vertexPath();
        m_fragmentName = m_watcher->fragmentPath();
        connect(m_watcher.get(), &StageWatcher::stagesChanged, this, &StudioWindow::useStages);
        connect(m_watcher.get(), &StageWatcher::waitingFor, this,
                [this](const QString &path) { showNote(QStringLiteral("waiting for %1").arg(path)); });
    }
    if (!musicProblem.isEmpty())
        report(QStringLiteral("studio: %1: no music").arg(musicProblem));
    if (m_fontImage.isNull())
        report(QStringLiteral("studio: %1: no image there: iFont is black").arg(options.font));
    const QString deviceProblem = m_player.startDevice();
    if (!deviceProblem.isEmpty())
        report(QStringLiteral("studio: %1; the beats follow the picture").arg(deviceProblem));
    return {};
}

StudioWindow::~StudioWindow()
{
    // The music stops before anything it could read goes.
    m_player.closeDevice();
    releaseGL();
}

void StudioWindow::start()
{
    if (m_options.fullScreen)
        showFullScreen();
    else
        show();
}

bool StudioWindow::event(QEvent *event)
{
    // The window's context goes with its surface: GL objects go first.
    if (event->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()
           == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
        releaseGL();
    return QOpenGLWindow::event(event);
}

void StudioWindow::releaseGL()
{
    // The builder waits for a build that runs, and its programs go with it.
    m_builder.reset();
    if (!context() || !m_renderer)
        return;
    makeCurrent();
    m_renderer.reset();
    m_scene.reset();
    m_font.reset();
    doneCurrent();
}

void StudioWindow::initializeGL()
{
    m_clock.start();
    m_renderer.emplace();
    if (!m_fontImage.isNull()) {
        m_font.emplace(QOpenGLTexture::Target2D);
        m_font->setData(m_fontImage, QOpenGLTexture::GenerateMipMaps);
    }

    m_builder = std::make_unique<ProgramBuilder>(context());
    connect(m_builder.get(), &ProgramBuilder::built, this, &StudioWindow::useBuild);
    if (m_watcher)
        m_watcher->check();
    else
        useStages(ShowGL::stageSource(ShowGL::vertexShader()), ShowGL::stageSource(ShowGL::fragmentShader()));
}

void StudioWindow::useStages(const QByteArray &vertex, const QByteArray &fragment)
{
    if (m_builder && m_builder->isValid()) {
        m_builder->build(vertex, fragment);
        update();
        return;
    }
    // No second context to build in: build here, and wait for it.
    makeCurrent();
    auto result = std::make_shared<ProgramBuilder::Result>();
    result->build = SceneRenderer::compile(vertex, fragment);
    useBuild(result);
}

void StudioWindow::useBuild(const std::shared_ptr<ProgramBuilder::Result> &result)
{
    if (!m_renderer)
        return;
    makeCurrent();
    const SceneRenderer::Failure failure = result->build.failure;
    if (m_renderer->use(std::move(result->build))) {
        ++m_programs;
        m_messages.clear();
        m_stageInError.clear();
    } else {
        const QString file = failure == SceneRenderer::Failure::Vertex ? m_vertexName
                : failure == SceneRenderer::Failure::Fragment ? m_fragmentName
                : m_vertexName + QStringLiteral(" + ") + m_fragmentName;
        m_messages = stageMessages(m_renderer->log(), file);
        m_stageInError = stageName(failure);
        ++m_failedBuilds;
        for (const QString &message : qAsConst(m_messages))
            report(message);
    }
    m_sceneDirty = true;
    // The show time and the music start with the first picture (or the
    // first messages).
    if (!m_transport.isStarted())
        m_transport.start(readClock());
    update();
}

QSize StudioWindow::drawnSize() const
{
    const QSize framebuffer = size() * devicePixelRatio();
    return QSize(qMax(1, int(std::lround(framebuffer.width() * m_scale))),
                 qMax(1, int(std::lround(framebuffer.height() * m_scale))));
}

void StudioWindow::paintGL()
{
    const qint64 now = readClock();
    const bool running = m_transport.isStarted() && !m_transport.isHeld();
    const double showTime = m_transport.isStarted() ? m_transport.showTime(now) : 0.0;

    const QSize drawn = drawnSize();
    if (!m_scene || m_scene->size() != drawn) {
        m_scene.emplace(drawn);
        m_sceneDirty = true;
    }
    if (m_sceneDirty || !m_drawnTime || *m_drawnTime != showTime)
        drawScene(now, showTime);

    // Stretched onto the window; a scale of 1 copies pixel for pixel.
    const QSize window = size() * devicePixelRatio();
    QOpenGLFramebufferObject::blitFramebuffer(nullptr, QRect(QPoint(), window), &*m_scene, QRect(QPoint(), drawn),
                                              GL_COLOR_BUFFER_BIT, GL_LINEAR);
    paintText(showTime);

    // Frames follow one another only while the show time moves.
    if (running) {
        if (m_lastFrameMs >= 0) {
            const double interval = double(now - m_lastFrameMs);
            m_frameMs = m_frameMs > 0.0 ? 0.9 * m_frameMs + 0.1 * interval : interval;
        }
        m_lastFrameMs = now;
        ++m_framesFollowed;
        update();
    } else {
        m_lastFrameMs = -1;
    }
}

void StudioWindow::drawScene(qint64 nowMs, double showTime)
{
    QOpenGLFunctions *gl = context()->functions();
    m_scene->bind();
    // The text painted over the last frame leaves blending on.
    gl->glDisable(GL_BLEND);
    m_beatPulse = m_transport.isStarted() ? m_transport.beatPulse(nowMs) : 0.0f;
    if (m_renderer->isReady()) {
        if (m_font)
            m_font->bind(0);
        m_renderer->draw(m_scene->size(), float(showTime), m_beatPulse);
        if (m_font)
            m_font->release(0);
    } else {
        gl->glViewport(0, 0, m_scene->width(), m_scene->height());
        gl->glClearColor(plainGrey, plainGrey, plainGrey, 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    m_scene->release();
    m_drawnTime = showTime;
    m_drawnProgram = m_programs;
    m_sceneDirty = false;
    ++m_sceneDraws;
}

void StudioWindow::paintText(double showTime)
{
    if (!m_headsUp.isOn() && m_messages.isEmpty())
        return;
    HeadsUp::Status status;
    status.showTime = showTime;
    status.frameMs = m_frameMs;
    status.scale = m_scale;
    status.beat = m_beatPulse;
    status.held = m_transport.isHeld();
    if (const auto loop = m_transport.timeline().loop())
        status.loop = std::make_pair(loop->start, loop->end);
    status.building = m_builder && m_builder->isBuilding();
    status.stageInError = m_stageInError;
    status.note = m_note;
    QPainter painter(this);
    m_headsUp.paint(painter, QRect(QPoint(), size()), status, m_messages);
}

void StudioWindow::setScale(double scale)
{
    m_scale = qBound(StudioOptions::minScale, scale, StudioOptions::maxScale);
    showNote(QStringLiteral("scale %1").arg(m_scale));
}

void StudioWindow::showNote(const QString &note)
{
    m_note = note;
    m_noteTimer.start(noteMs);
    update();
}

QImage StudioWindow::sceneImage()
{
    if (!m_scene)
        return {};
    makeCurrent();
    // Rows of four-byte pixels need no padding on either side.
    QImage image(m_scene->size(), QImage::Format_RGBA8888);
    m_scene->bind();
    context()->functions()->glReadPixels(0, 0, image.width(), image.height(), GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    m_scene->release();
    // GL's first row is the bottom one.
    return image.mirrored();
}

void StudioWindow::saveFrame()
{
    const QString saved = m_screenshot.save(sceneImage());
    if (saved.isEmpty()) {
        report(QStringLiteral("studio: %1").arg(m_screenshot.error()));
        showNote(m_screenshot.error());
        return;
    }
    showNote(QStringLiteral("saved %1").arg(QDir::cleanPath(saved)));
}

void StudioWindow::keyPressEvent(QKeyEvent *event)
{
    const qint64 now = readClock();
    const bool started = m_transport.isStarted();
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Right:
    case Qt::Key_Left:
        if (started) {
            // The arrow keys move the show time as in the show.
            const double step = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ? ShowTime::bigStep
                                                                                           : ShowTime::smallStep;
            m_transport.seek(event->key() == Qt::Key_Up || event->key() == Qt::Key_Right ? step : -step, now);
        }
        break;
    case Qt::Key_Space:
        if (started)
            m_transport.toggleHold(now);
        break;
    case Qt::Key_Return:
        if (started)
            m_transport.restart(now);
        break;
    case Qt::Key_BracketLeft:
        if (started) {
            m_transport.markLoopStart(now);
            showNote(QStringLiteral("loop start %1").arg(*m_transport.timeline().loopStartMark(), 0, 'f', 2));
        }
        break;
    case Qt::Key_BracketRight:
        if (started) {
            m_transport.markLoopEnd(now);
            showNote(QStringLiteral("loop end %1").arg(*m_transport.timeline().loopEndMark(), 0, 'f', 2));
        }
        break;
    case Qt::Key_L:
        if (started && !m_transport.toggleLoop(now))
            showNote(QStringLiteral("nothing to loop: the marks are too close"));
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        setScale(std::floor(m_scale * scaleSteps + 1e-6) / scaleSteps + 1.0 / scaleSteps);
        break;
    case Qt::Key_Minus:
        setScale(std::ceil(m_scale * scaleSteps - 1e-6) / scaleSteps - 1.0 / scaleSteps);
        break;
    case Qt::Key_H:
        m_headsUp.toggle();
        break;
    case Qt::Key_F11:
        if (windowStates() & Qt::WindowFullScreen)
            showNormal();
        else
            showFullScreen();
        break;
    case Qt::Key_F12:
        saveFrame();
        break;
    case Qt::Key_Escape:
        close();
        return;
    default:
        QOpenGLWindow::keyPressEvent(event);
        return;
    }
    // Whatever a key changed shows at once, even while the time stands still.
    update();
}
