// Ray casting and shading, evaluated by the fragment stage itself: the march
// and its bounding planes, normals, occlusion, shadows, the sky and the lit
// material colours.

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
    QTest::addColumn<QVector4D>("start");
    QTest::addColumn<QVector4D>("direction");
    QTest::addColumn<float>("showTime");
    QTest::addColumn<float>("distance");
    QTest::addColumn<float>("material");

    QTest::newRow("from above, down onto open ground: starts at the slab top, hits")
            << QVector4D(openX, 3, openZ, 0) << down << 5.0f << 3.0f << 0.0f;
    QTest::newRow("from above, down, slab top beyond 20: a miss at its first sample")
            << QVector4D(openX, 30, openZ, 0) << down << 5.0f << 28.4f << miss;
    QTest::newRow("from above, up: no bound from either plane, marches past 20")
            << QVector4D(openX, 2, openZ, 0) << up << 5.0f << beyondTheFarEnd << miss;
    QTest::newRow("ground 22 away: a miss, the march ends at 20")
            << QVector4D(openX, 1, openZ, 0) << QVector4D(0, -1, -22, 0).normalized() << 5.0f << beyondTheFarEnd << miss;
    QTest::newRow("from inside the slab, up: leaves the slab before it starts")
            << QVector4D(openX, 1, openZ, 0) << up << 5.0f << 1.0f << miss;
    QTest::newRow("from the slab top itself, up: no bound, marches past 20")
            << QVector4D(openX, 1.6f, openZ, 0) << up << 5.0f << beyondTheFarEnd << miss;
    QTest::newRow("first sample on the ground: a miss")
            << QVector4D(openX, 1, openZ, 0) << down << 5.0f << 1.0f << miss;
    QTest::newRow("first sample inside a wall: a miss")
            << wallPoint(-50, 1.0, 0.25, 3.25) - QVector4D(1, 0, 0, 0) << QVector4D(1, 0, 0, 0) << 5.0f << 1.0f << miss;
    QTest::newRow("reaches the ground exactly at the far end: a hit")
            << QVector4D(openX, 1.5f, openZ, 0) << down << 5.0f << 1.5f << 0.0f;
    QTest::newRow("onto a flat wall at t = 0: the wall's material")
            << wallPoint(-50, 1.0, 1.25, 3.25) << down << 0.0f << 1.25f << 85.0f;
    // Level rays 0.001 above a surface never come within the tolerance: after
    // 64 samples they stop as a hit with the material of the last sample.
    QTest::newRow("grazing the ground for 64 samples: a hit")
            << QVector4D(openX, 0.001f, openZ - 1.0f, 0) << QVector4D(0, 0, 1, 0) << 5.0f << 1.064f << 0.0f;
    QTest::newRow("grazing a wall top for 64 samples: a hit on the wall")
            << wallPoint(-50, 1.0, 0.501, 1.25) << QVector4D(0.76604f, 0, 0.64279f, 0) << 5.0f << 1.064f << 85.0f;
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
    QTest::addColumn<QVector4D>("start");
    QTest::addColumn<QVector4D>("direction");
    QTest::addColumn<QVector4D>("colour");

    QTest::newRow("straight up: white") << QVector4D(openX, 2, openZ, 0) << up << QVector4D(1, 1, 1, 0);
    QTest::newRow("straight down past the far end") << QVector4D(openX, 100, openZ, 0) << down << QVector4D(0, 0.1f, 0.2f, 0);
    QTest::newRow("level along x") << QVector4D(openX, 3, openZ, 0) << QVector4D(1, 0, 0, 0) << QVector4D(0.7f, 0.9f, 1, 0);
    QTest::newRow("level along -z") << QVector4D(openX, 3, openZ, 0) << QVector4D(0, 0, -1, 0) << QVector4D(0.7f, 0.9f, 1, 0);
    const QVector4D slightlyUp = QVector4D(1, 0.1f, 0, 0).normalized();
    QTest::newRow("slightly up") << QVector4D(openX, 2, openZ, 0) << slightlyUp
                                 << QVector4D(0.7f + 0.8f * slightlyUp.y(), 0.9f + 0.8f * slightlyUp.y(), 1, 0);
    QTest::newRow("level, first sample inside a wall")
            << wallPoint(-50, 1.0, 0.25, 3.25) - QVector4D(1, 0, 0, 0) << QVector4D(1, 0, 0, 0) << QVector4D(0.7f, 0.9f, 1, 0);
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
    QTest::addColumn<QVector4D>("point");
    QTest::addColumn<float>("showTime");

    QTest::newRow("on the ground") << QVector4D(openX, 0, openZ, 0) << 5.0f;
    QTest::newRow("on the ground, walls flat") << QVector4D(openX, 0, openZ, 0) << 0.0f;
    QTest::newRow("above the ground") << QVector4D(openX + 1, 0.3f, openZ - 1, 0) << 5.0f;
    QTest::newRow("between the walls") << wallPoint(-50, 0.5, 0, 3.0) << 5.0f;
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
// from the wall: occ = sum of (hr - 0.01) * 0.95^i over hr = 0.01 ... 0.13.
void SceneShadingTest::wallFootIsOccludedByTheAmountItsSamplesFallShort()
{
    const QVector4D foot = wallPoint(-50, 1.0 + 0.2 + 0.01, 0, 3.25);
    const float ao = probe().eval("calcAO", foot, up, {5.0f}).x();
    const float occ = 0.03f * 0.95f + 0.06f * 0.9025f + 0.09f * 0.857375f + 0.12f * 0.81450625f;
    QVERIFY2(qAbs(ao - (1.0f - 3.0f * occ)) < 1e-4f, qPrintable(QString::number(ao)));
}

