#ifndef STUDIOPROBE_H
#define STUDIOPROBE_H

#include "glreadback.h"
#include "showgl.h"
#include "stagewatcher.h"
#include "studiowindow.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A studio window on a clock the test sets: every reading of its wall clock
// is the clock's time, exactly, 0 until the test moves it on. Frames the
// event loop runs meanwhile see the same time.
class ClockedStudioWindow : public StudioWindow
{
public:
    using StudioWindow::StudioWindow;

    qint64 now() const { return m_now; }
    void advance(qint64 ms) { m_now += ms; }

    qint64 readClock() const override { return m_now; }

private:
    qint64 m_now = 0;
};

// The tests' hands on the studio window: its pieces, through their own
// interfaces, and what it drew.
struct StudioProbe
{
    explicit StudioProbe(StudioWindow &window) : window(window) {}

    // Stages that paint one colour (reading the uniforms all the same, so
    // that they stay in the program), and one that breaks on its fourth line.
    static QByteArray vertexStage() { return ShowGL::stageSource(ShowGL::vertexShader()); }
    static QByteArray plainStage(const char *colour)
    {
        return QByteArray("#version 330 core\nuniform vec2 iResolution;\nuniform float iGlobalTime;\n"
                          "out vec4 result;\nvoid main()\n{\n    result = vec4(")
                + colour + ") + step(1.0e9, iResolution.x + iResolution.y + abs(iGlobalTime)) * vec4(1.0);\n}\n";
    }
    static QByteArray brokenStage()
    {
        return "#version 330 core\nout vec4 result;\nvoid main()\n{ result = vec4(undeclaredName); }\n";
    }

    // The colour in the middle of a picture.
    static QColor centre(const QImage &image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

    // Writes a file in place, as an editor that overwrites it does.
    static bool writeInPlace(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

    // Shows the window and waits for the first build to be drawn, or its
    // failure to be shown.
    bool startAndWaitForFirstBuild()
    {
        window.start();
        return QTest::qWaitForWindowExposed(&window)
                && QTest::qWaitFor([this] { return builds() > 0 && window.view().isDrawn(); }, 60000);
    }

    // A window started, its first build drawn; without the timeline strip
    // (T takes it away) for tests that look at the bottom of the picture.
    // Null when it cannot start.
    template <class Studio>
    static std::unique_ptr<Studio> started(std::unique_ptr<Studio> window, bool withoutStrip)
    {
        StudioProbe probe(*window);
        if (!window->startupError().isEmpty() || !probe.startAndWaitForFirstBuild()
                || (withoutStrip && !probe.press(Qt::Key_T)))
            return nullptr;
        return window;
    }

    // Waits for the window to present frames of its own again.
    bool waitForFrames(int count, int timeoutMs = 30000)
    {
        QSignalSpy swapped(&window, &QOpenGLWindow::frameSwapped);
        return QTest::qWaitFor([&] { return swapped.count() >= count; }, timeoutMs);
    }

    // Presses a key and waits for the frame that shows what it did.
    bool press(Qt::Key key)
    {
        QSignalSpy swapped(&window, &QOpenGLWindow::frameSwapped);
        QTest::keyClick(&window, key);
        return QTest::qWaitFor([&] { return swapped.count() > 0; }, 30000);
    }

    // What watches the stages on disk; null for the compiled-in stages.
    const StageWatcher *watcher() const { return window.stageWatcher(); }

    // Programs linked, and builds that failed, so far.
    int programs() const { return window.programs().supervisor().programs(); }
    int builds() const { return programs() + window.programs().supervisor().failedBuilds(); }
    int drawnProgram() const { return window.view().drawnProgram(); }
    int slowBuilds() const { return window.programs().supervisor().slowBuilds(); }
    // How long a new program's first frame may take before it is turned away.
    void setSlowFrameMs(qint64 ms) { window.programs().setSlowFrameMs(ms); }
    int sceneDraws() const { return window.view().draws(); }
    int framesFollowed() const { return window.pace().followed(); }
    QStringList messages() const { return window.programs().messages(); }
    QString stageInError() const { return window.programs().stageInError(); }
    QRect messagesBox() const { return window.headsUp().messagesBox(); }
    bool headsUpOn() const { return window.headsUp().isOn(); }
    double scale() const { return window.view().scale(); }
    QSize drawnSize() const { return window.view().size(); }
    Transport &transport() { return window.transport(); }
    ProgramBuilder *builder() { return window.programs().builder(); }
    MusicPlayer &player() { return window.player(); }
    qint64 now() const { return window.readClock(); }
    const BeatEdits &edits() const { return window.beats().edits(); }
    const TimelineStrip &strip() const { return window.strip().strip(); }
    // What the heads-up line says of the last key, for a moment.
    QString note() const { return window.notes().current(); }
    QString headsUpLine() const { return HeadsUp::line(window.headsUpStatus(0.0)); }
    // The warning that waits for an answer, as the studio means it now and
    // as the last paint laid it out.
    QString question() const { return window.headsUpStatus(0.0).question; }
    QRect questionBox() const { return window.headsUp().questionBox(); }
    QStringList questionLines() const { return window.headsUp().questionLines(); }

    // The scene as last drawn, at the size drawn, and the whole window as
    // presented (text included).
    QImage scene() { return window.sceneImage(); }
    QImage presented() { return window.grabFramebuffer(); }

    // A float uniform of the program that draws, as the last frame left it.
    QVector<float> uniform(const char *name, int components)
    {
        window.makeCurrent();
        QOpenGLShaderProgram *program = window.view().program();
        return program ? GLReadBack::uniform(*program, name, components) : QVector<float>();
    }

    StudioWindow &window;
};

// A studio's working folder for one test: a new temporary folder, made the
// current one, whose shaders/ holds the vertex stage. The folder that was
// current before is current again when it goes.
class StudioFolder
{
public:
    StudioFolder()
        : m_ready(m_dir.isValid() && QDir::setCurrent(m_dir.path()) && QDir().mkdir(QStringLiteral("shaders"))
                  && StudioProbe::writeInPlace(QStringLiteral("shaders/shader.vert"), StudioProbe::vertexStage()))
    {
    }
    ~StudioFolder() { QDir::setCurrent(m_previous); }
    StudioFolder(const StudioFolder &) = delete;
    StudioFolder &operator=(const StudioFolder &) = delete;

    bool isReady() const { return m_ready; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    const QString m_previous = QDir::currentPath();
    QTemporaryDir m_dir;
    const bool m_ready;
};

#endif // STUDIOPROBE_H
