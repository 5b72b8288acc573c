// The scene's distance field, evaluated by the fragment stage itself: box
// distances, the turns, and the ground and nine walls that map returns.

#include "datarows.h"
#include "scenegeometry.h"
#include "shaderprobe.h"

#include <QtTest>

using SceneGeometry::wallPoint;

namespace {

constexpr float groundMaterial = 0.0f;
constexpr float crossMaterial = 46.9f; // walls 1 and 2
constexpr float wallMaterial = 85.0f;  // walls 3 to 9

} // namespace

class SceneFieldTest : public ShaderProbeTest
{
    Q_OBJECT

private slots:
    void boxDistanceFollowsTheFormulaWhateverTheHalfExtents_data();
    void boxDistanceFollowsTheFormulaWhateverTheHalfExtents();
    void turnsApplyToRowVectors_data();
    void turnsApplyToRowVectors();
    void mapGivesDistanceAndMaterial_data();
    void mapGivesDistanceAndMaterial();
    void noWallStandsAtNegativeShowTime_data();
    void noWallStandsAtNegativeShowTime();
    void everyWallShowsOnceRisen();
    void wallsBoundStaysBelowTheWallsAndChangesNoFasterThanItsPoint_data();
    void wallsBoundStaysBelowTheWallsAndChangesNoFasterThanItsPoint();
    void noWallShowsInThePictureAtNegativeShowTime_data();
    void noWallShowsInThePictureAtNegativeShowTime();
    void wallsShowInThePictureOnceRisen();
};

void SceneFieldTest::boxDistanceFollowsTheFormulaWhateverTheHalfExtents_data()
{
    addRows<QVector4D, QVector4D, float>({"point", "halfExtents", "expected"},
            {{"centre: minus the smallest half-extent", QVector4D(0, 0, 0, 0), QVector4D(0.2f, 0.5f, 2, 0), -0.2f},
             {"beside a face", QVector4D(1, 0, 0, 0), QVector4D(0.5f, 0.5f, 0.5f, 0), 0.5f},
             {"beside an edge", QVector4D(1, 1, 0, 0), QVector4D(0.5f, 0.5f, 0.5f, 0), 0.70711f},
             {"inside, nearest a face", QVector4D(0, 0, 0.2f, 0), QVector4D(0.5f, 0.5f, 0.5f, 0), -0.3f},
             {"a zero half-extent caps the inside at 0", QVector4D(0, 0, 0, 0), QVector4D(0.2f, 0.5f, 0, 0), 0.0f},
             {"a negative half-extent counts as outside", QVector4D(0, 0.3f, 0, 0), QVector4D(0.2f, -0.1f, 1, 0),
              0.4f}});
}

void SceneFieldTest::boxDistanceFollowsTheFormulaWhateverTheHalfExtents()
{
    QFETCH(QVector4D, point);
    QFETCH(QVector4D, halfExtents);
    QFETCH(float, expected);

    const float distance = probe().eval("sdBox", point, halfExtents).x();
    QVERIFY2(qAbs(distance - expected) < 1e-5f, qPrintable(QString::number(distance)));
}

void SceneFieldTest::turnsApplyToRowVectors_data()
{
    // (x, y, z) becomes (x cos r + z sin r, y, -x sin r + z cos r).
    addRows<QVector4D, float, QVector4D>({"point", "degrees", "expected"},
            {{"+x a quarter turn to -z", QVector4D(1, 0, 0, 0), 90.0f, QVector4D(0, 0, -1, 0)},
             {"+z a quarter turn to +x", QVector4D(0, 0, 1, 0), 90.0f, QVector4D(1, 0, 0, 0)},
             {"y stays", QVector4D(0, 2, 0, 0), 40.0f, QVector4D(0, 2, 0, 0)},
             {"+x by 40 degrees", QVector4D(1, 0, 0, 0), 40.0f, QVector4D(0.76604f, 0, -0.64279f, 0)},
             {"+x by -50 degrees", QVector4D(1, 0, 0, 0), -50.0f, QVector4D(0.64279f, 0, 0.76604f, 0)}});
}