void SceneShadingTest::shadowFollowsTheClearanceOfItsSamples()
{
    const QVector4D light = QVector4D(-0.4f, 0.7f, -0.6f, 0).normalized();
    QVector4D open(openX, 0, openZ, 0.02f); // w: mint
    QVector4D towardsLight = light;
    towardsLight.setW(2.5f); // w: tmax
    QCOMPARE(probe().eval("softshadow", open, towardsLight, {5.0f}).x(), 1.0f);

    // Rising 0.1 a unit over open ground, every sample is 0.0995 * t from
    // the ground: the shadow is 8 times that slope.
    QVector4D shallow = QVector4D(1, 0.1f, 0, 0).normalized();
    shallow.setW(2.5f);
    const float shade = probe().eval("softshadow", open, shallow, {5.0f}).x();
    QVERIFY2(qAbs(shade - 8.0f * shallow.y()) < 1e-4f, qPrintable(QString::number(shade)));

    QVector4D inWall = wallPoint(-50, 1.0, 0.25, 3.25);
    inWall.setW(0.02f);
    QCOMPARE(probe().eval("softshadow", inWall, towardsLight, {5.0f}).x(), 0.0f);
}

void SceneShadingTest::openFacesShowTheMaterialColourLitByTheSixTerms_data()
{
    QTest::addColumn<QVector4D>("start");
    QTest::addColumn<QVector4D>("direction");
    QTest::addColumn<QVector3D>("normal");
    QTest::addColumn<QVector3D>("material");

    const QVector3D grey(0.433f, 0.422f, 0.415f);
    const QVector3D redOrange(0.712f, 0.273f, 0.103f);
    const QVector3D tealBlue(0.145f, 0.598f, 0.749f);
    const QVector3D upwards(0, 1, 0);

    // Straight down from 2 above the ground onto open ground and onto the
    // 0.5 high tops of walls 1, 2 and 3.
    QTest::newRow("ground from above: neutral grey") << QVector4D(openX, 2, openZ, 0) << down << upwards << grey;
    QTest::newRow("top of wall 1: red-orange") << wallPoint(40, 0, 2, -1.5) << down << upwards << redOrange;
    QTest::newRow("top of wall 2: red-orange") << wallPoint(-50, 0, 2, 1.5) << down << upwards << redOrange;
    QTest::newRow("top of wall 3: teal blue") << wallPoint(-50, 1.0, 2, 3.25) << down << upwards << tealBlue;

    // Far ground at a shallow angle, 15 along the ray: half fog, rim light
    // and the sky's reflection.
    const QVector4D shallow = QVector4D(1, -0.3f, 0, 0).normalized();
    QTest::newRow("far ground: fog") << QVector4D(-15, 0, 5, 0) - 15 * shallow << shallow << upwards << grey;

    // The side of wall 1 that faces away from the light, 0.3 above the
    // ground: no key light, no sky reflection, back light and rim light.
    const QVector4D face = wallPoint(40, 0.2, 0.3, 2.0);
    const QVector3D outwards = wallPoint(40, 1, 0, 0).toVector3D();
    for (const float along : {0.3f, 0.8f}) {
        const QVector4D towardsFace = QVector4D(-outwards * (1 - along) + QVector3D(0, -0.287f, 0)
                                                + wallPoint(40, 0, 0, along).toVector3D(), 0).normalized();
        QTest::newRow(qPrintable(QStringLiteral("back-lit side of wall 1, %1 along").arg(along)))
                << face - 2 * towardsFace << towardsFace << outwards << redOrange;
    }
}

