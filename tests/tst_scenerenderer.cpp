// The scene renderer: what it feeds the program, where it draws, and what a
// stage that does not compile leaves behind.

#include "datarows.h"
#include "glreadback.h"
#include "offscreencontext.h"
#include "scenerenderer.h"
#include "showgl.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QThread>
#include <QVector4D>
#include <QtTest>

#include <optional>

namespace {

// A stage that writes its uniforms out as the colour, so that a float
// framebuffer shows exactly what the renderer fed.
const QByteArray uniformsStage = R"(#version 330 core
uniform vec2 iResolution;
uniform float iGlobalTime;
uniform float iBeat;
uniform sampler2D iFont;
out vec4 result;
void main()
{
    result = vec4(iResolution, iGlobalTime, iBeat);
}
)";

// A stage that paints a fixed colour.
QByteArray plainStage(const char *colour)
{
    return QByteArray("#version 330 core\nout vec4 result;\nvoid main()\n{\n    result = vec4(") + colour
            + ");\n}\n";
}

// Breaks on its fourth line.
const QByteArray brokenStage = "#version 330 core\n"
                               "out vec4 result;\n"
                               "void main()\n"
                               "{ result = vec4(undeclaredName, 0.0, 0.0, 1.0); }\n";

} // namespace

class SceneRendererTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void uniformsCarryShowTimeBeatAndFramebufferSize_data();
    void uniformsCarryShowTimeBeatAndFramebufferSize();
    void drawsIntoTheBoundFramebufferOverTheSizeGiven();
    void failedBuildReportsTheCompilersLineAndDrawsNothing();
    void failedBuildKeepsDrawingTheProgramThatLinkedBefore();
    void versionLineAfterCommentsIsTakenWithTheMakersLines_data();
    void versionLineAfterCommentsIsTakenWithTheMakersLines();
    void compiledInStagesBuildTheShowsProgram();
    void programBuiltOnAnotherThreadInASharedContextDrawsHere();

private:
    void clearTo(const QVector4D &colour);

    std::optional<OffscreenContext> m_context;
    std::optional<QOpenGLFramebufferObject> m_fbo;
    std::optional<SceneRenderer> m_renderer;
    const QSize m_size{40, 30};
};

void SceneRendererTest::init()
{
    m_context.emplace();
    QVERIFY(m_context->makeCurrent());
    m_fbo.emplace(m_size, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D, GL_RGBA32F);
    QVERIFY(m_fbo->bind());
    m_renderer.emplace();
}

void SceneRendererTest::cleanup()
{
    if (m_context)
        m_context->makeCurrent();
    m_renderer.reset();
    m_fbo.reset();
    m_context.reset();
}

void SceneRendererTest::clearTo(const QVector4D &colour)
{
    QOpenGLFunctions *gl = m_context->functions();
    gl->glViewport(0, 0, m_size.width(), m_size.height());
    gl->glClearColor(colour.x(), colour.y(), colour.z(), colour.w());
    gl->glClear(GL_COLOR_BUFFER_BIT);
}

void SceneRendererTest::uniformsCarryShowTimeBeatAndFramebufferSize_data()
{
    addRows<float, float>({"showTime", "beat"},
            {{"start", 0.0f, 0.0f},
             {"a beat in shot 3", 12.345f, 0.9f},
             {"negative time", -7.5f, 0.3f}});
}

void SceneRendererTest::uniformsCarryShowTimeBeatAndFramebufferSize()
{
    QFETCH(float, showTime);
    QFETCH(float, beat);

    QVERIFY2(m_renderer->build(ShowGL::stageSource(ShowGL::vertexShader()), uniformsStage),
             qPrintable(m_renderer->log()));
    clearTo({-1, -1, -1, -1});
    m_renderer->draw(m_size, showTime, beat);

    const QVector4D expected(m_size.width(), m_size.height(), showTime, beat);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, expected);
}

