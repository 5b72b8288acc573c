// The show window: full screen from its first frame, the scene program built
// from the compiled-in shaders, and a quad that covers every pixel.

#include "logcapture.h"
#include "windowprobe.h"

#include <QOpenGLFunctions>
#include <QScreen>
#include <QtTest>

namespace {

// Notes the size every frame is drawn at.
class SizeRecordingWindow : public Window
{
public:
    QList<QSize> frameSizes;

protected:
    void paintGL() override
    {
        frameSizes << size();
        Window::paintGL();
    }
};

} // namespace

class ShowWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void windowIsFullScreenFromTheFirstFrame();
    void sceneProgramLinksFromTheCompiledInShaders();
    void quadCoversEveryPixel();
    void resolutionAndViewportAreInFramebufferPixels();
};

void ShowWindowTest::windowIsFullScreenFromTheFirstFrame()
{
    SizeRecordingWindow window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    QVERIFY(!window.frameSizes.isEmpty());
    const QSize screen = window.screen()->size();
    for (const QSize &size : qAsConst(window.frameSizes))
        QCOMPARE(size, screen);
    QCOMPARE(window.windowState(), Qt::WindowFullScreen);
    QCOMPARE(window.format().profile(), QSurfaceFormat::CoreProfile);
    QVERIFY(window.format().version() >= qMakePair(4, 1));
}

void ShowWindowTest::sceneProgramLinksFromTheCompiledInShaders()
{
    QVERIFY(QFile::exists(QStringLiteral(":/shaders/shader.vert")));
    QVERIFY(QFile::exists(QStringLiteral(":/shaders/shader.frag")));

    LogCapture log;
    Window window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    WindowProbe probe(window);

    QVERIFY(probe.shader().isLinked());
    QCOMPARE(probe.shader().shaders().size(), 2);
    for (const QOpenGLShader *shader : probe.shader().shaders())
        QVERIFY2(shader->isCompiled(), qPrintable(shader->log()));
    QVERIFY(probe.shader().attributeLocation("vertex") >= 0);
    QVERIFY(probe.shader().uniformLocation("iGlobalTime") >= 0);
    QVERIFY(probe.shader().uniformLocation("iResolution") >= 0);

    // Only the missing font image, and the sound this test runs without,
    // may be complained about.
    for (const QString &warning : log.warnings())
        QVERIFY2(warning.contains(QLatin1String("null image")) || warning.contains(QLatin1String("runs silent")),
                 qPrintable(warning));
}

void ShowWindowTest::quadCoversEveryPixel()
{
    Window window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    WindowProbe probe(window);

    // Fill the framebuffer with a colour the scene never writes, draw one
    // frame and look for any pixel left untouched.
    window.makeCurrent();
    QOpenGLFunctions *gl = window.context()->functions();
    gl->glClearColor(1.0f, 0.0f, 1.0f, 0.5f);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    probe.frame();

    const QImage drawn = probe.drawn();
    QCOMPARE(drawn.size(), window.size() * window.devicePixelRatio());
    int untouched = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb pixel = drawn.pixel(x, y);
            untouched += qRed(pixel) == 255 && qGreen(pixel) == 0 && qBlue(pixel) == 255 && qAbs(qAlpha(pixel) - 127) <= 1;
        }
    QCOMPARE(untouched, 0);
}

void ShowWindowTest::resolutionAndViewportAreInFramebufferPixels()
{
    Window window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    WindowProbe probe(window);
    probe.frame();

    // Run with QT_SCALE_FACTOR=2 this checks a high-density screen.
    const qreal expectedRatio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
    QCOMPARE(window.devicePixelRatio(), expectedRatio);

    const QSize pixels = window.size() * window.devicePixelRatio();
    QCOMPARE(probe.uniform("iResolution", 2), (QVector<float>{float(pixels.width()), float(pixels.height())}));

    QCOMPARE(pixels, window.screen()->size() * expectedRatio);

    // The platform sets a viewport of its own before each frame it paints;
    // the window's resize step must set the same one itself.
    window.makeCurrent();
    QOpenGLFunctions *gl = window.context()->functions();
    gl->glViewport(0, 0, 1, 1);
    probe.resize(window.width(), window.height());
    GLint viewport[4] = {};
    gl->glGetIntegerv(GL_VIEWPORT, viewport);
    QCOMPARE((QVector<GLint>{viewport[0], viewport[1], viewport[2], viewport[3]}),
             (QVector<GLint>{0, 0, pixels.width(), pixels.height()}));
}

QTEST_MAIN(ShowWindowTest)
#include "tst_showwindow.moc"
