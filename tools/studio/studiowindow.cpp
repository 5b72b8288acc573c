#include "studiowindow.h"
#include "musiclayout.h"
#include "showgl.h"
#include "showstages.h"
#include "showtime.h"
#include "stagewatcher.h"
#include "studioinputs.h"
#include "studioreport.h"

#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlatformSurfaceEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

// The frame steps of , and .: a sixtieth of a real second, in show time.
constexpr double frameStep = ShowTime::fromSeconds(1.0 / 60.0);
// Render scale steps.
constexpr double scaleSteps = 8.0;

} // namespace

StudioWindow::StudioWindow(const StudioOptions &options)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    , m_options(options)
    , m_view(options.scale)
{
    setFormat(ShowGL::surfaceFormat());
    setTitle(QStringLiteral("studio"));
    resize(options.size);

    m_transport.setAudioOffset(options.audioOffsetMs);
    connect(&m_notes, &Notes::changed, this, [this] { update(); });
    connect(&m_beats, &BeatEditor::note, &m_notes, &Notes::show);
    connect(&m_programs, &ProgramControl::note, &m_notes, &Notes::show);
    connect(&m_programs, &ProgramControl::built, this, &StudioWindow::built);
    connect(&m_strip, &StripControl::changed, this, [this] { update(); });
    connect(&m_beats, &BeatEditor::changed, this, [this] {
        m_transport.setBeats(m_beats.beats());
        m_strip.contentChanged();
    });
    m_beatTimer.setTimerType(Qt::PreciseTimer);
    m_beatTimer.setInterval(MusicFile::msPerCallback);
    connect(&m_beatTimer, &QTimer::timeout, this, [this] { m_transport.fireBeats(readClock()); });
    m_questionTimer.setSingleShot(true);
    connect(&m_questionTimer, &QTimer::timeout, this, [this] { update(); });
    connect(&m_beats, &BeatEditor::asking, this, [this] {
        m_questionTimer.start(int(BeatEditor::quitAgainMs) + 1);
        update();
    });
    openInputs(options);
}