void SceneFieldTest::turnsApplyToRowVectors()
{
    QFETCH(QVector4D, point);
    QFETCH(float, degrees);
    QFETCH(QVector4D, expected);

    const QVector4D turned = probe().eval("createRotationY", point, QVector4D(degrees * float(M_PI) / 180.0f, 0, 0, 0));
    QVERIFY2((turned - expected).length() < 1e-5f,
             qPrintable(QStringLiteral("%1 %2 %3").arg(turned.x()).arg(turned.y()).arg(turned.z())));
}

void SceneFieldTest::mapGivesDistanceAndMaterial_data()
{
    // The centre line of each wall, 0.25 above the ground, from the frame
    // the scene places the wall in (running angle, box centre).
    const QVector4D wall3 = wallPoint(-50, 1.0, 0.25, 3.25);
    addRows<QVector4D, float, float, float>({"point", "showTime", "distance", "material"},
            {{"flat walls at t = 0: the tie above a wall goes to the wall", wall3, 0.0f, 0.25f, wallMaterial},
             {"half risen at t = 2.5", wallPoint(-50, 1.0, 0.4, 3.25), 2.5f, 0.15f, wallMaterial},
             {"risen at t = 5: inside wall 3", wall3, 5.0f, -0.2f, wallMaterial},
             {"risen for good: inside wall 3 at t = 20", wall3, 20.0f, -0.2f, wallMaterial},
             {"risen: 0.25 above the top of wall 3", wallPoint(-50, 1.0, 0.75, 3.25), 5.0f, 0.25f, wallMaterial},
             {"risen for good: 0.25 above the top of wall 3 at t = 20", wallPoint(-50, 1.0, 0.75, 3.25), 20.0f, 0.25f,
              wallMaterial},
             {"negative t: ground only, above wall 3", wall3, -1.0f, 0.25f, groundMaterial},
             {"negative t: ground only, in wall 1", wallPoint(40, 0, 0.25, -1.5), -1.0f, 0.25f, groundMaterial},
             {"far outside the bounding box: ground", QVector4D(60, 0.25f, 0, 0), 5.0f, 0.25f, groundMaterial},
             {"just outside the bounding box beside wall 6", QVector4D(5.6f, 0.25f, 0, 0), 5.0f, 0.2f, wallMaterial},
             // 99.5 above the top of wall 1, 97 above the bounding box: the clip
             // raises the material value to the box distance.
             {"far above the origin: the clip takes the material value up", QVector4D(0, 100, 0, 0), 5.0f, 99.5f,
              97.0f},
             {"open ground", QVector4D(-4, 0.7f, 0, 0), 5.0f, 0.7f, groundMaterial},
             // Inside walls 1 and 2 the distance is 0, inside the others negative.
             {"inside wall 1", wallPoint(40, 0, 0.25, -1.5), 5.0f, 0.0f, crossMaterial},
             {"inside wall 1, other side of the origin", wallPoint(40, 0.1, 0.25, 2.0), 5.0f, 0.0f, crossMaterial},
             {"inside wall 2", wallPoint(-50, 0, 0.25, 1.5), 5.0f, 0.0f, crossMaterial},
             {"inside wall 3", wall3, 5.0f, -0.2f, wallMaterial},
             {"inside wall 4", wallPoint(40, 0.95, 0.25, -3), 5.0f, -0.2f, wallMaterial},
             {"inside wall 5", QVector4D(4.5f, 0.25f, -2.8f, 0), 5.0f, -0.2f, wallMaterial},
             {"inside wall 6", QVector4D(5.2f, 0.25f, 0.5f, 0), 5.0f, -0.2f, wallMaterial},
             {"inside wall 7", QVector4D(4.7f, 0.25f, -1.8f, 0), 5.0f, -0.2f, wallMaterial},
             {"inside wall 8", wallPoint(40, 1.98, 0.25, -3), 5.0f, -0.2f, wallMaterial},
             {"inside wall 9", wallPoint(130, -2, 0.25, -2.88), 5.0f, -0.2f, wallMaterial},
             // Where walls end: wall 2 starts at the origin, wall 5 at q.z = -3.5,
             // and box B cuts wall 9 at x = 4.2.
             // Behind the origin on wall 2's line, 0.3 from wall 1's face; inside
             // wall 2 if it went on.
             {"wall 2 does not reach behind the origin", wallPoint(-50, 0, 0.4, -0.5), 5.0f, 0.3f, crossMaterial},
             {"wall 9 ends at x = 4.2", QVector4D(4.3f, 0.25f, 0.85f, 0), 5.0f, 0.1f, wallMaterial}});
}

