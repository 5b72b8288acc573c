// The show's picture against the scene's fragment stage as it was first
// written, slow and plain. Any
// change made to the show's stage for speed has to leave the picture within a
// few levels of it, at every kind of moment of the show and in windows of
// both shapes.

#include "glreadback.h"
#include "offscreencontext.h"
#include "picturedifference.h"
#include "referencestage.h"
#include "scenerenderer.h"
#include "showgl.h"

#include <QImage>
#include <QOpenGLFramebufferObject>
#include <QtTest>

#include <optional>

using PictureDifference::Difference;
using PictureDifference::differenceOf;

namespace {

// Wide and tall windows of the same area: modest, for a software GL.
const QSize wide(320, 180);
const QSize tall(180, 320);

// Both stages drawn by the scene renderer into one framebuffer.
class StagePair
{
public:
    StagePair()
    {
        if (!m_context.makeCurrent())
            return;
        const QByteArray vertex = ShowGL::stageSource(ShowGL::vertexShader());
        m_reference.emplace();
        m_reference->build(vertex, ShowGL::stageSource(ReferenceStage::resourceName()));
        m_show.emplace();
        m_show->build(vertex, ShowGL::stageSource(ShowGL::fragmentShader()));
    }

    ~StagePair()
    {
        // GL objects go with their context current; without one none was made.
        if (!m_context.makeCurrent())
            return;
        m_reference.reset();
        m_show.reset();
        m_fbo.reset();
    }

    StagePair(const StagePair &) = delete;
    StagePair &operator=(const StagePair &) = delete;

    // Empty when both programs linked.
    QString problems() const
    {
        if (!m_reference || !m_show)
            return QStringLiteral("no GL context");
        QString text;
        if (!m_reference->isReady())
            text += QStringLiteral("reference: ") + m_reference->log();
        if (!m_show->isReady())
            text += QStringLiteral("show: ") + m_show->log();
        return text;
    }

    QImage reference(const QSize &size, float showTime) { return frame(*m_reference, size, showTime); }
    QImage show(const QSize &size, float showTime) { return frame(*m_show, size, showTime); }

private:
    // The framebuffer's bytes, alpha included.
    QImage frame(SceneRenderer &renderer, const QSize &size, float showTime)
    {
        if (!renderer.isReady() || !m_context.makeCurrent())
            return {};
        if (!m_fbo || m_fbo->size() != size)
            m_fbo.emplace(size);
        m_fbo->bind();
        renderer.draw(size, showTime);

        const QImage image = GLReadBack::image(size);
        m_fbo->release();
        return image;
    }

    OffscreenContext m_context;
    std::optional<QOpenGLFramebufferObject> m_fbo;
    std::optional<SceneRenderer> m_reference;
    std::optional<SceneRenderer> m_show;
};

int litPixels(const QImage &image)
{
    int lit = 0;
    for (int row = 0; row < image.height(); ++row) {
        const uchar *pixel = image.constScanLine(row);
        for (int column = 0; column < image.width(); ++column, pixel += 4)
            lit += pixel[0] + pixel[1] + pixel[2] > 0;
    }
    return lit;
}

} // namespace

class ScenePictureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pictureStaysWithinAFewLevelsOfTheReference_data();
    void pictureStaysWithinAFewLevelsOfTheReference();
    void limitsCatchTheCameraMovedByOneFrame();

private:
    std::optional<StagePair> m_stages;
};

void ScenePictureTest::initTestCase()
{
    m_stages.emplace();
    const QString problems = m_stages->problems();
    QVERIFY2(problems.isEmpty(), qPrintable(problems));
}

void ScenePictureTest::pictureStaysWithinAFewLevelsOfTheReference_data()
{
    QTest::addColumn<float>("showTime");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("black");

    struct Moment
    {
        const char *name;
        float showTime;
        bool black;
    };
    const Moment moments[] = {
        {"negative t, no walls", -1.5f, false},
        {"shot 1, walls rising", 0.8f, false},
        {"shot 1, half risen", 2.5f, false},
        {"fading out of shot 1", 4.5f, false},
        {"cut at 5", 5.0f, true},
        {"fading into shot 2", 5.5f, false},
        {"shot 2", 7.5f, false},
        {"fading out of shot 2", 9.6f, false},
        {"cut at 10", 10.0f, true},
        {"fading into shot 3", 10.4f, false},
        {"shot 3", 12.5f, false},
        {"shot 3, later", 13.7f, false},
        {"cut at 15", 15.0f, true},
        {"fading into shot 4", 15.25f, false},
        {"shot 4", 16.5f, false},
        {"shot 4, later", 17.5f, false},
        {"fading out of shot 4", 19.1f, false},
        {"cut at 20", 20.0f, true},
        {"fading into shot 5", 20.5f, false},
        {"shot 5, level", 21.5f, false},
        {"shot 5, swinging up", 24.0f, false},
        {"shot 5, near the top", 26.2f, false},
        {"still end at 27", 27.0f, false},
        {"still end at 28", 28.0f, false},
        {"still end at 29", 29.0f, false},
        {"fading out for good", 29.5f, false},
        {"black at 30", 30.0f, true},
    };
    for (const Moment &moment : moments) {
        for (const QSize &size : {wide, tall}) {
            const QString name = QStringLiteral("%1 (t = %2), %3x%4")
                    .arg(QLatin1String(moment.name)).arg(double(moment.showTime))
                    .arg(size.width()).arg(size.height());
            QTest::newRow(qPrintable(name)) << moment.showTime << size << moment.black;
        }
    }
}

void ScenePictureTest::pictureStaysWithinAFewLevelsOfTheReference()
{
    QFETCH(float, showTime);
    QFETCH(QSize, size);
    QFETCH(bool, black);

    const QImage reference = m_stages->reference(size, showTime);
    const QImage show = m_stages->show(size, showTime);
    QCOMPARE(show.size(), size);
    const Difference difference = differenceOf(reference, show);
    qInfo("%s", qPrintable(difference.text()));

    // Not two blank pictures, and black where the show cuts.
    const int lit = litPixels(show);
    if (black)
        QCOMPARE(lit, 0);
    else
        QVERIFY2(lit > size.width() * size.height() * 9 / 10, qPrintable(QString::number(lit)));
    QVERIFY2(difference.withinLimits(), qPrintable(difference.text()));
}

// The camera of shot 3 turns a degree in a sixtieth of a second of show
// time: a picture that far off breaks the limits.
void ScenePictureTest::limitsCatchTheCameraMovedByOneFrame()
{
    const float showTime = 12.5f;
    const Difference difference = differenceOf(m_stages->reference(wide, showTime),
                                               m_stages->reference(wide, showTime + 1.0f / 60.0f));
    qInfo("%s", qPrintable(difference.text()));
    QVERIFY2(!difference.withinLimits(), qPrintable(difference.text()));
}

QTEST_MAIN(ScenePictureTest)
#include "tst_scenepicture.moc"
