// Ray casting and shading, evaluated by the fragment stage itself: the march
// and its bounding planes, normals, occlusion, shadows, the sky and the lit
// material colours.

#include "datarows.h"
#include "scenegeometry.h"
#include "shaderprobe.h"

#include <QVector3D>
#include <QtTest>

#include <limits>

using SceneGeometry::openX;
using SceneGeometry::openZ;
using SceneGeometry::wallPoint;

namespace {

constexpr float miss = -1.0f;
constexpr float beyondTheFarEnd = std::numeric_limits<float>::infinity(); // any distance past 20
const QVector4D up(0, 1, 0, 0);
const QVector4D down(0, -1, 0, 0);

QString text(const QVector4D &v)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(v.x()).arg(v.y()).arg(v.z()).arg(v.w());
}

} // namespace

class SceneShadingTest : public ShaderProbeTest
{
    Q_OBJECT

private slots:
    void marchKeepsToTheSlabAndTheFarEnd_data();
    void marchKeepsToTheSlabAndTheFarEnd();
    void missesShowTheClampedSkyGradient_data();
    void missesShowTheClampedSkyGradient();
    void openGroundFacesUpUnoccluded_data();
    void openGroundFacesUpUnoccluded();
    void wallFootIsOccludedByTheAmountItsSamplesFallShort();
    void shadowFollowsTheClearanceOfItsSamples();
    void openFacesShowTheMaterialColourLitByTheSixTerms_data();
    void openFacesShowTheMaterialColourLitByTheSixTerms();
};

void SceneShadingTest::marchKeepsToTheSlabAndTheFarEnd_data()
{
    addRows<QVector4D, QVector4D, float, float, float>({"start", "direction", "showTime", "distance", "material"},
            {{"from above, down onto open ground: starts at the slab top, hits", QVector4D(openX, 3, openZ, 0), down,
              5.0f, 3.0f, 0.0f},
             {"from above, down, slab top beyond 20: a miss at its first sample", QVector4D(openX, 30, openZ, 0),
              down, 5.0f, 28.4f, miss},
             {"from above, up: no bound from either plane, marches past 20", QVector4D(openX, 2, openZ, 0), up, 5.0f,
              beyondTheFarEnd, miss},
             {"ground 22 away: a miss, the march ends at 20", QVector4D(openX, 1, openZ, 0),
              QVector4D(0, -1, -22, 0).normalized(), 5.0f, beyondTheFarEnd, miss},
             {"from inside the slab, up: leaves the slab before it starts", QVector4D(openX, 1, openZ, 0), up, 5.0f,
              1.0f, miss},
             {"from the slab top itself, up: no bound, marches past 20", QVector4D(openX, 1.6f, openZ, 0), up, 5.0f,
              beyondTheFarEnd, miss},
             {"first sample on the ground: a miss", QVector4D(openX, 1, openZ, 0), down, 5.0f, 1.0f, miss},
             {"first sample inside a wall: a miss", wallPoint(-50, 1.0, 0.25, 3.25) - QVector4D(1, 0, 0, 0),
              QVector4D(1, 0, 0, 0), 5.0f, 1.0f, miss},
             {"reaches the ground exactly at the far end: a hit", QVector4D(openX, 1.5f, openZ, 0), down, 5.0f, 1.5f,
              0.0f},
             {"onto a flat wall at t = 0: the wall's material", wallPoint(-50, 1.0, 1.25, 3.25), down, 0.0f, 1.25f,
              85.0f},
             // Level rays 0.001 above a surface never come within the tolerance: after
             // 64 samples they stop as a hit with the material of the last sample.
             {"grazing the ground for 64 samples: a hit", QVector4D(openX, 0.001f, openZ - 1.0f, 0),
              QVector4D(0, 0, 1, 0), 5.0f, 1.064f, 0.0f},
             {"grazing a wall top for 64 samples: a hit on the wall", wallPoint(-50, 1.0, 0.501, 1.25),
              QVector4D(0.76604f, 0, 0.64279f, 0), 5.0f, 1.064f, 85.0f}});
}

void SceneShadingTest::marchKeepsToTheSlabAndTheFarEnd()
{
    QFETCH(QVector4D, start);
    QFETCH(QVector4D, direction);
    QFETCH(float, showTime);
    QFETCH(float, distance);
    QFETCH(float, material);

    const QVector4D result = probe().eval("castRay", start, direction, {showTime});
    if (qIsInf(distance))
        QVERIFY2(result.x() > 20.0f, qPrintable(text(result)));
    else
        QVERIFY2(qAbs(result.x() - distance) < 2e-4f, qPrintable(text(result)));
    QVERIFY2(result.y() == material, qPrintable(text(result)));
}

