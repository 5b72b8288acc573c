#ifndef WINDOW_H
#define WINDOW_H

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

    QOpenGLTexture m_font{QOpenGLTexture::Target2D};
    QOpenGLShaderProgram m_shader;
    QOpenGLVertexArrayObject m_vao;
    QOpenGLBuffer m_vbo;
    QElapsedTimer m_timer;
    QElapsedTimer m_fpsTimer;
    QList<int> m_beats;
    QFile m_file{QStringLiteral("music.bmm")};
    float m_last = -1.0f;
    // Written by the audio thread, read by the frame loop: only whole values cross.
    std::atomic<float> m_elapsed{0.0f};
    // Closed first on the way out, so that no callback outlives the file or the window.
    SDL_AudioDeviceID m_device = 0;
    float m_beat = 0.0f;
    float m_fps = 0.0f;
    float m_timeAdjustment = 0.0f;
    float m_pauseAdjustment = 0.0f;
    float m_snapshot = 0.0f;
    bool m_paused = false;
};

#endif // WINDOW_H
