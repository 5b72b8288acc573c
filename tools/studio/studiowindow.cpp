#include "studiowindow.h"
#include "stagemessages.h"
#include "stagewatcher.h"
#include "showgl.h"
#include "showtime.h"

#include <QDir>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWheelEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QTextStream>

#include <cmath>

namespace {

// The frame steps of , and .: a sixtieth of a real second, in show time.
constexpr double frameStep = 1000.0 / double(ShowTime::msPerSecond) / 60.0;
// A wheel's notch (120 eighths of a degree) zooms by this much, or pans a
// tenth of the strip.
constexpr double zoomPerNotch = 0.8;
constexpr double panPerNotch = 0.1;
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

    m_transport.setAudioOffset(options.audioOffsetMs);
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
    if (!musicProblem.isEmpty()) {
        report(QStringLiteral("studio: %1: no music").arg(musicProblem));
    } else {
        m_musicStamp = MusicFile::FileStamp::of(options.music);
        m_edits.reset(m_player.beats());
        m_recovery.emplace(options.music);
        takeBackKeptEdits();
        // However the studio ends, unsaved edits it could not ask about stay.
        connect(qApp, &QCoreApplication::aboutToQuit, this, &StudioWindow::keepUnsavedEdits);
        m_strip.setMusicEnd(double(m_player.frames()) / MusicFile::sampleRate / Transport::musicPerShowSecond);
        connect(&m_peaks, &PeakLoader::loaded, this, [this] {
            if (!m_peaks.error().isEmpty())
                report(QStringLiteral("studio: %1: no waveform").arg(m_peaks.error()));
            stripChanged();
        });
        m_peaks.load(options.music);
    }
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
    // The window manager's close (its button, Alt+F4) asks as Escape does.
    if (event->type() == QEvent::Close && !mayQuit(readClock())) {
        event->ignore();
        return true;
    }
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
    result->vertex = vertex;
    result->fragment = fragment;
    useBuild(result);
}

void StudioWindow::useBuild(const std::shared_ptr<ProgramBuilder::Result> &result)
{
    if (!m_renderer)
        return;
    makeCurrent();
    const SceneRenderer::Failure failure = result->build.failure;
    if (m_renderer->use(std::move(result->build))) {
        m_supervisor.linked({result->vertex, result->fragment});
        m_messages.clear();
        m_stageInError.clear();
    } else {
        const QString file = failure == SceneRenderer::Failure::Vertex ? m_vertexName
                : failure == SceneRenderer::Failure::Fragment ? m_fragmentName
                : m_vertexName + QStringLiteral(" + ") + m_fragmentName;
        m_messages = stageMessages(m_renderer->log(), file);
        m_stageInError = stageName(failure);
        for (const QString &message : qAsConst(m_messages))
            report(message);
        if (const auto again = m_supervisor.failed(m_builder && m_builder->isBuilding()))
            useStages(again->vertex, again->fragment);
    }
    m_sceneDirty = true;
    // The show time and the music start with the first picture (or the
    // first messages).
    if (!m_transport.isStarted()) {
        m_transport.start(readClock());
        m_transport.setBeats(m_edits.beats());
    }
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
    // While a program too slow to work with gives way to the last good one,
    // the frame it drew stays.
    if (!m_supervisor.isGivingWay() && (m_sceneDirty || !m_drawnTime || *m_drawnTime != showTime))
        drawScene(now, showTime);

    // Stretched onto the window; a scale of 1 copies pixel for pixel.
    const QSize window = size() * devicePixelRatio();
    QOpenGLFramebufferObject::blitFramebuffer(nullptr, QRect(QPoint(), window), &*m_scene, QRect(QPoint(), drawn),
                                              GL_COLOR_BUFFER_BIT, GL_LINEAR);
    if (running && m_drag == Drag::None)
        m_strip.scale().follow(showTime);
    paintStrip(showTime);
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
        QElapsedTimer timer;
        const bool timing = m_supervisor.timesNextDraw();
        if (timing) {
            gl->glFinish();
            timer.start();
        }
        m_renderer->draw(m_scene->size(), float(showTime), m_beatPulse);
        if (timing) {
            gl->glFinish();
            timed(timer.elapsed());
        }
        if (m_font)
            m_font->release(0);
    } else {
        gl->glViewport(0, 0, m_scene->width(), m_scene->height());
        gl->glClearColor(plainGrey, plainGrey, plainGrey, 1.0f);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
    m_scene->release();
    m_drawnTime = showTime;
    m_drawnProgram = m_supervisor.programs();
    m_sceneDirty = false;
    ++m_sceneDraws;
}

