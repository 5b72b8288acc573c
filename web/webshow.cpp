#include "webshow.h"
#include "keymap.h"
#include "musiclayout.h"
#include "page.h"
#include "showfiles.h"
#include "stagelog.h"

#include <emscripten/emscripten.h>
#include <emscripten/wget.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char *const canvas = "#canvas";

// A float as the desktop's debug log prints it (six significant digits).
std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

// The compiler's first message about a stage, named by the maker's file
// and line, as the one line the page shows; how many more there are after it.
std::string firstMessage(const std::string &log, const std::string &name)
{
    const std::vector<std::string> messages = StageLog::messages(log, name);
    if (messages.empty())
        return name + ": " + log;
    if (messages.size() == 1)
        return messages.front();
    return messages.front() + " (and " + std::to_string(messages.size() - 1) + " more)";
}

// Why the stages did not build, as the page says it.
std::string buildFailure(const GpuScene::Build &build)
{
    switch (build.failure) {
    case GpuScene::Failure::Vertex:
        return firstMessage(build.log, ShowFiles::vertexStage);
    case GpuScene::Failure::Fragment:
        return firstMessage(build.log, ShowFiles::fragmentStage);
    case GpuScene::Failure::Link:
        return "the scene's stages do not link: " + build.log;
    case GpuScene::Failure::None:
        break;
    }
    return {};
}

} // namespace

WebShow::WebShow()
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // Opaque, as the desktop's window: the fade darkens the colour and
    // writes alpha too, which must not let the page show through.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // A held clock is for tests, which read frames back after they are shown.
    attributes.preserveDrawingBuffer = Page::clockIsHeld() ? EM_TRUE : EM_FALSE;
    m_context = emscripten_webgl_create_context(canvas, &attributes);
    if (m_context <= 0) {
        Page::fail("This browser has no WebGL 2: the show cannot draw its picture");
    } else {
        // A browser may take the GL away (a reset of the GPU, too many pages
        // with GL); asking to get it back, the show builds its objects again.
        emscripten_set_webglcontextlost_callback(canvas, this, EM_TRUE, onContextLost);
        emscripten_set_webglcontextrestored_callback(canvas, this, EM_TRUE, onContextRestored);
        buildGL();
        loadStages();
    }

    Page::openMusic();

    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, onKey);
    emscripten_set_click_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, onClick);
    for (const auto set : {emscripten_set_touchstart_callback_on_thread, emscripten_set_touchend_callback_on_thread,
                           emscripten_set_touchcancel_callback_on_thread})
        set(EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, onTouch, EM_CALLBACK_THREAD_CONTEXT_CALLING_THREAD);
}

// The GL objects of the show, on a new context or on one given back.
void WebShow::buildGL()
{
    emscripten_webgl_make_context_current(m_context);
    m_scene.emplace();
    Page::loadTexture(m_scene->font(), ShowFiles::font);
}

EM_BOOL WebShow::onContextLost(int, const void *, void *show)
{
    WebShow *self = static_cast<WebShow *>(show);
    self->m_contextLost = true;
    // Gone with the context; let go of while it is lost, when the GL takes
    // every call quietly.
    self->m_scene.reset();
    // Handled (the default prevented): the browser may then give it back.
    return EM_TRUE;
}

EM_BOOL WebShow::onContextRestored(int, const void *, void *show)
{
    WebShow *self = static_cast<WebShow *>(show);
    self->m_contextLost = false;
    self->buildGL();
    self->buildScene();
    return EM_TRUE;
}

void WebShow::loadStages()
{
    for (Stage *stage : {&m_vertexStage, &m_fragmentStage})
        emscripten_async_wget2_data(stage->url, "GET", "", stage, EM_TRUE, onStageLoaded, onStageFailed, nullptr);
}

void WebShow::onStageLoaded(unsigned, void *data, void *bytes, unsigned length)
{
    Stage *stage = static_cast<Stage *>(data);
    stage->source.assign(static_cast<const char *>(bytes), length);
    stage->loaded = true;
    stage->show->stageLoaded();
}

void WebShow::onStageFailed(unsigned, void *data, int status, const char *statusText)
{
    const Stage *stage = static_cast<Stage *>(data);
    Page::fail(std::string("Cannot load ") + stage->url + " (" + std::to_string(status) + " " + statusText
               + "): the show cannot draw its picture");
}

void WebShow::stageLoaded()
{
    buildScene();
}

void WebShow::buildScene()
{
    if (!m_vertexStage.loaded || !m_fragmentStage.loaded || m_contextLost)
        return;
    emscripten_webgl_make_context_current(m_context);
    const GpuScene::Build build = m_scene->build(m_vertexStage.source, m_fragmentStage.source, GpuScene::Dialect::Es);
    if (build.failure != GpuScene::Failure::None)
        Page::fail(buildFailure(build));
}

