#ifndef STUDIOWINDOW_H
#define STUDIOWINDOW_H

#include "beateditor.h"
#include "framepace.h"
#include "headsup.h"
#include "musicplayer.h"
#include "notes.h"
#include "peakloader.h"
#include "programcontrol.h"
#include "sceneview.h"
#include "screenshot.h"
#include "stripcontrol.h"
#include "studiokeys.h"
#include "studiooptions.h"
#include "transport.h"

#include <QElapsedTimer>
#include <QOpenGLWindow>
#include <QTimer>

#include <memory>

class StageWatcher;

// The studio: the scene drawn from the stages on disk, rebuilt on every
// save, with the music on the same timeline, the beats to edit, and the
// keys to move about. The window only wires its pieces: it hands them the
// window system's events and the wall clock, and paints what they show.
class StudioWindow : public QOpenGLWindow
{
    Q_OBJECT

public:
    explicit StudioWindow(const StudioOptions &options);
    ~StudioWindow() override;

    // Why the studio cannot start as asked (a file given on the command
    // line that cannot be used); empty when it can.
    QString startupError() const { return m_startupError; }
    // Shows the window as the options ask.
    void start();

    // The pieces, for what drives and watches them.
    MusicPlayer &player() { return m_player; }
    Transport &transport() { return m_transport; }
    const BeatEditor &beats() const { return m_beats; }
    const StripControl &strip() const { return m_strip; }
    SceneView &view() { return m_view; }
    ProgramControl &programs() { return m_programs; }
    const HeadsUp &headsUp() const { return m_headsUp; }
    const Notes &notes() const { return m_notes; }
    const FramePace &pace() const { return m_pace; }
    // Null for the compiled-in stages, which are never saved.
    const StageWatcher *stageWatcher() const { return m_watcher.get(); }
    // What the heads-up line shows at a show time.
    HeadsUp::Status headsUpStatus(double showTime) const;
    // The scene as last drawn, at the size drawn.
    QImage sceneImage();

    // The wall clock in milliseconds since the window's GL started: every
    // reading of it goes through here. The studio reads the real clock; a
    // test puts its own in its place to set exact times.
    virtual qint64 readClock() const { return m_clock.elapsed(); }

protected:
    void initializeGL() override;
    void paintGL() override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool event(QEvent *event) override;

private:
    void openInputs(const StudioOptions &options);
    void built();
    void act(const StudioKeys::Press &press, qint64 nowMs);
    void setScale(double scale);
    void saveFrame();
    void releaseGL();

    QString m_startupError;
    StudioOptions m_options;

    MusicPlayer m_player;
    Transport m_transport{m_player};
    std::unique_ptr<StageWatcher> m_watcher;
    QImage m_fontImage;
    PeakLoader m_peaks;
    BeatEditor m_beats;
    StripControl m_strip{m_transport, m_beats, m_peaks};
    SceneView m_view;
    ProgramControl m_programs{*this, m_view};
    HeadsUp m_headsUp;
    FramePace m_pace;
    Notes m_notes;
    Screenshot m_screenshot;
    QElapsedTimer m_clock;
    // Fires the beats the music reaches, once a buffer of the audio device,
    // whether or not frames are drawn (a program giving way draws none).
    QTimer m_beatTimer;
    // Takes the warning away once its answer is no longer awaited.
    QTimer m_questionTimer;
    float m_beatPulse = 0.0f;
};

#endif // STUDIOWINDOW_H
