// Whole frames of the scene: the fades and black cuts, what the picture does
// not depend on, its field of view, and the show window drawing the very
// frames the offscreen renderer draws.

#include "datarows.h"
#include "offscreenscene.h"
#include "windowprobe.h"

#include <QOpenGLTexture>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QSize small(64, 36);

// Pixels whose colour differs, alpha left out.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    int count = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column)
            if (x.pixel(column, row) != y.pixel(column, row))
                ++count;
    return count;
}

} // namespace

class SceneFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void frameIsBlackToTheLastByte_data();
    void frameIsBlackToTheLastByte();
    void everyPixelCarriesTheFadeInAlpha_data();
    void everyPixelCarriesTheFadeInAlpha();
    void pictureIgnoresTheBeatAndTheFontTexture_data();
    void pictureIgnoresTheBeatAndTheFontTexture();
    void widerWindowShowsMoreAtTheSidesNotMoreHeight_data();
    void widerWindowShowsMoreAtTheSidesNotMoreHeight();
    void showWindowDrawsTheSameFrames_data();
    void showWindowDrawsTheSameFrames();
};

void SceneFramesTest::frameIsBlackToTheLastByte_data()
{
    addRows<float>({"showTime"}, {{"cut at 5", 5.0f}, {"cut at 10", 10.0f}, {"cut at 15", 15.0f}, {"cut at 20", 20.0f},
                                  {"30", 30.0f}, {"30.56, the show's last frame", 30.56f}, {"100", 100.0f}});
}

void SceneFramesTest::frameIsBlackToTheLastByte()
{
    QFETCH(float, showTime);

    OffscreenScene scene(small);
    QVERIFY(scene.isValid());
    const QImage frame = scene.frame(showTime);
    QCOMPARE(frame.size(), small);
    const uchar *bytes = frame.constBits();
    for (qsizetype i = 0; i < frame.sizeInBytes(); ++i)
        if (bytes[i] != 0)
            QFAIL(qPrintable(QStringLiteral("byte %1 is %2").arg(i).arg(bytes[i])));
}

void SceneFramesTest::everyPixelCarriesTheFadeInAlpha_data()
{
    addRows<float, float>({"showTime", "fade"},
            {{"negative t", -1.0f, 1.0f}, {"shot 1", 2.5f, 1.0f}, {"halfway down to the first cut", 4.5f, 0.5f},
             {"halfway up from it", 5.5f, 0.5f}, {"shot 4", 17.5f, 1.0f}, {"halfway into the last fade", 29.5f, 0.5f}});
}

// The colour is scaled with alpha, so no component exceeds it.
void SceneFramesTest::everyPixelCarriesTheFadeInAlpha()
{
    QFETCH(float, showTime);
    QFETCH(float, fade);

    OffscreenScene scene(small);
    QVERIFY(scene.isValid());
    const QImage frame = scene.frame(showTime);
    QCOMPARE(frame.format(), QImage::Format_RGBA8888);
    const int alpha = qRound(fade * 255.0f);
    int lit = 0;
    for (int row = 0; row < frame.height(); ++row) {
        const uchar *pixel = frame.constScanLine(row);
        for (int column = 0; column < frame.width(); ++column, pixel += 4) {
            QVERIFY2(qAbs(pixel[3] - alpha) <= 1, qPrintable(QString::number(pixel[3])));
            QVERIFY(pixel[0] <= pixel[3] && pixel[1] <= pixel[3] && pixel[2] <= pixel[3]);
            if (pixel[0] + pixel[1] + pixel[2] > 0)
                ++lit;
        }
    }
    QCOMPARE(lit, frame.width() * frame.height());
}

void SceneFramesTest::pictureIgnoresTheBeatAndTheFontTexture_data()
{
    addRows<float>({"showTime"}, {{"shot 1", 2.5f}, {"shot 3", 12.5f}, {"shot 5", 25.0f}});
}

void SceneFramesTest::pictureIgnoresTheBeatAndTheFontTexture()
{
    QFETCH(float, showTime);

    OffscreenScene scene(small);
    QVERIFY(scene.isValid());
    const QImage plain = scene.frame(showTime, 0.0f);

    QCOMPARE(scene.frame(showTime, 0.9f), plain);
    QCOMPARE(scene.frame(showTime, 0.45f), plain);

    // A texture of noise on unit 0, where the window binds the font.
    QImage noise(64, 64, QImage::Format_RGBA8888);
    QRandomGenerator random(3);
    for (int row = 0; row < noise.height(); ++row)
        for (int column = 0; column < noise.width(); ++column)
            noise.setPixel(column, row, random.generate());
    QVERIFY(scene.makeCurrent());
    QOpenGLTexture font(noise);
    font.bind(0);
    QCOMPARE(scene.frame(showTime, 0.9f), plain);
    QVERIFY(scene.makeCurrent());
    font.destroy();
}

void SceneFramesTest::widerWindowShowsMoreAtTheSidesNotMoreHeight_data()
{
    addRows<QSize, QSize, float>({"narrow", "wide", "showTime"},
            {{"square within 2:1, shot 1", QSize(64, 64), QSize(128, 64), 2.5f},
             {"square within 2:1, shot 5", QSize(64, 64), QSize(128, 64), 25.0f},
             {"1:2 within square, shot 3", QSize(64, 128), QSize(128, 128), 12.5f}});
}

// The vertical field of view is the height's alone: every pixel of the
// narrower window has the same ray start and direction as the pixel in the
// middle columns of the wider one, so the two pictures agree there.
void SceneFramesTest::widerWindowShowsMoreAtTheSidesNotMoreHeight()
{
    QFETCH(QSize, narrow);
    QFETCH(QSize, wide);
    QFETCH(float, showTime);

    OffscreenScene narrowScene(narrow), wideScene(wide);
    QVERIFY(narrowScene.isValid() && wideScene.isValid());
    const QImage narrowFrame = narrowScene.frame(showTime);
    const QImage wideFrame = wideScene.frame(showTime);
    const int margin = (wide.width() - narrow.width()) / 2;

    QCOMPARE(wideFrame.copy(QRect(QPoint(margin, 0), narrow)), narrowFrame);
    // The sides hold something else than a repeat of the middle.
    QVERIFY(wideFrame.copy(QRect(QPoint(0, 0), narrow)) != narrowFrame);
}

void SceneFramesTest::showWindowDrawsTheSameFrames_data()
{
    addRows<float>({"showTime"}, {{"shot 1", 2.5f}, {"shot 3", 12.5f}, {"shot 5, still", 28.0f}});
}

// The window's show time comes from its timer, set to the reading that
// gives the time asked for; the offscreen frame is drawn for the exact show
// time the window fed its program.
void SceneFramesTest::showWindowDrawsTheSameFrames()
{
    QFETCH(float, showTime);

    ClockedWindow window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    WindowProbe probe(window);
    window.advance(qRound64(double(showTime) * 1250.0));
    probe.frame();
    const float shown = probe.showTime();
    QCOMPARE(shown, showTime);

    const QImage windowFrame = probe.drawn();
    const QSize pixels = windowFrame.size();

    OffscreenScene scene(pixels);
    QVERIFY(scene.isValid());
    const QImage sceneFrame = scene.frame(shown);
    QCOMPARE(differingPixels(windowFrame, sceneFrame), 0);
    // Not two blank pictures.
    QVERIFY(sceneFrame.pixel(pixels.width() / 2, pixels.height() / 2) != qRgba(0, 0, 0, 0));
}

QTEST_MAIN(SceneFramesTest)
#include "tst_sceneframes.moc"