void SceneShadingTest::missesShowTheClampedSkyGradient_data()
{
    addRows<QVector4D, QVector4D, QVector4D>({"start", "direction", "colour"},
            {{"straight up: white", QVector4D(openX, 2, openZ, 0), up, QVector4D(1, 1, 1, 0)},
             {"straight down past the far end", QVector4D(openX, 100, openZ, 0), down, QVector4D(0, 0.1f, 0.2f, 0)},
             {"level along x", QVector4D(openX, 3, openZ, 0), QVector4D(1, 0, 0, 0), QVector4D(0.7f, 0.9f, 1, 0)},
             {"level along -z", QVector4D(openX, 3, openZ, 0), QVector4D(0, 0, -1, 0), QVector4D(0.7f, 0.9f, 1, 0)},
             // rd.y = 0.1 / sqrt(1.01) = 0.0995: 0.8 of it is 0.0796 more.
             {"slightly up", QVector4D(openX, 2, openZ, 0), QVector4D(1, 0.1f, 0, 0).normalized(),
              QVector4D(0.7796f, 0.9796f, 1, 0)},
             {"level, first sample inside a wall", wallPoint(-50, 1.0, 0.25, 3.25) - QVector4D(1, 0, 0, 0),
              QVector4D(1, 0, 0, 0), QVector4D(0.7f, 0.9f, 1, 0)}});
}

void SceneShadingTest::missesShowTheClampedSkyGradient()
{
    QFETCH(QVector4D, start);
    QFETCH(QVector4D, direction);
    QFETCH(QVector4D, colour);

    const QVector4D result = probe().eval("render", start, direction, {5.0f});
    QVERIFY2((result - colour).length() < 1e-5f, qPrintable(text(result)));
}

void SceneShadingTest::openGroundFacesUpUnoccluded_data()
{
    addRows<QVector4D, float>({"point", "showTime"},
            {{"on the ground", QVector4D(openX, 0, openZ, 0), 5.0f},
             {"on the ground, walls flat", QVector4D(openX, 0, openZ, 0), 0.0f},
             {"above the ground", QVector4D(openX + 1, 0.3f, openZ - 1, 0), 5.0f},
             {"between the walls", wallPoint(-50, 0.5, 0, 3.0), 5.0f}});
}

void SceneShadingTest::openGroundFacesUpUnoccluded()
{
    QFETCH(QVector4D, point);
    QFETCH(float, showTime);

    const QVector4D normal = probe().eval("calcNormal", point, {}, {showTime});
    QVERIFY2((normal - up).length() < 1e-3f, qPrintable(text(normal)));
    QCOMPARE(probe().eval("calcAO", point, up, {showTime}).x(), 1.0f);
}

// On the ground 0.01 from the face of wall 3, every occlusion sample is 0.01
// from the wall: occ = sum of (hr - 0.01) * 0.95^i over hr = 0.01 ... 0.13,
// 0.03 x 0.95 + 0.06 x 0.9025 + 0.09 x 0.857375 + 0.12 x 0.81450625 =
// 0.2575545, and the occlusion 1 - 3 occ = 0.2273365.
void SceneShadingTest::wallFootIsOccludedByTheAmountItsSamplesFallShort()
{
    const QVector4D foot = wallPoint(-50, 1.0 + 0.2 + 0.01, 0, 3.25);
    const float ao = probe().eval("calcAO", foot, up, {5.0f}).x();
    QVERIFY2(qAbs(ao - 0.2273365f) < 1e-4f, qPrintable(QString::number(ao)));
}

void SceneShadingTest::shadowFollowsTheClearanceOfItsSamples()
{
    const QVector4D light = QVector4D(-0.4f, 0.7f, -0.6f, 0).normalized();
    QVector4D open(openX, 0, openZ, 0.02f); // w: mint
    QVector4D towardsLight = light;
    towardsLight.setW(2.5f); // w: tmax
    QCOMPARE(probe().eval("softshadow", open, towardsLight, {5.0f}).x(), 1.0f);

    // Rising 0.1 a unit over open ground, every sample is 0.0995 t from
    // the ground (0.1 / sqrt(1.01)): the shadow is 8 times that slope.
    QVector4D shallow = QVector4D(1, 0.1f, 0, 0).normalized();
    shallow.setW(2.5f);
    const float shade = probe().eval("softshadow", open, shallow, {5.0f}).x();
    QVERIFY2(qAbs(shade - 0.79603f) < 1e-4f, qPrintable(QString::number(shade)));

    QVector4D inWall = wallPoint(-50, 1.0, 0.25, 3.25);
    inWall.setW(0.02f);
    QCOMPARE(probe().eval("softshadow", inWall, towardsLight, {5.0f}).x(), 0.0f);
}