void SceneFieldTest::mapGivesDistanceAndMaterial()
{
    QFETCH(QVector4D, point);
    QFETCH(float, showTime);
    QFETCH(float, distance);
    QFETCH(float, material);

    const QVector4D sample = probe().eval("map", point, {}, {showTime});
    QVERIFY2(qAbs(sample.x() - distance) < 1e-4f && qAbs(sample.y() - material) < 1e-4f,
             qPrintable(QStringLiteral("(%1, %2)").arg(sample.x()).arg(sample.y())));
}

void SceneFieldTest::noWallStandsAtNegativeShowTime_data()
{
    addRows<float>({"showTime"}, {{"just below 0", -0.01f}, {"one second before", -1.0f}, {"far before", -100.0f}});
}

// Over the whole slab in which rays are marched, and beyond the bounding
// box, map gives the ground sample (y, 0) and nothing else.
void SceneFieldTest::noWallStandsAtNegativeShowTime()
{
    QFETCH(float, showTime);

    const QSize cells(241, 161);
    const QVector4D stepX(0.05f, 0, 0, 0), stepZ(0, 0, 0.05f, 0);
    for (const float y : {0.0f, 0.01f, 0.25f, 0.5f, 1.0f, 1.6f}) {
        const QVector4D corner(-6, y, -4, 0);
        const QVector<QVector4D> samples = probe().grid("map", cells, corner, stepX, stepZ, {}, {showTime});
        QCOMPARE(samples.size(), cells.width() * cells.height());
        for (int i = 0; i < samples.size(); ++i) {
            const QVector4D expected(y, groundMaterial, 0, 0);
            if (samples[i] != expected)
                QFAIL(qPrintable(QStringLiteral("at y %1, cell %2: (%3, %4)")
                                         .arg(y).arg(i).arg(samples[i].x()).arg(samples[i].y())));
        }
    }
}

// The same look over the ground as above, once the walls have risen: every
// wall shows, so the sweep above could have found one.
void SceneFieldTest::everyWallShowsOnceRisen()
{
    const QSize cells(241, 161);
    const QVector<QVector4D> samples = probe().grid("map", cells, QVector4D(-6, 0.25f, -4, 0),
                                                     QVector4D(0.05f, 0, 0, 0), QVector4D(0, 0, 0.05f, 0), {}, {5.0f});
    int cross = 0, walls = 0;
    for (const QVector4D &sample : samples) {
        if (sample.x() <= 0.0f && sample.y() == crossMaterial)
            ++cross;
        if (sample.x() < 0.0f && sample.y() == wallMaterial)
            ++walls;
    }
    // Cells of 0.05 by 0.05 inside the walls' footprints, 0.4 wide: walls 1
    // and 2 have about 12.3 of length inside the bounding box (about 1960
    // cells), the other seven about 19 where they do not overlap (about 3000).
    QVERIFY2(cross > 1700 && cross < 2300, qPrintable(QString::number(cross)));
    QVERIFY2(walls > 2600 && walls < 3500, qPrintable(QString::number(walls)));
}

void SceneFieldTest::wallsBoundStaysBelowTheWallsAndChangesNoFasterThanItsPoint_data()
{
    addRows<float, float>({"height", "showTime"},
            {{"on the ground, risen", 0.0f, 5.0f},
             {"half way up, risen", 0.25f, 5.0f},
             {"above the tops, risen", 0.7f, 5.0f},
             {"half way up, rising", 0.25f, 2.5f}});
}