// Faces that nothing shadows or occludes where it counts: the material colour
// comes through the lighting table and the fog as stated.
void SceneShadingTest::openFacesShowTheMaterialColourLitByTheSixTerms()
{
    QFETCH(QVector4D, start);
    QFETCH(QVector4D, direction);
    QFETCH(QVector3D, normal);
    QFETCH(QVector3D, material);

    const float t = probe().eval("castRay", start, direction, {5.0f}).x();
    const QVector3D rd = direction.toVector3D();
    const QVector3D pos = start.toVector3D() + t * rd;
    const QVector3D ref = rd - 2 * QVector3D::dotProduct(normal, rd) * normal;

    const auto clamp01 = [](float v) { return qBound(0.0f, v, 1.0f); };
    const QVector3D light = QVector3D(-0.4f, 0.7f, -0.6f).normalized();
    const QVector3D backLight = QVector3D(-light.x(), 0, -light.z()).normalized();
    const float s = clamp01((ref.y() + 0.1f) / 0.2f);
    const float amb = clamp01(0.5f + 0.5f * normal.y());
    const float dif = clamp01(QVector3D::dotProduct(normal, light));
    const float bac = clamp01(QVector3D::dotProduct(normal, backLight)) * clamp01(1.0f - pos.y());
    const float dom = s * s * (3 - 2 * s);
    const float fre = std::pow(clamp01(1.0f + QVector3D::dotProduct(normal, rd)), 2.0f);
    const float spe = std::pow(clamp01(QVector3D::dotProduct(ref, light)), 16.0f);
    const QVector3D sky(0.40f, 0.60f, 1.00f);
    const QVector3D lin = 1.30f * dif * QVector3D(1.00f, 0.80f, 0.55f)
            + 2.00f * spe * QVector3D(1.00f, 0.90f, 0.70f) * dif
            + 0.40f * amb * sky
            + 0.50f * dom * sky
            + 0.50f * bac * QVector3D(0.25f, 0.25f, 0.25f)
            + 0.25f * fre * QVector3D(1.00f, 1.00f, 1.00f);
    const float fog = 1.0f - std::exp(-0.0002f * t * t * t);
    QVector3D expected = material * lin * (1.0f - fog) + QVector3D(0.8f, 0.9f, 1.0f) * fog;
    for (int i = 0; i < 3; ++i)
        expected[i] = clamp01(expected[i]);

    const QVector4D colour = probe().eval("render", start, direction, {5.0f});
    QVERIFY2((colour.toVector3D() - expected).length() < 2e-3f,
             qPrintable(text(colour) + QStringLiteral(" expected ") + text(QVector4D(expected))));
}

QTEST_MAIN(SceneShadingTest)
#include "tst_sceneshading.moc"