void StudioWindow::timed(qint64 firstFrameMs)
{
    const std::optional<ProgramSupervisor::Stages> again
            = m_supervisor.timed(firstFrameMs, m_builder && m_builder->isBuilding());
    if (!m_supervisor.isGivingWay())
        return;
    // Too slow to work with: the last good program is built again (unless
    // a newer one is on its way), and the scene is not drawn until it is back.
    const QString line = QStringLiteral("%1: the new program's first frame took %2 s at scale %3: kept the last "
                                        "one; a smaller render scale (-) draws it faster")
            .arg(m_fragmentName).arg(double(firstFrameMs) / 1000.0, 0, 'f', 1).arg(m_scale);
    report(line);
    showNote(line);
    if (again)
        useStages(again->vertex, again->fragment);
}

void StudioWindow::paintText(double showTime)
{
    if (!m_headsUp.isOn() && m_messages.isEmpty())
        return;
    QPainter painter(this);
    m_headsUp.paint(painter, QRect(QPoint(), size()), headsUpStatus(showTime), m_messages);
}

HeadsUp::Status StudioWindow::headsUpStatus(double showTime) const
{
    HeadsUp::Status status;
    status.showTime = showTime;
    status.frameMs = m_frameMs;
    status.scale = m_scale;
    status.beat = m_beatPulse;
    status.held = m_transport.isHeld();
    if (const auto loop = m_transport.timeline().loop())
        status.loop = std::make_pair(loop->start, loop->end);
    status.building = m_builder && m_builder->isBuilding();
    status.audioOffsetMs = m_transport.audioOffset();
    status.unsaved = m_edits.isModified();
    status.stageInError = m_stageInError;
    status.note = m_note;
    return status;
}

void StudioWindow::stripChanged()
{
    TimelineStrip::Content &content = m_stripContent;
    content.peaks = m_peaks.pyramid();
    if (content.beats != m_edits.beats() || content.verdicts.size() != content.beats.size()) {
        content.beats = m_edits.beats();
        content.verdicts = judgeBeats(content.beats);
    }
    content.selected = m_edits.selected();
    content.loopStart = m_transport.timeline().loopStartMark();
    content.loopEnd = m_transport.timeline().loopEndMark();
    content.looping = m_transport.timeline().loop().has_value();
    ++content.revision;
    update();
}

void StudioWindow::paintStrip(double showTime)
{
    if (!m_strip.isOn())
        return;
    m_strip.setWindow(size(), devicePixelRatio());
    QPainter painter(this);
    m_strip.paint(painter, m_stripContent, showTime);
}

void StudioWindow::seekTo(double showTime, qint64 nowMs)
{
    m_transport.seekTo(showTime, nowMs);
    m_transport.playSnippet(nowMs);
    update();
}

void StudioWindow::stepFrame(int frames, qint64 nowMs)
{
    if (!m_transport.isHeld())
        m_transport.toggleHold(nowMs);
    seekTo(m_transport.timeline().at(nowMs) + frames * frameStep, nowMs);
}

void StudioWindow::mousePressEvent(QMouseEvent *event)
{
    const qint64 now = readClock();
    if (m_drag != Drag::None || !m_transport.isStarted()) {
        event->ignore();
        return;
    }
    const TimelineStrip::Hit hit = m_strip.hitAt(event->localPos(), m_stripContent);
    if (hit.part == TimelineStrip::Part::Outside) {
        event->ignore();
        return;
    }
    m_dragX = event->localPos().x();
    if (event->button() == Qt::MiddleButton) {
        m_drag = Drag::Pan;
    } else if (event->button() == Qt::LeftButton) {
        switch (hit.part) {
        case TimelineStrip::Part::LoopStart:
            m_drag = Drag::LoopStart;
            break;
        case TimelineStrip::Part::LoopEnd:
            m_drag = Drag::LoopEnd;
            break;
        case TimelineStrip::Part::Beat:
            m_drag = Drag::Beat;
            m_beatDragged = false;
            selectBeat(hit.beat);
            m_draggedFrom = m_edits.beats()[hit.beat];
            break;
        case TimelineStrip::Part::Seek:
        case TimelineStrip::Part::Outside:
            m_drag = Drag::Seek;
            seekTo(m_strip.timeAt(m_dragX), now);
            break;
        }
    }
    event->accept();
}

void StudioWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None) {
        event->ignore();
        return;
    }
    dragTo(event->localPos().x(), readClock());
    event->accept();
}

void StudioWindow::dragTo(double x, qint64 nowMs)
{
    switch (m_drag) {
    case Drag::None:
        return;
    case Drag::Seek:
        seekTo(m_strip.timeAt(x), nowMs);
        return;
    case Drag::Pan:
        m_strip.scale().pan((m_dragX - x) * devicePixelRatio());
        m_dragX = x;
        update();
        return;
    case Drag::LoopStart:
        m_transport.setLoopStart(m_strip.timeAt(x), nowMs);
        stripChanged();
        return;
    case Drag::LoopEnd:
        m_transport.setLoopEnd(m_strip.timeAt(x), nowMs);
        stripChanged();
        return;
    case Drag::Beat:
        dragBeat(x);
        return;
    }
}

void StudioWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None) {
        event->ignore();
        return;
    }
    dragTo(event->localPos().x(), readClock());
    m_drag = Drag::None;
    event->accept();
}

void StudioWindow::beatsEdited(const QString &refusal)
{
    if (!refusal.isEmpty()) {
        showNote(refusal);
        return;
    }
    m_transport.setBeats(m_edits.beats());
    stripChanged();
}

void StudioWindow::selectBeat(int index)
{
    m_edits.select(index);
    if (index >= 0)
        showNote(QStringLiteral("beat %1 of %2 at %3 s").arg(index + 1).arg(m_edits.beats().size())
                 .arg(double(m_edits.beats()[index]) / MusicFile::clockPerSecond, 0, 'f', 3));
    stripChanged();
}

void StudioWindow::dragBeat(double x)
{
    // A click only selects: the beat moves once the pointer has gone some
    // way, by as much as the pointer has, to the nearest clock unit. The
    // moves of one drag are one edit.
    if (!m_beatDragged && std::abs(x - m_dragX) < QGuiApplication::styleHints()->startDragDistance())
        return;
    const double seconds = (m_strip.timeAt(x) - m_strip.timeAt(m_dragX)) * Transport::musicPerShowSecond;
    const QString refusal = m_edits.moveSelected(m_draggedFrom + int(std::lround(seconds * MusicFile::clockPerSecond)),
                                                 m_beatDragged);
    if (refusal.isEmpty())
        m_beatDragged = true;
    beatsEdited(refusal);
}

void StudioWindow::tapBeat(qint64 nowMs)
{
    const int clock = m_transport.heardClock(nowMs);
    const QString refusal = m_edits.add(clock);
    if (refusal.isEmpty())
        showNote(QStringLiteral("beat added at %1 s").arg(double(clock) / MusicFile::clockPerSecond, 0, 'f', 3));
    beatsEdited(refusal);
}

void StudioWindow::saveBeats()
{
    if (!m_edits.isModified()) {
        showNote(QStringLiteral("no beat edits to save"));
        return;
    }
    MusicFile::FileStamp written;
    const QString problem = MusicFile::rewriteBeatList(m_options.music, m_edits.beats(), m_musicStamp, &written);
    if (!problem.isEmpty()) {
        report(QStringLiteral("studio: %1").arg(problem));
        showNote(problem);
        return;
    }
    m_musicStamp = written;
    m_edits.markSaved();
    if (!m_recoveryUnreadable)
        m_recovery->remove();
    showNote(QStringLiteral("saved %1 beats in %2").arg(m_edits.beats().size()).arg(m_options.music));
}

bool StudioWindow::mayQuit(qint64 nowMs)
{
    if (m_edits.isModified() && (m_quitAskedAt < 0 || nowMs - m_quitAskedAt > quitAgainMs)) {
        m_quitAskedAt = nowMs;
        showNote(QStringLiteral("unsaved beat edits: Ctrl+S saves them; Escape or closing again quits without"));
        return false;
    }
    // Asked twice: the edits are given up, and so is what was kept of them.
    if (m_edits.isModified()) {
        m_editsGivenUp = true;
        if (m_recovery && !m_recoveryUnreadable)
            m_recovery->remove();
    }
    return true;
}

