#ifndef WINDOW_H
#define WINDOW_H

#include "gpuscene.h"
#include "showfiles.h"
#include "showhost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QOpenGLBuffer>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QOpenGLVertexArrayObject>
#include <QOpenGLWindow>

#include <SDL.h>

#include <atomic>
#include <optional>

class QKeyEvent;

// The audio callback: fills the device's next buffer from the music file and
// moves the audio clock on. Runs on the audio thread; data is the Window.
void effect(void *data, Uint8 *stream, int length);

// The show: one full-screen GL window that owns every resource of the show,
// runs the frame loop in paintGL and takes the keys.
class Window : public QOpenGLWindow
{
public:
    Window();
    ~Window() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

    // What one of the window's two timers reads now, in milliseconds: every
    // reading of them goes through here. The show reads the real clock; a
    // test puts its own clock in its place to set exact times.
    virtual qint64 readTimer(const QElapsedTimer &timer) const { return timer.elapsed(); }

private:
    friend struct WindowProbe; // lets the tests look at the show state
    friend void effect(void *data, Uint8 *stream, int length);

    // The show state the host's rules work on: the members below.
    ShowHost::StateRef hostState();

    QOpenGLTexture m_font{QOpenGLTexture::Target2D}; // the font, from text.png: bound on unit 0, unread by the scene
    QOpenGLShaderProgram m_shader;  // the scene program: the two compiled-in stages, linked
    std::optional<GpuScene> m_scene; // the scene on the GPU, on m_shader, m_vao, m_vbo and m_font: its one draw
    QOpenGLVertexArrayObject m_vao; // the full-screen quad's vertex array
    QOpenGLBuffer m_vbo;            // the full-screen quad's six vertices
    QElapsedTimer m_timer;          // the show timer: since the start or the last Return; ends the show
    QElapsedTimer m_fpsTimer;       // since the last frame-rate report
    QList<int> m_beats;             // the beat times from the music file's head, in file order
    QFile m_file{QString::fromLatin1(ShowFiles::music)}; // the music file, open at the audio still to play
    float m_last = -1.0f;           // the last beat fired; only larger ones fire after it
    // The audio clock: 10 more every audio callback. Written by the audio
    // thread, read by the frame loop: only whole values cross.
    std::atomic<float> m_elapsed{0.0f};
    // The open audio device, 0 without one. Closed first on the way out, so
    // that no callback outlives the file or the window.
    SDL_AudioDeviceID m_device = 0;
    float m_beat = 0.0f;            // the beat pulse: 1 when a beat fires, 0.1 less every frame, unclamped
    float m_fps = 0.0f;             // frames since the last frame-rate report
    float m_timeAdjustment = 0.0f;  // show seconds the arrow keys have added
    float m_pauseAdjustment = 0.0f; // show seconds the holds have taken away
    float m_snapshot = 0.0f;        // where this hold began: the timer in show seconds, less the holds before
    bool m_paused = false;          // whether Space holds the show time
};

#endif // WINDOW_H
