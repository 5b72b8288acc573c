#ifndef WEBSHOW_H
#define WEBSHOW_H

#include "gpuscene.h"
#include "musichead.h"
#include "renderscale.h"
#include "showfiles.h"
#include "showhost.h"
#include "touchgestures.h"

#include <emscripten/html5.h>
#include <GLES3/gl3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The show in a web page: a shell over the show's host (showhost.h) and its
// key map, on the page's canvas with WebGL 2, its clock and its music (page.js).
// The show waits for a first click, tap or key, which browsers require
// before they play sound, and then runs as on the desktop; touch gestures
// stand for the keys (touchgestures.h), and where frames are slow the scene
// is drawn at a lower resolution, stretched to the canvas (renderscale.h).
// At its end a click, tap or key plays it again.
class WebShow
{
public:
    WebShow();
    WebShow(const WebShow &) = delete;
    WebShow &operator=(const WebShow &) = delete;

    // The music file's head as it arrives: its size (-1 if unknown), then its
    // bytes in order. musicBytes returns how many belong to the head, or -1
    // once the head has proved broken; the rest are the music's.
    void musicBegins(double fileSize);
    int musicBytes(const unsigned char *bytes, int length);
    void musicEnds();
    // The show timer starts at this moment of the page's clock: when the
    // music's first frame is heard, or when the page knows none will be
    // (a silent show). Until then the picture holds at 0; music heard after
    // a silent start starts the show again as Return does, its hold and
    // pulse too, so that the cuts fall on the music.
    void musicStarts(double pageMs);
    // The music has run out of frames before its end (the network is
    // behind), or has them again: the show timer stands still meanwhile, so
    // that the picture waits with the music.
    void musicWaits(double pageMs);
    void musicGoesOn(double pageMs);
    // Whether the head is whole: the bytes after it are the music's.
    bool musicHeadRead() const { return m_head.state() == MusicFile::HeadParser::State::Complete; }

    // Ends the show as Escape does, when the page leaves full screen because
    // the browser took Escape for itself.
    void leftFullScreen();

private:
    enum class State { Waiting, Running, Ended };

    static EM_BOOL onFrame(double time, void *show);
    static EM_BOOL onKey(int eventType, const EmscriptenKeyboardEvent *event, void *show);
    static EM_BOOL onClick(int eventType, const EmscriptenMouseEvent *event, void *show);
    static EM_BOOL onTouch(int eventType, const EmscriptenTouchEvent *event, void *show);
    static void onStageLoaded(unsigned handle, void *stage, void *bytes, unsigned length);
    static void onStageFailed(unsigned handle, void *stage, int status, const char *statusText);
    static EM_BOOL onContextLost(int eventType, const void *reserved, void *show);
    static EM_BOOL onContextRestored(int eventType, const void *reserved, void *show);

    void loadStages();
    void stageLoaded();
    void buildGL();
    void buildScene();
    void headDone();
    void start();
    bool frame();
    bool key(const char *code);
    bool touch(int eventType, const EmscriptenTouchEvent &event);
    bool act(const KeyMap::Binding &binding);
    void end(const char *why);

    // The show timer and the frame-rate report's timer, in whole
    // milliseconds as the desktop's timers count them.
    std::int64_t showTimerMs() const;
    std::int64_t fpsTimerMs() const;

    struct Stage
    {
        WebShow *show;
        const char *url;
        std::string source; // kept, to build the program again on a restored context
        bool loaded = false;
    };

    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE m_context = 0;
    bool m_contextLost = false;    // the browser took the GL away; it may give it back
    std::optional<GpuScene> m_scene; // the scene on the page's WebGL 2, its font filled by the page
    Stage m_vertexStage{this, ShowFiles::vertexStage, {}};
    Stage m_fragmentStage{this, ShowFiles::fragmentStage, {}};
    int m_width = 0;  // the canvas in device pixels
    int m_height = 0;

    MusicFile::HeadParser m_head;
    std::vector<int> m_beats;      // the beat times from the music file's head, in file order

    State m_state = State::Waiting;
    bool m_timerStarted = false;   // the show timer holds at 0 until the music starts
    double m_timerStart = 0.0;     // the show timer: since the music's start or the last Return; ends the show
    std::optional<double> m_waitingSince; // the show timer stands still from here while the music waits
    double m_fpsTimerStart = 0.0;  // since the last frame-rate report
    int m_frames = 0;              // frames drawn since the start
    ShowHost::State m_show;        // the beats fired, the pulse, the frame count, the show time's adjustments
    TouchGestures m_gestures;
    RenderScale m_scale;
    double m_lastFrameAt = -1.0;   // the real clock (not the page's, which tests hold) at the last frame
};

#endif // WEBSHOW_H
