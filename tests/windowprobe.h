#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include "window.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSignalSpy>
#include <QTest>

// The tests' view into the show window: its state, and single frames run on
// demand with the window's context current.
struct WindowProbe
{
    explicit WindowProbe(Window &window) : window(window) {}

    // Shows the window full screen and waits for its first frame on screen.
    static bool showAndWaitForFirstFrame(Window &window)
    {
        QSignalSpy swapped(&window, &QOpenGLWindow::frameSwapped);
        window.showFullScreen();
        return QTest::qWaitForWindowExposed(&window) && (swapped.count() > 0 || swapped.wait(10000));
    }

    void frame()
    {
        window.makeCurrent();
        window.paintGL();
    }

    void keyPress(QKeyEvent *event) { window.keyPressEvent(event); }

    // Reads a float uniform of the linked program as the last frame left it.
    QVector<float> uniform(const char *name, int components)
    {
        window.makeCurrent();
        QVector<float> values(4, qQNaN());
        const GLint location = window.m_shader.uniformLocation(name);
        if (location < 0)
            return {};
        window.context()->functions()->glGetUniformfv(window.m_shader.programId(), location, values.data());
        values.resize(components);
        return values;
    }

    float showTime() { const auto v = uniform("iGlobalTime", 1); return v.isEmpty() ? qQNaN() : v[0]; }

    qint64 timerMs() const { return window.m_timer.elapsed(); }

    SDL_AudioDeviceID device() const { return window.m_device; }

    // Closes the audio device now, as the window's destruction would, so that
    // the clock can be compared with what the device received.
    void closeAudio()
    {
        SDL_CloseAudioDevice(window.m_device);
        window.m_device = 0;
    }

    QList<int> &beats() { return window.m_beats; }
    std::atomic<float> &elapsed() { return window.m_elapsed; }
    QFile &file() { return window.m_file; }
    QOpenGLShaderProgram &shader() { return window.m_shader; }
    float &last() { return window.m_last; }
    float &beat() { return window.m_beat; }
    float &fps() { return window.m_fps; }
    float &timeAdjustment() { return window.m_timeAdjustment; }
    float &pauseAdjustment() { return window.m_pauseAdjustment; }
    float &snapshot() { return window.m_snapshot; }
    bool &paused() { return window.m_paused; }

    Window &window;
};

#endif // WINDOWPROBE_H