void SceneShadingTest::openFacesShowTheMaterialColourLitByTheSixTerms_data()
{
    QTest::addColumn<QVector4D>("start");
    QTest::addColumn<QVector4D>("direction");
    QTest::addColumn<QVector3D>("colour");

    // Worked out by hand from the lighting table: the light (-0.4, 0.7, -0.6)
    // normalised, and for each face the terms that are not 0, then the
    // material colour times their sum, and the fog 1 - exp(-0.0002 t^3).
    // Straight down from 2 above the ground onto open ground (t = 2) and onto
    // the 0.5 high tops of walls 1, 2 and 3 (t = 1.5): key light 0.6965,
    // highlight 0.0031, sky 1 and its reflection 1, fog 0.0016 or 0.0007.
    QTest::newRow("ground from above: neutral grey (0.433, 0.422, 0.415)")
            << QVector4D(openX, 2, openZ, 0) << down << QVector3D(0.5496f, 0.5358f, 0.5822f);
    QTest::newRow("top of wall 1: red-orange (0.712, 0.273, 0.103)")
            << wallPoint(40, 0, 2, -1.5) << down << QVector3D(0.9042f, 0.3465f, 0.1443f);
    QTest::newRow("top of wall 2: red-orange")
            << wallPoint(-50, 0, 2, 1.5) << down << QVector3D(0.9042f, 0.3465f, 0.1443f);
    QTest::newRow("top of wall 3: teal blue (0.145, 0.598, 0.749), blue clamped")
            << wallPoint(-50, 1.0, 2, 3.25) << down << QVector3D(0.1845f, 0.7586f, 1.0f);

    // Far ground at a shallow angle, 15 along the ray: key light 0.6965,
    // rim light 0.5079, sky 1 and its reflection 1, and half fog (0.4908).
    const QVector4D shallow = QVector4D(1, -0.3f, 0, 0).normalized();
    QTest::newRow("far ground: fog") << QVector4D(-15, 0, 5, 0) - 15 * shallow << shallow
                                     << QVector3D(0.6993f, 0.7407f, 0.8131f);

    // The side of wall 1 that faces away from the light, 0.3 above the
    // ground, 2 along the ray: no key light, no sky reflection, sky 0.5,
    // back light 0.6718 and rim light 0.0196 and 0.5944 as the ray grazes it.
    const QVector4D face = wallPoint(40, 0.2, 0.3, 2.0);
    const QVector3D outwards = wallPoint(40, 1, 0, 0).toVector3D();
    const auto towardsFace = [&](float along) {
        return QVector4D(-outwards * (1 - along) + QVector3D(0, -0.287f, 0) + wallPoint(40, 0, 0, along).toVector3D(),
                         0).normalized();
    };
    QTest::newRow("back-lit side of wall 1, 0.3 along")
            << face - 2 * towardsFace(0.3f) << towardsFace(0.3f) << QVector3D(0.1214f, 0.0584f, 0.0312f);
    QTest::newRow("back-lit side of wall 1, 0.8 along")
            << face - 2 * towardsFace(0.8f) << towardsFace(0.8f) << QVector3D(0.2235f, 0.0975f, 0.0459f);
}

// Faces that nothing shadows or occludes where it counts: the material colour
// comes through the lighting table and the fog.
void SceneShadingTest::openFacesShowTheMaterialColourLitByTheSixTerms()
{
    QFETCH(QVector4D, start);
    QFETCH(QVector4D, direction);
    QFETCH(QVector3D, colour);

    const QVector4D shown = probe().eval("render", start, direction, {5.0f});
    QVERIFY2((shown.toVector3D() - colour).length() < 2e-3f,
             qPrintable(text(shown) + QStringLiteral(" expected ") + text(QVector4D(colour))));
}

QTEST_MAIN(SceneShadingTest)
#include "tst_sceneshading.moc"