void StudioWindow::takeBackKeptEdits()
{
    QString problem;
    const std::optional<QList<int>> kept = m_recovery->read(&problem);
    if (!problem.isEmpty()) {
        m_recoveryUnreadable = true;
        report(QStringLiteral("studio: %1: not taken back").arg(problem));
        return;
    }
    if (!kept)
        return;
    if (*kept == m_edits.beats()) {
        m_recovery->remove();
        return;
    }
    m_edits.replaceAll(*kept, QStringLiteral("unsaved beats taken back"));
    report(QStringLiteral("studio: took back %1 unsaved beats from %2: Ctrl+S saves them into %3")
           .arg(kept->size()).arg(m_recovery->path(), m_options.music));
}

void StudioWindow::keepUnsavedEdits()
{
    if (!m_recovery || m_editsGivenUp)
        return;
    if (!m_edits.isModified()) {
        if (!m_recoveryUnreadable)
            m_recovery->remove();
        return;
    }
    if (m_recoveryUnreadable) {
        report(QStringLiteral("studio: unsaved beat edits not kept: %1 holds some that could not be read")
               .arg(m_recovery->path()));
        return;
    }
    const QString problem = m_recovery->keep(m_edits.beats());
    if (!problem.isEmpty())
        report(QStringLiteral("studio: unsaved beat edits lost: %1").arg(problem));
    else
        report(QStringLiteral("studio: unsaved beat edits kept in %1 (bmm pack --beats reads it); the next start "
                              "on %2 takes them back").arg(m_recovery->path(), m_options.music));
}

void StudioWindow::wheelEvent(QWheelEvent *event)
{
    const QPointF at = event->position();
    if (m_strip.hitAt(at, m_stripContent).part == TimelineStrip::Part::Outside) {
        event->ignore();
        return;
    }
    // Eighths of a degree; a notch is 120. A sideways wheel pans, as does Shift.
    const QPoint angle = event->angleDelta();
    const bool pan = (event->modifiers() & Qt::ShiftModifier) || angle.x() != 0;
    const double notches = (angle.y() != 0 ? angle.y() : angle.x()) / 120.0;
    const double columns = double(m_strip.scale().columns());
    if (pan)
        m_strip.scale().pan(-notches * panPerNotch * columns);
    else
        m_strip.scale().zoom(std::pow(zoomPerNotch, notches), (at.x() - m_strip.area().left()) * devicePixelRatio());
    event->accept();
    update();
}

void StudioWindow::setScale(double scale)
{
    const double was = m_scale;
    m_scale = qBound(StudioOptions::minScale, scale, StudioOptions::maxScale);
    showNote(QStringLiteral("scale %1").arg(m_scale));
    // A program too slow at the last scale may do at a smaller one.
    if (m_scale < was)
        if (const auto again = m_supervisor.scaleLowered())
            useStages(again->vertex, again->fragment);
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
    const Qt::KeyboardModifiers modifiers = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    // The edits' keys first: with their modifiers they are not the transport's.
    if (event->matches(QKeySequence::Undo) || (modifiers == Qt::ControlModifier && event->key() == Qt::Key_Z)) {
        if (m_edits.undo()) {
            beatsEdited({});
            showNote(m_edits.lastChange());
        } else {
            showNote(QStringLiteral("nothing to undo"));
        }
        return;
    }
    if (event->matches(QKeySequence::Redo) || (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && event->key() == Qt::Key_Z)) {
        if (m_edits.redo()) {
            beatsEdited({});
            showNote(m_edits.lastChange());
        } else {
            showNote(QStringLiteral("nothing to redo"));
        }
        return;
    }
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_S) {
        saveBeats();
        return;
    }
    if ((modifiers & Qt::AltModifier) && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int units = (event->key() == Qt::Key_Left ? -1 : 1) * (modifiers & Qt::ShiftModifier ? 10 : 1);
        beatsEdited(m_edits.nudgeSelected(units));
        return;
    }
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
    case Qt::Key_T:
        m_strip.toggle();
        break;
    case Qt::Key_Comma:
    case Qt::Key_Period:
        if (started)
            stepFrame(event->key() == Qt::Key_Comma ? -1 : 1, now);
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
    case Qt::Key_B:
        if (started)
            tapBeat(now);
        break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        beatsEdited(m_edits.removeSelected());
        break;
    case Qt::Key_Escape:
        if (mayQuit(now))
            close();
        return;
    default:
        QOpenGLWindow::keyPressEvent(event);
        return;
    }
    // Whatever a key changed shows at once, even while the time stands still.
    stripChanged();
}
