// The camera path, the primary rays and the fade schedule, evaluated by the
// fragment stage itself.

#include "datarows.h"
#include "shaderprobe.h"

#include <QVector3D>
#include <QtTest>

#include <algorithm>
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
    // Each shot, negative show time included, and on both sides of its cuts:
    // a cut's own instant belongs to the later shot.
    for (const float t : {-3.0f, 0.0f, 2.5f, 4.99f, 5.0f, 7.5f, 9.99f, 10.0f, 12.5f, 14.99f, 15.0f, 17.5f, 19.99f,
                          20.0f, 25.0f, 27.0f, 28.5f, 100.0f})
        QTest::newRow(qPrintable(QString::number(double(t)))) << t;
}

// The ray through the exact centre of the window: it starts at
// (0, 0, DISTANCE = 6) and points along (0, 0, -1) before the camera. The
// expected ray is worked out here from each shot's rules, in double
// precision and without matrices: a point is moved by the shot's
// translation (a direction is not), then turned about x by the tilt, then
// about y by the heading, as row vectors: about x by a, (x, y, z) becomes
// (x, y cos a - z sin a, y sin a + z cos a); about y,
// (x cos a + z sin a, y, -x sin a + z cos a). At t = 0, say, the start is
// (0, 2, 9) tilted by -0.3: (0, 2 cos 0.3 + 9 sin 0.3, -2 sin 0.3 + 9 cos 0.3)
// = (0, 4.570, 8.007).
void SceneCameraTest::centreRayFollowsTheFiveShots()
{
    QFETCH(float, showTime);

    const double t = showTime;
    struct Shot
    {
        double tilt, heading, x, y, z;
    };
    const Shot shot = t < 5 ? Shot{-0.3, t / 10, t / 2, 2, 3}
                    : t < 10 ? Shot{-0.3, -1.5, 0, 2, 7 - t / 2}
                    : t < 15 ? Shot{0.3 + t / 3, -2.5 - t, 0, 2, 7 - t / 2}
                    : t < 20 ? Shot{t / 4, -2.1, 0, 2, 0}
                             : Shot{std::max(-1.5, -0.1 - (t - 20) / 5), 0, 0, 1, 4}; // no heading in the last
    const auto turned = [&shot](double x, double y, double z) {
        const double ty = y * std::cos(shot.tilt) - z * std::sin(shot.tilt);
        const double tz = y * std::sin(shot.tilt) + z * std::cos(shot.tilt);
        return QVector4D(float(x * std::cos(shot.heading) + tz * std::sin(shot.heading)), float(ty),
                         float(-x * std::sin(shot.heading) + tz * std::cos(shot.heading)), 0.0f);
    };
    QVector4D start = turned(shot.x, shot.y, 6 + shot.z);
    start.setW(1);
    const QVector4D direction = turned(0, 0, -1);

    const ProbeUniforms uniforms{showTime, QSizeF(640, 360)};
    const QVector4D rayStart = probe().eval("rayStart", QVector4D(0, 0, 0, 0), {}, uniforms);
    const QVector4D rayDir = probe().eval("rayDir", QVector4D(320, 180, 0, 0), {}, uniforms);
    QVERIFY2((rayStart - start).length() < 1e-4f, qPrintable(text(rayStart) + " against " + text(start)));
    QVERIFY2((rayDir - direction).length() < 1e-5f, qPrintable(text(rayDir) + " against " + text(direction)));
}

void SceneCameraTest::fadeFollowsTheSchedule_data()
{
    addRows<float, float>({"showTime", "fade"},
            {{"negative t", -3.0f, 1.0f},
             {"0", 0.0f, 1.0f},
             {"4", 4.0f, 1.0f},
             {"4.25: a quarter into the fade", 4.25f, 0.84375f},
             {"4.5", 4.5f, 0.5f},
             {"5: cut", 5.0f, 0.0f},
             {"5.5", 5.5f, 0.5f},
             {"6", 6.0f, 1.0f},
             {"7", 7.0f, 1.0f},
             {"9", 9.0f, 1.0f},
             {"9.5", 9.5f, 0.5f},
             {"10: cut", 10.0f, 0.0f},
             {"10.5", 10.5f, 0.5f},
             {"13", 13.0f, 1.0f},
             {"14.5", 14.5f, 0.5f},
             {"15: cut", 15.0f, 0.0f},
             {"15.5", 15.5f, 0.5f},
             {"17", 17.0f, 1.0f},
             {"19.5", 19.5f, 0.5f},
             {"20: cut", 20.0f, 0.0f},
             {"20.5", 20.5f, 0.5f},
             {"23", 23.0f, 1.0f},
             {"29", 29.0f, 1.0f},
             {"29.5", 29.5f, 0.5f},
             {"30: black for good", 30.0f, 0.0f},
             {"30.56: the last frame of the show", 30.56f, 0.0f},
             {"1000", 1000.0f, 0.0f}});
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
    addRows<QSizeF, float>({"window", "showTime"},
            {{"16:9, shot 1", QSizeF(1280, 720), 2.5f},
             {"2:1, shot 3", QSizeF(128, 64), 12.5f},
             {"1:2, shot 3", QSizeF(64, 128), 12.5f},
             {"1:2, shot 5", QSizeF(64, 128), 25.0f},
             {"square", QSizeF(100, 100), 17.5f},
             {"a single row", QSizeF(1000, 1), 7.5f}});
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
    addRows<float>({"showTime"}, {{"shot 1", 2.5f}, {"fading out of shot 1", 4.5f}, {"shot 3", 12.5f},
                                  {"fading into shot 4", 15.25f}, {"shot 5", 25.0f}});
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