void SceneRendererTest::drawsIntoTheBoundFramebufferOverTheSizeGiven()
{
    QVERIFY(m_renderer->build(ShowGL::stageSource(ShowGL::vertexShader()), uniformsStage));
    clearTo({-1, -1, -1, -1});
    // A quarter of the framebuffer: the viewport and the resolution follow the size.
    const QSize part(m_size.width() / 2, m_size.height() / 2);
    m_renderer->draw(part, 3.0f, 0.0f);

    const QVector<QVector4D> values = GLReadBack::values(m_size);
    int drawn = 0;
    for (int y = 0; y < m_size.height(); ++y) {
        for (int x = 0; x < m_size.width(); ++x) {
            const QVector4D value = values[y * m_size.width() + x];
            const bool inside = x < part.width() && y < part.height();
            QCOMPARE(value, inside ? QVector4D(part.width(), part.height(), 3.0f, 0.0f) : QVector4D(-1, -1, -1, -1));
            drawn += inside;
        }
    }
    QCOMPARE(drawn, part.width() * part.height());
}

void SceneRendererTest::failedBuildReportsTheCompilersLineAndDrawsNothing()
{
    QVERIFY(!m_renderer->build(ShowGL::stageSource(ShowGL::vertexShader()), brokenStage));
    QVERIFY(!m_renderer->isReady());
    QVERIFY(m_renderer->program() == nullptr);
    QCOMPARE(m_renderer->failure(), SceneRenderer::Failure::Fragment);
    QVERIFY2(m_renderer->log().contains(QStringLiteral("undeclaredName")), qPrintable(m_renderer->log()));
    // The error's line is the fourth of the text as given, whatever Qt adds to it.
    static const QRegularExpression fourthLine(QStringLiteral("\\b0[:(]4\\b"));
    QVERIFY2(m_renderer->log().contains(fourthLine), qPrintable(m_renderer->log()));

    clearTo({0.25f, 0.5f, 0.75f, 1.0f});
    m_renderer->draw(m_size, 1.0f, 0.0f);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, QVector4D(0.25f, 0.5f, 0.75f, 1.0f));
}

void SceneRendererTest::failedBuildKeepsDrawingTheProgramThatLinkedBefore()
{
    const QByteArray vertex = ShowGL::stageSource(ShowGL::vertexShader());
    QVERIFY(m_renderer->build(vertex, plainStage("0.0, 1.0, 0.0, 1.0")));
    QVERIFY(!m_renderer->build(vertex, brokenStage));
    QVERIFY(m_renderer->isReady());
    QVERIFY(!m_renderer->log().isEmpty());

    clearTo({0, 0, 0, 0});
    m_renderer->draw(m_size, 1.0f, 0.0f);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, QVector4D(0, 1, 0, 1));

    // A good build after it takes over, and its log is clean of the old errors.
    QVERIFY(m_renderer->build(vertex, plainStage("1.0, 0.0, 0.0, 1.0")));
    QCOMPARE(m_renderer->failure(), SceneRenderer::Failure::None);
    QVERIFY2(!m_renderer->log().contains(QStringLiteral("undeclaredName")), qPrintable(m_renderer->log()));
    m_renderer->draw(m_size, 1.0f, 0.0f);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, QVector4D(1, 0, 0, 1));
}

void SceneRendererTest::versionLineAfterCommentsIsTakenWithTheMakersLines_data()
{
    // GLSL lets blank lines and comments come before the version line. The
    // broken line's number is counted by hand in each text.
    addRows<QByteArray, int>({"fragment", "brokenLine"},
            {{"a comment line first", "// green\n" + plainStage("0.0, 1.0, 0.0, 1.0"), 0},
             {"blank lines and a comment of two lines first",
              "\n\n/* green,\n   always */\n" + plainStage("0.0, 1.0, 0.0, 1.0"), 0},
             {"a comment first, broken on the maker's line 5", "// broken\n" + brokenStage, 5},
             {"blank lines first, broken on the maker's line 7", "\n  \n\n" + brokenStage, 7}});
}