// The walks through the scene take the ground's height for a sample where a
// bound of the walls' distance, carried from the last point where the walls
// were evaluated and lowered by the way since, shows the ground nearer. That
// holds only if the bound is at most the distance and changes no faster than
// its point moves. Over a grid of 0.05 around the bounding box: neighbours
// differ by at most 0.05, and where the bound is above 0 it is at most the
// walls' distance. It gives way to the distance only beyond the ends of walls
// 2 and 5, which grow their distance twice as fast as the way to them, and
// there other walls are nearer: almost everywhere else outside the walls the
// two are the same, so the bound is not idly low.
void SceneFieldTest::wallsBoundStaysBelowTheWallsAndChangesNoFasterThanItsPoint()
{
    QFETCH(float, height);
    QFETCH(float, showTime);

    const QSize cells(241, 161);
    constexpr float step = 0.05f;
    const QVector<QVector4D> samples = probe().grid("mapWallsAndBound", cells, QVector4D(-6, height, -4, 0),
                                                     QVector4D(step, 0, 0, 0), QVector4D(0, 0, step, 0), {},
                                                     {showTime});
    QCOMPARE(samples.size(), cells.width() * cells.height());
    int outside = 0, same = 0;
    for (int row = 0; row < cells.height(); ++row) {
        for (int column = 0; column < cells.width(); ++column) {
            const QVector4D &here = samples[row * cells.width() + column];
            const QString where = QStringLiteral("at (%1, %2): walls %3, bound %4")
                    .arg(-6 + column * step).arg(-4 + row * step).arg(here.x()).arg(here.z());
            if (here.z() > 0.0f)
                QVERIFY2(here.z() <= here.x() + 1e-5f, qPrintable(where));
            if (here.x() > 0.0f) {
                ++outside;
                same += qAbs(here.z() - here.x()) < 1e-5f;
            }
            for (const int next : {column + 1 < cells.width() ? row * cells.width() + column + 1 : -1,
                                   row + 1 < cells.height() ? (row + 1) * cells.width() + column : -1}) {
                if (next < 0)
                    continue;
                QVERIFY2(qAbs(samples[next].z() - here.z()) <= step + 1e-4f, qPrintable(where));
            }
        }
    }
    QVERIFY2(outside > 0 && same > outside * 9 / 10, qPrintable(QStringLiteral("%1 of %2").arg(same).arg(outside)));
}

void SceneFieldTest::noWallShowsInThePictureAtNegativeShowTime_data()
{
    addRows<float>({"showTime"}, {{"just below 0", -0.01f}, {"one second before", -1.0f},
                                  {"three seconds before", -3.0f}});
}

// Every pixel's primary ray meets the ground or nothing.
void SceneFieldTest::noWallShowsInThePictureAtNegativeShowTime()
{
    QFETCH(float, showTime);

    const QSize window(160, 90);
    const QVector<QVector4D> hits = probe().grid("primaryHit", window, {}, {}, {}, {}, {showTime, QSizeF(window)});
    QCOMPARE(hits.size(), window.width() * window.height());
    int ground = 0;
    for (const QVector4D &hit : hits) {
        QVERIFY2(hit.y() == groundMaterial || hit.y() == -1.0f, qPrintable(QString::number(hit.y())));
        if (hit.y() == groundMaterial)
            ++ground;
    }
    QVERIFY(ground > hits.size() / 4);
}

// The same look at the picture, walls half risen: both wall materials show.
void SceneFieldTest::wallsShowInThePictureOnceRisen()
{
    const QSize window(160, 90);
    const QVector<QVector4D> hits = probe().grid("primaryHit", window, {}, {}, {}, {}, {2.5f, QSizeF(window)});
    int cross = 0, walls = 0;
    for (const QVector4D &hit : hits) {
        cross += hit.y() == crossMaterial;
        walls += hit.y() == wallMaterial;
    }
    QVERIFY2(cross > 50 && walls > 50, qPrintable(QStringLiteral("%1 %2").arg(cross).arg(walls)));
}

QTEST_MAIN(SceneFieldTest)
#include "tst_scenefield.moc"
