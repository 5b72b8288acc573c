// The camera path, the primary rays and the fade schedule, evaluated by the
// fragment stage itself.

#include "shaderprobe.h"

#include <QVector3D>
#include <QtTest>

#include <cmath>

namespace {

QString text(const QVector4D &v)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(v.x(), 0, 'f', 4).arg(v.y(), 0, 'f', 4).arg(v.z(), 0, 'f', 4).arg(v.w());
}

double degreesBetween(const QVector4D &a, const QVector4D &b)
{
    const double cosine = double(QVector3D::dotProduct(a.toVector3D(), b.toVector3D()))
            / double(a.toVector3D().length() * b.toVector3D().length());
    return std::acos(qBound(-1.0, cosine, 1.0)) * 180.0 / M_PI;
}

} // namespace

class SceneCameraTest : public ShaderProbeTest
{
    Q_OBJECT

private slots:
    void centreRayFollowsTheFiveShots_data();
    void centreRayFollowsTheFiveShots();
    void fadeFollowsTheSchedule_data();
    void fadeFollowsTheSchedule();
    void verticalFieldOfViewIsFortyFiveDegreesWhateverTheShape_data();
    void verticalFieldOfViewIsFortyFiveDegreesWhateverTheShape();
    void pixelIsItsRayColourWithGammaThenFade_data();
    void pixelIsItsRayColourWithGammaThenFade();
};

void SceneCameraTest::centreRayFollowsTheFiveShots_data()
{
    QTest::addColumn<float>("showTime");
    QTest::addColumn<QVector4D>("start");
    QTest::addColumn<QVector4D>("direction");

    const auto row = [](const char *name, float t, QVector4D start, QVector4D direction) {
        start.setW(1);
        QTest::newRow(name) << t << start << direction;
    };
    // To three decimals. A cut's own instant belongs to the later shot.
    row("1 at 0", 0.0f, {0.000f, 4.570f, 8.007f, 0}, {0.000f, -0.296f, -0.955f, 0});
    row("1 at 2.5", 2.5f, {3.192f, 4.570f, 7.449f, 0}, {-0.236f, -0.296f, -0.926f, 0});
    row("2 at 5", 5.0f, {-9.416f, 5.014f, 0.668f, 0}, {0.953f, -0.296f, -0.068f, 0});
    row("2 at 7.5", 7.5f, {-8.225f, 4.644f, 0.583f, 0}, {0.953f, -0.296f, -0.068f, 0});
    row("3 at 10", 10.0f, {-0.530f, 2.014f, -7.979f, 0}, {0.058f, -0.472f, 0.880f, 0});
    row("3 at 12.5", 12.5f, {2.329f, 6.061f, 2.721f, 0}, {-0.158f, -0.970f, -0.185f, 0});
    row("4 at 15", 15.0f, {5.237f, 1.788f, 3.063f, 0}, {-0.708f, -0.572f, -0.414f, 0});
    row("4 at 17.5", 17.5f, {3.344f, 5.000f, 1.955f, 0}, {-0.286f, -0.944f, -0.167f, 0});
    row("5 at 20", 20.0f, {0.000f, 1.993f, 9.850f, 0}, {0.000f, -0.100f, -0.995f, 0});
    row("5 at 25", 25.0f, {0.000f, 9.366f, 3.645f, 0}, {0.000f, -0.891f, -0.454f, 0});
    row("5 still at 27", 27.0f, {0.000f, 10.046f, -0.290f, 0}, {0.000f, -0.997f, -0.071f, 0});
    row("5 still at 28.5", 28.5f, {0.000f, 10.046f, -0.290f, 0}, {0.000f, -0.997f, -0.071f, 0});
    row("5 still at 100", 100.0f, {0.000f, 10.046f, -0.290f, 0}, {0.000f, -0.997f, -0.071f, 0});
}

// The ray through the exact centre of the window: it starts at
// (0, 0, DISTANCE, 1) and points along (0, 0, -1, 0) before the camera.
void SceneCameraTest::centreRayFollowsTheFiveShots()
{
    QFETCH(float, showTime);
    QFETCH(QVector4D, start);
    QFETCH(QVector4D, direction);

    const QSizeF window(640, 360);
    const ProbeUniforms uniforms{showTime, window};
    const QVector4D rayStart = probe().eval("rayStart", QVector4D(0, 0, 0, 0), {}, uniforms);
    const QVector4D rayDir = probe().eval("rayDir", QVector4D(320, 180, 0, 0), {}, uniforms);

    constexpr float threeDecimals = 0.0006f;
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(qAbs(rayStart[i] - start[i]) < threeDecimals, qPrintable(text(rayStart)));
        QVERIFY2(qAbs(rayDir[i] - direction[i]) < threeDecimals, qPrintable(text(rayDir)));
    }
    QVERIFY(qAbs(rayDir.length() - 1.0f) < 1e-5f);
}