void WebShow::musicBegins(double fileSize)
{
    // A size the page could not read (a header of no number, or beyond the
    // integers a double holds exactly) is no size.
    const bool known = std::isfinite(fileSize) && fileSize >= 0.0 && fileSize <= 9007199254740992.0
                    && std::floor(fileSize) == fileSize;
    m_head = MusicFile::HeadParser(known ? std::int64_t(fileSize) : -1);
}

int WebShow::musicBytes(const unsigned char *bytes, int length)
{
    if (!bytes || length < 0)
        length = 0;
    const std::size_t used = m_head.feed(bytes, std::size_t(length));
    if (m_head.state() != MusicFile::HeadParser::State::Reading)
        headDone();
    return m_head.state() == MusicFile::HeadParser::State::Broken ? -1 : int(used);
}

void WebShow::musicEnds()
{
    const bool wasReading = m_head.state() == MusicFile::HeadParser::State::Reading;
    m_head.finish();
    if (wasReading)
        headDone();
}

void WebShow::musicStarts(double pageMs)
{
    if (!std::isfinite(pageMs))
        pageMs = Page::now();
    m_timerStart = pageMs;
    m_timerStarted = true;
    m_waitingSince.reset();
    // Keys pressed before (a silent run, or the wait for the music) do not
    // carry over: the show runs from 0 with its music.
    ShowHost::startAfresh(m_show);
}

void WebShow::musicWaits(double pageMs)
{
    if (std::isfinite(pageMs) && m_timerStarted && !m_waitingSince)
        m_waitingSince = pageMs;
}

void WebShow::musicGoesOn(double pageMs)
{
    if (!m_waitingSince)
        return;
    if (std::isfinite(pageMs))
        m_timerStart += std::max(0.0, pageMs - *m_waitingSince);
    m_waitingSince.reset();
}

void WebShow::headDone()
{
    if (m_head.state() == MusicFile::HeadParser::State::Complete) {
        m_beats = m_head.beats();
        return;
    }
    std::string why;
    switch (m_head.fault()) {
    case MusicFile::HeadParser::Fault::TooManyBeats:
        // Sent without its size, the file cannot show it holds them.
        why = "its list of " + std::to_string(m_head.count()) + " beats is longer than any show can use (at most "
            + std::to_string(MusicFile::HeadParser::mostBeatsUnsized) + ")";
        break;
    case MusicFile::HeadParser::Fault::EndsInsideList:
        // Whether the file stopped short or its size was known to be short.
        why = "the file ends inside its list of " + std::to_string(m_head.count()) + " beats";
        break;
    default:
        why = "the file is too short for a beat count";
        break;
    }
    Page::fail(std::string(ShowFiles::music) + " is broken: " + why + "; " + ShowFiles::silentShow);
}

EM_BOOL WebShow::onClick(int, const EmscriptenMouseEvent *, void *show)
{
    WebShow *self = static_cast<WebShow *>(show);
    if (self->m_state == State::Running)
        return EM_FALSE;
    self->start();
    return EM_TRUE;
}

EM_BOOL WebShow::onTouch(int eventType, const EmscriptenTouchEvent *event, void *show)
{
    return static_cast<WebShow *>(show)->touch(eventType, *event) ? EM_TRUE : EM_FALSE;
}

// One finger's gestures while the show runs. Before and after it, a tap
// is left to become the click that starts the show.
bool WebShow::touch(int eventType, const EmscriptenTouchEvent &event)
{
    if (m_state != State::Running)
        return false;
    const double now = emscripten_get_now();
    int held = 0; // fingers on the screen besides the ones that changed
    const EmscriptenTouchPoint *changed = nullptr;
    for (int i = 0; i < event.numTouches; ++i) {
        if (event.touches[i].isChanged)
            changed = changed ? changed : &event.touches[i];
        else
            ++held;
    }
    if (!changed)
        return false;
    if (eventType == EMSCRIPTEN_EVENT_TOUCHCANCEL || held > 0)
        m_gestures.cancel();
    else if (eventType == EMSCRIPTEN_EVENT_TOUCHSTART)
        act(m_gestures.down(changed->clientX, changed->clientY, now));
    else
        act(m_gestures.up(changed->clientX, changed->clientY, now));
    // Left to the browser: the page's touch-action keeps it from scrolling
    // or zooming, and the click it makes of a tap does nothing while the
    // show runs (a browser may refuse to cancel a touch end, and says so).
    return false;
}

EM_BOOL WebShow::onKey(int, const EmscriptenKeyboardEvent *event, void *show)
{
    return static_cast<WebShow *>(show)->key(event->code) ? EM_TRUE : EM_FALSE;
}