void SceneRendererTest::versionLineAfterCommentsIsTakenWithTheMakersLines()
{
    QFETCH(QByteArray, fragment);
    QFETCH(int, brokenLine);
    const bool built = m_renderer->build(ShowGL::stageSource(ShowGL::vertexShader()), fragment);
    if (brokenLine == 0) {
        QVERIFY2(built, qPrintable(m_renderer->log()));
        clearTo({0, 0, 0, 0});
        m_renderer->draw(m_size, 1.0f);
        for (const QVector4D &value : GLReadBack::values(m_size))
            QCOMPARE(value, QVector4D(0, 1, 0, 1));
        return;
    }
    QVERIFY(!built);
    QCOMPARE(m_renderer->failure(), SceneRenderer::Failure::Fragment);
    const QRegularExpression line(QStringLiteral("\\b0[:(]%1\\b").arg(brokenLine));
    QVERIFY2(m_renderer->log().contains(line), qPrintable(m_renderer->log()));
    QVERIFY2(!m_renderer->log().contains(QStringLiteral("#version")), qPrintable(m_renderer->log()));
}

void SceneRendererTest::compiledInStagesBuildTheShowsProgram()
{
    QVERIFY2(m_renderer->build(), qPrintable(m_renderer->log()));
    QVERIFY(m_renderer->program()->isLinked());
    // The scene's own uniforms are in the program it built.
    QVERIFY(m_renderer->program()->uniformLocation("iGlobalTime") >= 0);
    QVERIFY(m_renderer->program()->uniformLocation("iResolution") >= 0);

    clearTo({-1, -1, -1, -1});
    m_renderer->draw(m_size, 25.0f);
    // A lit frame of shot 5: every pixel opaque and in range.
    for (const QVector4D &value : GLReadBack::values(m_size)) {
        QCOMPARE(value.w(), 1.0f);
        QVERIFY(value.x() >= 0.0f && value.x() <= 1.0f);
    }
}

void SceneRendererTest::programBuiltOnAnotherThreadInASharedContextDrawsHere()
{
    QOpenGLContext builder;
    builder.setFormat(ShowGL::surfaceFormat());
    builder.setShareContext(QOpenGLContext::currentContext());
    QVERIFY(builder.create());
    QOffscreenSurface surface;
    surface.setFormat(builder.format());
    surface.create();

    // Builds on a thread of its own with the builder's context current there.
    const auto buildElsewhere = [&](const QByteArray &fragment) {
        SceneRenderer::Build build;
        QThread *const here = QThread::currentThread();
        std::unique_ptr<QThread> thread(QThread::create([&] {
            if (builder.makeCurrent(&surface)) {
                build = SceneRenderer::compile(ShowGL::stageSource(ShowGL::vertexShader()), fragment);
                if (build.program)
                    build.program->moveToThread(here);
                builder.doneCurrent();
            }
            builder.moveToThread(here);
        }));
        builder.moveToThread(thread.get());
        thread->start();
        thread->wait();
        return build;
    };

    QVERIFY(m_renderer->use(buildElsewhere(plainStage("0.0, 0.0, 1.0, 1.0"))));
    QVERIFY(m_context->makeCurrent());
    clearTo({0, 0, 0, 0});
    m_renderer->draw(m_size, 1.0f, 0.0f);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, QVector4D(0, 0, 1, 1));

    // A broken stage built there leaves its messages here and the blue program drawing.
    QVERIFY(!m_renderer->use(buildElsewhere(brokenStage)));
    QCOMPARE(m_renderer->failure(), SceneRenderer::Failure::Fragment);
    QVERIFY2(m_renderer->log().contains(QStringLiteral("undeclaredName")), qPrintable(m_renderer->log()));
    clearTo({0, 0, 0, 0});
    m_renderer->draw(m_size, 1.0f, 0.0f);
    for (const QVector4D &value : GLReadBack::values(m_size))
        QCOMPARE(value, QVector4D(0, 0, 1, 1));
}

QTEST_MAIN(SceneRendererTest)
#include "tst_scenerenderer.moc"