void StudioWindow::openInputs(const StudioOptions &options)
{
    StudioInputs inputs;
    m_startupError = inputs.open(options, m_player);
    if (!m_startupError.isEmpty())
        return;
    m_fontImage = inputs.font();
    if (inputs.stagesFolder().isEmpty()) {
        m_programs.setStageNames(ShowStages::vertexName() + QStringLiteral(" (compiled in)"),
                                 ShowStages::fragmentName() + QStringLiteral(" (compiled in)"));
    } else {
        m_watcher = std::make_unique<StageWatcher>(inputs.stagesFolder());
        m_programs.setStageNames(m_watcher->vertexPath(), m_watcher->fragmentPath());
        connect(m_watcher.get(), &StageWatcher::stagesChanged, this,
                [this](const QByteArray &vertex, const QByteArray &fragment) {
                    m_programs.build(vertex, fragment);
                    update();
                });
        connect(m_watcher.get(), &StageWatcher::waitingFor, this,
                [this](const QString &path) { m_notes.show(QStringLiteral("waiting for %1").arg(path)); });
    }
    if (inputs.hasMusic()) {
        m_beats.open(options.music, m_player.beats());
        m_strip.strip().setMusicEnd(ShowTime::fromSeconds(double(m_player.frames()) / MusicFile::sampleRate));
        connect(&m_peaks, &PeakLoader::loaded, this, [this] {
            if (!m_peaks.error().isEmpty())
                report(QStringLiteral("studio: %1: no waveform").arg(m_peaks.error()));
            m_strip.contentChanged();
        });
        m_peaks.load(options.music);
        // However the studio ends, unsaved edits it could not ask about stay.
        connect(qApp, &QCoreApplication::aboutToQuit, &m_beats, &BeatEditor::keepUnsaved);
    }
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
    if (event->type() == QEvent::Close && !m_beats.mayQuit(readClock())) {
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
    m_programs.stop();
    if (!context() || !m_view.isCreated())
        return;
    makeCurrent();
    m_view.release();
    doneCurrent();
}

void StudioWindow::initializeGL()
{
    m_clock.start();
    m_view.create(m_fontImage);
    m_programs.start();
    if (m_watcher)
        m_watcher->check();
    else
        m_programs.build(ShowGL::stageSource(ShowGL::vertexShader()), ShowGL::stageSource(ShowGL::fragmentShader()));
}

void StudioWindow::built()
{
    // The show time and the music start with the first picture (or the
    // first messages).
    if (!m_transport.isStarted()) {
        m_transport.start(readClock());
        m_transport.setBeats(m_beats.beats());
        m_beatTimer.start();
    }
    update();
}

void StudioWindow::paintGL()
{
    const qint64 now = readClock();
    const bool running = m_transport.isStarted() && !m_transport.isHeld();
    const double showTime = m_transport.isStarted() ? m_transport.showTime(now) : 0.0;
    const QSize framebuffer = size() * devicePixelRatio();

    // While a program too slow to work with gives way, the frame it drew stays.
    if (m_view.needsDrawing(framebuffer, showTime) && !m_programs.supervisor().isGivingWay()) {
        m_beatPulse = m_transport.isStarted() ? m_transport.frame(now).uniforms.beat : 0.0f;
        const std::optional<qint64> took
                = m_view.draw(*context(), showTime, m_beatPulse, m_programs.supervisor().timesNextDraw());
        if (took)
            m_programs.timed(*took, m_view.scale());
    }
    m_view.present(framebuffer);
    m_strip.follow(showTime, running);
    const HeadsUp::Status status = headsUpStatus(showTime);
    const bool text = m_headsUp.isOn() || !m_programs.messages().isEmpty() || !status.question.isEmpty();
    if (m_strip.strip().isOn() || text) {
        QPainter painter(this);
        m_strip.paint(painter, size(), devicePixelRatio(), showTime);
        if (text)
            m_headsUp.paint(painter, QRect(QPoint(), size()), status, m_programs.messages());
    }
    // Frames follow one another only while the show time moves.
    m_pace.frameShown(now, running);
    if (running)
        update();
}

HeadsUp::Status StudioWindow::headsUpStatus(double showTime) const
{
    HeadsUp::Status status;
    status.showTime = showTime;
    status.frameMs = m_pace.frameMs();
    status.scale = m_view.scale();
    status.beat = m_beatPulse;
    status.held = m_transport.isHeld();
    if (const auto loop = m_transport.timeline().loop())
        status.loop = std::make_pair(loop->start, loop->end);
    status.building = m_programs.isBuilding();
    status.audioOffsetMs = m_transport.audioOffset();
    status.unsaved = m_beats.isModified();
    status.stageInError = m_programs.stageInError();
    status.note = m_notes.current();
    status.question = m_beats.question(readClock());
    return status;
}

void StudioWindow::mousePressEvent(QMouseEvent *event)
{
    event->setAccepted(m_strip.press(event->localPos(), event->button(), readClock()));
}

void StudioWindow::mouseMoveEvent(QMouseEvent *event)
{
    event->setAccepted(m_strip.move(event->localPos().x(), readClock()));
}

void StudioWindow::mouseReleaseEvent(QMouseEvent *event)
{
    event->setAccepted(m_strip.release(event->localPos().x(), readClock()));
}

void StudioWindow::wheelEvent(QWheelEvent *event)
{
    event->setAccepted(m_strip.wheel(event->position(), event->angleDelta(), event->modifiers()));
}

void StudioWindow::keyPressEvent(QKeyEvent *event)
{
    const StudioKeys::Press press = StudioKeys::actionFor(*event);
    if (press.action == StudioKeys::Action::None) {
        QOpenGLWindow::keyPressEvent(event);
        return;
    }
    if (StudioKeys::needsTransport(press) && !m_transport.isStarted())
        return;
    act(press, readClock());
}

void StudioWindow::act(const StudioKeys::Press &press, qint64 nowMs)
{
    using StudioKeys::Action;
    const Action action = press.action;
    switch (action) {
    case Action::None:
        return;
    case Action::Show:
        // The show's keys move the show time as in the show, the music with it.
        if (m_transport.act(press.show, nowMs).quit) {
            if (m_beats.mayQuit(nowMs))
                close();
            return;
        }
        break;
    case Action::FrameBack:
    case Action::FrameOn:
        if (!m_transport.isHeld())
            m_transport.toggleHold(nowMs);
        m_transport.seekTo(m_transport.timeline().at(nowMs) + (action == Action::FrameOn ? frameStep : -frameStep),
                           nowMs);
        m_transport.playSnippet(nowMs);
        break;
    case Action::LoopStart:
        m_transport.markLoopStart(nowMs);
        m_notes.show(QStringLiteral("loop start %1").arg(*m_transport.timeline().loopStartMark(), 0, 'f', 2));
        break;
    case Action::LoopEnd:
        m_transport.markLoopEnd(nowMs);
        m_notes.show(QStringLiteral("loop end %1").arg(*m_transport.timeline().loopEndMark(), 0, 'f', 2));
        break;
    case Action::Loop:
        if (!m_transport.toggleLoop(nowMs))
            m_notes.show(QStringLiteral("nothing to loop: the marks are too close"));
        break;
    case Action::ScaleUp:
        setScale(std::floor(m_view.scale() * scaleSteps + 1e-6) / scaleSteps + 1.0 / scaleSteps);
        break;
    case Action::ScaleDown:
        setScale(std::ceil(m_view.scale() * scaleSteps - 1e-6) / scaleSteps - 1.0 / scaleSteps);
        break;
    case Action::HeadsUp:
        m_headsUp.toggle();
        break;
    case Action::Strip:
        m_strip.strip().toggle();
        break;
    case Action::FullScreen:
        if (windowStates() & Qt::WindowFullScreen)
            showNormal();
        else
            showFullScreen();
        break;
    case Action::Screenshot:
        saveFrame();
        break;
    case Action::TapBeat:
        m_beats.tap(m_transport.heardClock(nowMs));
        break;
    case Action::DeleteBeat:
        m_beats.removeSelected();
        break;
    case Action::NudgeBack:
    case Action::NudgeOn:
    case Action::NudgeBackMore:
    case Action::NudgeOnMore: {
        const int units = action == Action::NudgeBack ? -1 : action == Action::NudgeOn ? 1
                : action == Action::NudgeBackMore ? -10 : 10;
        m_beats.nudgeSelected(units);
        return;
    }
    case Action::Undo:
        m_beats.undo();
        return;
    case Action::Redo:
        m_beats.redo();
        return;
    case Action::SaveBeats:
        m_beats.save();
        return;
    }
    // Whatever a key changed shows at once, even while the time stands still.
    m_strip.contentChanged();
}

void StudioWindow::setScale(double scale)
{
    const double was = m_view.scale();
    m_view.setScale(qBound(StudioOptions::minScale, scale, StudioOptions::maxScale));
    m_notes.show(QStringLiteral("scale %1").arg(m_view.scale()));
    // A program too slow at the last scale may do at a smaller one.
    if (m_view.scale() < was)
        m_programs.scaleLowered();
}

QImage StudioWindow::sceneImage()
{
    makeCurrent();
    return m_view.image(*context());
}

void StudioWindow::saveFrame()
{
    const QString saved = m_screenshot.save(sceneImage());
    if (saved.isEmpty()) {
        report(QStringLiteral("studio: %1").arg(m_screenshot.error()));
        m_notes.show(m_screenshot.error());
        return;
    }
    m_notes.show(QStringLiteral("saved %1").arg(QDir::cleanPath(saved)));
}