// Inside the click's or the key's handler, where the page may go full screen
// and start its sound: the first time, or again after the end.
void WebShow::start()
{
    m_state = State::Running;
    m_show = {};
    m_timerStarted = false;
    m_waitingSince.reset();
    m_gestures = {};
    m_lastFrameAt = -1.0;
    Page::start();
    m_fpsTimerStart = Page::now();
    emscripten_request_animation_frame_loop(onFrame, this);
}

bool WebShow::key(const char *code)
{
    const KeyMap::Binding binding = KeyMap::forDomCode(code);
    if (m_state != State::Running) {
        // Any key but Escape (with which a browser leaves things) starts the
        // show, or plays it again.
        if (binding.action == KeyMap::Action::Quit)
            return false;
        start();
        return true;
    }
    return act(binding);
}

// What a key, or the gesture that stands for it, does while the show runs.
bool WebShow::act(const KeyMap::Binding &binding)
{
    const ShowHost::KeyOutcome outcome = ShowHost::act(m_show, binding, showTimerMs());
    if (outcome.restartTimer) {
        m_timerStart = Page::now();
        m_timerStarted = true;
        if (m_waitingSince)
            m_waitingSince = m_timerStart;
    }
    if (outcome.quit)
        end("Escape");
    return outcome.handled;
}

// Held at 0 until the music starts, and until its start is heard (the
// output's latency puts it a little ahead of the page's clock), and
// standing still while the music waits for the network.
std::int64_t WebShow::showTimerMs() const
{
    if (!m_timerStarted)
        return 0;
    const double now = m_waitingSince ? std::min(Page::now(), *m_waitingSince) : Page::now();
    return std::int64_t(std::floor(std::max(0.0, now - m_timerStart)));
}

std::int64_t WebShow::fpsTimerMs() const
{
    return std::int64_t(std::floor(Page::now() - m_fpsTimerStart));
}

EM_BOOL WebShow::onFrame(double, void *show)
{
    return static_cast<WebShow *>(show)->frame() ? EM_TRUE : EM_FALSE;
}

// One frame, in the desktop's order. Returns false once the show has ended.
bool WebShow::frame()
{
    if (m_state != State::Running)
        return false;

    // The frame rate is the viewer's, on the real clock: a page whose clock
    // is held (for tests of its pictures) draws at full resolution.
    const double now = emscripten_get_now();
    if (m_lastFrameAt >= 0.0 && !Page::clockIsHeld())
        m_scale.frameTook(now - m_lastFrameAt);
    m_lastFrameAt = now;
    // A tap whose time for a second one is over.
    act(m_gestures.due(now));
    if (m_state != State::Running)
        return false;

    // The page's one thread also moves the audio clock, between frames: one
    // reading serves the whole frame.
    const float clock = Page::audioClock();
    const ShowHost::Frame frame = ShowHost::frame(m_show, m_beats, showTimerMs(), fpsTimerMs(), [clock] { return clock; });
    if (frame.report) {
        Page::log(number(frame.reportedFrames));
        m_fpsTimerStart = Page::now();
        Page::log(number(frame.reportedSeconds));
    }
    for (const ShowHost::FiredBeat &fired : frame.fired)
        Page::log(std::to_string(fired.beat) + " " + number(fired.clock));
    const float showTime = frame.uniforms.showTime;

    if (m_scene && !m_contextLost) {
        // The canvas at the device's pixels, which the scene measures in, or
        // at the fraction of them that keeps the frame rate; the page
        // stretches it to the canvas.
        double cssWidth = 0.0, cssHeight = 0.0;
        emscripten_get_element_css_size(canvas, &cssWidth, &cssHeight);
        const double ratio = emscripten_get_device_pixel_ratio();
        const int width = m_scale.side(int(std::lround(cssWidth * ratio)));
        const int height = m_scale.side(int(std::lround(cssHeight * ratio)));
        if (width != m_width || height != m_height) {
            emscripten_set_canvas_element_size(canvas, width, height);
            m_width = width;
            m_height = height;
        }
        glViewport(0, 0, m_width, m_height);
        if (m_scene->isReady()) {
            m_scene->draw(frame.uniforms, float(m_width), float(m_height));
        } else {
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    }
    Page::frameDrawn(++m_frames, showTime, m_scene && m_scene->isReady() && !m_contextLost, m_show.paused);

    if (frame.over)
        end("its 38.2 s are over");
    return m_state == State::Running;
}

void WebShow::leftFullScreen()
{
    if (m_state == State::Running)
        end("Escape");
}

void WebShow::end(const char *why)
{
    if (m_state == State::Ended)
        return;
    m_state = State::Ended;
    Page::end();
    Page::log(std::string("the show ends: ") + why);
}
