#ifndef STUDIOWINDOW_H
#define STUDIOWINDOW_H

#include "beatedits.h"
#include "beatlistwriter.h"
#include "beatrecovery.h"
#include "headsup.h"
#include "musicplayer.h"
#include "peakloader.h"
#include "programbuilder.h"
#include "programsupervisor.h"
#include "scenerenderer.h"
#include "screenshot.h"
#include "studiooptions.h"
#include "timelinestrip.h"
#include "transport.h"

#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLFramebufferObject>
#include <QOpenGLTexture>
#include <QOpenGLWindow>
#include <QTimer>

#include <memory>
#include <optional>

class StageWatcher;

// The studio: the scene drawn from the stages on disk, rebuilt on every
// save, with the music on the same timeline, and the keys to move about.
//
// The scene is drawn into a framebuffer at the render scale of the window
// and stretched onto it, with the heads-up line and the compiler's messages
// over it. While the show time stands still nothing asks for frames, and a
// frame that is painted all the same (a key, an expose) shows the scene
// drawn last without drawing it again.
class StudioWindow : public QOpenGLWindow
{
    Q_OBJECT

public:
    explicit StudioWindow(const StudioOptions &options);

    // A second Escape or close within this long quits in spite of unsaved edits.
    static constexpr qint64 quitAgainMs = 2000;
    ~StudioWindow() override;

    // Why the studio cannot start as asked (a file given on the command
    // line that cannot be used); empty when it can.
    QString startupError() const { return m_startupError; }
    // Shows the window as the options ask.
    void start();

protected:
    void initializeGL() override;
    void paintGL() override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool event(QEvent *event) override;

    // The wall clock in milliseconds since the window's GL started: every
    // reading of it goes through here. The studio reads the real clock; a
    // test puts its own in its place to set exact times.
    virtual qint64 readClock() const { return m_clock.elapsed(); }

private:
    friend struct StudioProbe; // lets the tests look inside

    // Finds the stages, opens the music and the font, starts the sound;
    // returns why it cannot start as asked.
    QString openInputs(const StudioOptions &options);
    void useStages(const QByteArray &vertex, const QByteArray &fragment);
    void useBuild(const std::shared_ptr<ProgramBuilder::Result> &result);
    void drawScene(qint64 nowMs, double showTime);
    // A new program's first frame took this long.
    void timed(qint64 firstFrameMs);
    void paintText(double showTime);
    HeadsUp::Status headsUpStatus(double showTime) const;
    void paintStrip(double showTime);
    TimelineStrip::Content stripContent() const;
    // Something the strip shows has changed: its image is drawn again.
    void stripChanged();
    // The pointer dragging in the strip has moved to x.
    void dragTo(double x, qint64 nowMs);
    void seekTo(double showTime, qint64 nowMs);
    void stepFrame(int frames, qint64 nowMs);

    // Beat editing: every edit goes to the strip, the beats that fire and
    // the heads-up line.
    void beatsEdited(const QString &refusal);
    void selectBeat(int index);
    void dragBeat(double x);
    void tapBeat(qint64 nowMs);
    void saveBeats();
    // Escape and the window manager's close: whether to quit. Not while
    // there are unsaved edits, unless this is the second ask within
    // quitAgainMs.
    bool mayQuit(qint64 nowMs);
    // Edits an earlier studio kept beside the music file come back unsaved;
    // at the end, unsaved edits not given up are kept there.
    void takeBackKeptEdits();
    void keepUnsavedEdits();
    QSize drawnSize() const;
    void setScale(double scale);
    void saveFrame();
    QImage sceneImage();
    void showNote(const QString &note);
    void releaseGL();

    // The stage files as the messages name them.
    QString m_vertexName;
    QString m_fragmentName;
    QString m_startupError;
    StudioOptions m_options;

    MusicPlayer m_player;
    Transport m_transport{m_player};
    std::unique_ptr<StageWatcher> m_watcher;
    QImage m_fontImage;

    // GL: made in initializeGL, released with the context current.
    std::unique_ptr<ProgramBuilder> m_builder;
    std::optional<SceneRenderer> m_renderer;
    std::optional<QOpenGLFramebufferObject> m_scene;
    std::optional<QOpenGLTexture> m_font;

    HeadsUp m_headsUp;
    PeakLoader m_peaks;
    BeatEdits m_edits;
    MusicFile::FileStamp m_musicStamp;
    qint64 m_quitAskedAt = -1;
    bool m_editsGivenUp = false;
    std::optional<BeatRecovery> m_recovery; // with music only
    bool m_recoveryUnreadable = false;      // left for the maker to look at
    TimelineStrip m_strip;
    // What a button held in the strip drags.
    enum class Drag { None, Seek, Beat, LoopStart, LoopEnd, Pan };
    Drag m_drag = Drag::None;
    double m_dragX = 0.0;
    bool m_beatDragged = false;
    int m_draggedFrom = 0; // the dragged beat's value when the drag began
    TimelineStrip::Content m_stripContent;
    Screenshot m_screenshot;
    QElapsedTimer m_clock;
    double m_scale = 1.0;

    // What the scene framebuffer holds, and whether it must be drawn again.
    std::optional<double> m_drawnTime;
    bool m_sceneDirty = true;
    float m_beatPulse = 0.0f;
    int m_sceneDraws = 0;
    int m_framesFollowed = 0;  // frames asked for because the show time moves
    int m_drawnProgram = 0;  // the one the scene framebuffer was drawn with

    // Frame time over the last frames that followed one another.
    qint64 m_lastFrameMs = -1;
    double m_frameMs = 0.0;

    ProgramSupervisor m_supervisor;

    QStringList m_messages;
    QString m_stageInError;
    QString m_note;
    QTimer m_noteTimer;
};

#endif // STUDIOWINDOW_H
