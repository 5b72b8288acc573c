#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include "glreadback.h"
#include "window.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>

// A show window on a clock the test sets. Every reading of its two timers is
// the clock's time since the timer last started, exactly: a timer the window
// (re)starts starts at the clock's present time, which is 0 until the test
// moves it on. Frames the event loop runs meanwhile see the same clock.
class ClockedWindow : public Window
{
public:
    qint64 now() const { return m_now; }

    // Moves the clock on by some milliseconds.
    void advance(qint64 ms)
    {
        // A timer restarted since its last reading started at the time it
        // was then; see to that before the time moves.
        for (auto &started : m_started)
            noteRestart(*started.first);
        m_now += ms;
    }

protected:
    qint64 readTimer(const QElapsedTimer &timer) const override
    {
        noteRestart(timer);
        return m_now - m_started.at(&timer).at;
    }

private:
    struct Start
    {
        QElapsedTimer as; // the timer as it was when last seen
        qint64 at;        // the clock's time then
    };

    void noteRestart(const QElapsedTimer &timer) const
    {
        const auto seen = m_started.find(&timer);
        if (seen == m_started.end())
            m_started.emplace(&timer, Start{timer, m_now});
        else if (!(seen->second.as == timer))
            seen->second = Start{timer, m_now};
    }

    qint64 m_now = 0;
    mutable std::map<const QElapsedTimer *, Start> m_started;
};

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

    // Whether a frame, run from inside the event loop as the show runs its
    // frames, ends the loop. The loop is given half a second to end.
    bool frameEndsTheEventLoop()
    {
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        QTimer::singleShot(0, &window, [this] { frame(); });
        giveUp.start(500);
        return QCoreApplication::exec() == 0;
    }

    // The window's own step when its size changes (w and h as the platform
    // passes them, in device-independent pixels).
    void resize(int w, int h)
    {
        window.makeCurrent();
        window.resizeGL(w, h);
    }

    // A float uniform of the linked program as the last frame left it.
    QVector<float> uniform(const char *name, int components)
    {
        window.makeCurrent();
        return GLReadBack::uniform(window.m_shader, name, components);
    }

    // The window's framebuffer as the last frame left it, top row first.
    QImage drawn()
    {
        window.makeCurrent();
        return GLReadBack::image(window.size() * window.devicePixelRatio());
    }

    float showTime() { const auto v = uniform("iGlobalTime", 1); return v.isEmpty() ? qQNaN() : v[0]; }

    // The show timer and the frame-rate timer as the window reads them.
    qint64 timerMs() const { return window.readTimer(window.m_timer); }
    qint64 fpsTimerMs() const { return window.readTimer(window.m_fpsTimer); }

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