void SceneCameraTest::fadeFollowsTheSchedule_data()
{
    QTest::addColumn<float>("showTime");
    QTest::addColumn<float>("fade");

    QTest::newRow("negative t") << -3.0f << 1.0f;
    QTest::newRow("0") << 0.0f << 1.0f;
    QTest::newRow("4") << 4.0f << 1.0f;
    QTest::newRow("4.25: a quarter into the fade") << 4.25f << 0.84375f;
    QTest::newRow("4.5") << 4.5f << 0.5f;
    QTest::newRow("5: cut") << 5.0f << 0.0f;
    QTest::newRow("5.5") << 5.5f << 0.5f;
    QTest::newRow("6") << 6.0f << 1.0f;
    QTest::newRow("7") << 7.0f << 1.0f;
    QTest::newRow("9") << 9.0f << 1.0f;
    QTest::newRow("9.5") << 9.5f << 0.5f;
    QTest::newRow("10: cut") << 10.0f << 0.0f;
    QTest::newRow("10.5") << 10.5f << 0.5f;
    QTest::newRow("13") << 13.0f << 1.0f;
    QTest::newRow("14.5") << 14.5f << 0.5f;
    QTest::newRow("15: cut") << 15.0f << 0.0f;
    QTest::newRow("15.5") << 15.5f << 0.5f;
    QTest::newRow("17") << 17.0f << 1.0f;
    QTest::newRow("19.5") << 19.5f << 0.5f;
    QTest::newRow("20: cut") << 20.0f << 0.0f;
    QTest::newRow("20.5") << 20.5f << 0.5f;
    QTest::newRow("23") << 23.0f << 1.0f;
    QTest::newRow("29") << 29.0f << 1.0f;
    QTest::newRow("29.5") << 29.5f << 0.5f;
    QTest::newRow("30: black for good") << 30.0f << 0.0f;
    QTest::newRow("30.56: the last frame of the show") << 30.56f << 0.0f;
    QTest::newRow("1000") << 1000.0f << 0.0f;
}

void SceneCameraTest::fadeFollowsTheSchedule()
{
    QFETCH(float, showTime);
    QFETCH(float, fade);

    const float value = probe().eval("getAlpha", {}, {}, {showTime}).x();
    if (fade == 0.0f)
        QCOMPARE(value, 0.0f); // exactly: the frame is black
    else
        QVERIFY2(qAbs(value - fade) < 1e-6f, qPrintable(QString::number(value)));
}

void SceneCameraTest::verticalFieldOfViewIsFortyFiveDegreesWhateverTheShape_data()
{
    QTest::addColumn<QSizeF>("window");
    QTest::addColumn<float>("showTime");

    QTest::newRow("16:9, shot 1") << QSizeF(1280, 720) << 2.5f;
    QTest::newRow("2:1, shot 3") << QSizeF(128, 64) << 12.5f;
    QTest::newRow("1:2, shot 3") << QSizeF(64, 128) << 12.5f;
    QTest::newRow("1:2, shot 5") << QSizeF(64, 128) << 25.0f;
    QTest::newRow("square") << QSizeF(100, 100) << 17.5f;
    QTest::newRow("a single row") << QSizeF(1000, 1) << 7.5f;
}

// Between the rays through the centre and through the middle of the top or
// the bottom edge lie 22.5 degrees; across the width the angle follows the
// window's shape. The camera only turns the directions, so angles hold.
void SceneCameraTest::verticalFieldOfViewIsFortyFiveDegreesWhateverTheShape()
{
    QFETCH(QSizeF, window);
    QFETCH(float, showTime);

    const ProbeUniforms uniforms{showTime, window};
    const float w = float(window.width()), h = float(window.height());
    const auto ray = [&](float x, float y) { return probe().eval("rayDir", QVector4D(x, y, 0, 0), {}, uniforms); };
    const QVector4D centre = ray(w / 2, h / 2);

    const double tolerance = 0.01;
    QVERIFY2(qAbs(degreesBetween(centre, ray(w / 2, h)) - 22.5) < tolerance, qPrintable(text(ray(w / 2, h))));
    QVERIFY(qAbs(degreesBetween(centre, ray(w / 2, 0)) - 22.5) < tolerance);
    QVERIFY(qAbs(degreesBetween(ray(w / 2, 0), ray(w / 2, h)) - 45.0) < tolerance);

    const double halfWidth = std::atan(double(w / h) * std::tan(22.5 * M_PI / 180.0)) * 180.0 / M_PI;
    QVERIFY(qAbs(degreesBetween(centre, ray(w, h / 2)) - halfWidth) < tolerance);
    QVERIFY(qAbs(degreesBetween(centre, ray(0, h / 2)) - halfWidth) < tolerance);
}

void SceneCameraTest::pixelIsItsRayColourWithGammaThenFade_data()
{
    QTest::addColumn<float>("showTime");
    QTest::newRow("shot 1") << 2.5f;
    QTest::newRow("fading out of shot 1") << 4.5f;
    QTest::newRow("shot 3") << 12.5f;
    QTest::newRow("fading into shot 4") << 15.25f;
    QTest::newRow("shot 5") << 25.0f;
}

// What main writes for every pixel: the colour of the pixel's primary ray
// raised to the power 0.4545 (not 1/2.2), then all four components, alpha
// included, times the fade.
void SceneCameraTest::pixelIsItsRayColourWithGammaThenFade()
{
    QFETCH(float, showTime);

    const QSize window(48, 27);
    const ProbeUniforms uniforms{showTime, QSizeF(window)};
    const QVector<QVector4D> colours = probe().grid("primaryRender", window, {}, {}, {}, {}, uniforms);
    const QVector<QVector4D> pixels = probe().grid("sceneMain", window, {}, {}, {}, {}, uniforms);
    const float fade = probe().eval("getAlpha", {}, {}, uniforms).x();
    QCOMPARE(pixels.size(), window.width() * window.height());
    QCOMPARE(colours.size(), pixels.size());

    double worst = 0.0;
    for (int i = 0; i < pixels.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            const double expected = std::pow(double(colours[i][c]), 0.4545) * double(fade);
            worst = qMax(worst, qAbs(double(pixels[i][c]) - expected));
        }
        QCOMPARE(pixels[i].w(), fade);
    }
    QVERIFY2(worst < 2e-6, qPrintable(QString::number(worst)));
}

QTEST_MAIN(SceneCameraTest)
#include "tst_scenecamera.moc"
