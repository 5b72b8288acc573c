// The resolution the web page draws at where the GPU is slow
// (core/renderscale.h): down to what the frame times say fits the floor of
// 30 frames a second, never below a quarter of each side, and back up an
// eighth at a time while frames are fast; fed exact frame times.

#include "datarows.h"
#include "renderscale.h"

#include <QtTest>

namespace {

// Frame times in runs: {count, ms} each.
using Runs = QVector<QPair<int, double>>;

} // namespace

class RenderScaleTest : public QObject
{
    Q_OBJECT

private slots:
    void scaleFollowsTheFrameTimes_data();
    void scaleFollowsTheFrameTimes();
};

void RenderScaleTest::scaleFollowsTheFrameTimes_data()
{
    // The eighths of a side after these frames, by hand. A decision weighs 8
    // frames by their median, the first frame after a change left out.
    // Down: floor(eighths * sqrt(33.33 / median)), at least one eighth
    // down, at least 2. Up: one eighth while the median is at most
    // 0.6 * 33.33 = 20 ms; a scale left for being too slow only after 4
    // decisions that would rise to it, then 8, 16...
    addRows<Runs, int>({"frames", "eighths"}, {
        {"fast frames keep the whole canvas", {{16, 10.0}}, 8},
        {"seven slow frames are not enough to decide", {{7, 100.0}}, 8},
        {"frames at 33 ms are within the floor", {{8, 33.0}}, 8},
        {"frames at 100 ms: 8 * sqrt(1/3) = 4.6, down to 4", {{8, 100.0}}, 4},
        {"frames at 40 ms: 8 * sqrt(0.833) = 7.3, down to 7", {{8, 40.0}}, 7},
        {"frames just over the floor still go down an eighth", {{8, 34.0}}, 7},
        {"frames at 1 s go no lower than a quarter", {{8, 1000.0}}, 2},
        {"one slow frame among fast ones changes nothing", {{7, 10.0}, {1, 500.0}}, 8},
        {"after a change, its first frame is left out", {{8, 100.0}, {1, 1000.0}, {7, 10.0}}, 4},
        {"fast frames bring it up an eighth at a time", {{8, 100.0}, {9, 10.0}}, 5},
        {"and on up to 7, short of the whole found too slow", {{8, 100.0}, {9, 10.0}, {9, 10.0}, {9, 10.0}}, 7},
        {"and to the whole after its wait",
         {{8, 100.0}, {9, 10.0}, {9, 10.0}, {9, 10.0}, {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}}, 8},
        {"frames of a 60 Hz display rise from a quarter", {{8, 1000.0}, {9, 16.7}}, 3},
        {"frames of 21 ms do not rise", {{8, 1000.0}, {9, 21.0}}, 2},
        {"the scale found too slow waits four decisions",
         {{8, 40.0}, {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}}, 7},
        {"and is tried on the fifth", {{8, 40.0}, {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}}, 8},
        {"found too slow again, it waits eight",
         {{8, 40.0}, {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {9, 40.0},
          {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}}, 7},
        {"then tried on the ninth",
         {{8, 40.0}, {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {9, 40.0},
          {9, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}, {8, 10.0}}, 8},
    });
}

void RenderScaleTest::scaleFollowsTheFrameTimes()
{
    QFETCH(Runs, frames);
    QFETCH(int, eighths);

    RenderScale scale;
    for (const auto &[count, ms] : frames)
        for (int i = 0; i < count; ++i)
            scale.frameTook(ms);
    QCOMPARE(scale.eighths(), eighths);
    // The canvas's sides at that scale: a 1280 px side at 2 eighths is 320.
    QCOMPARE(scale.side(1280), 1280 * eighths / 8);
}

QTEST_APPLESS_MAIN(RenderScaleTest)
#include "tst_renderscale.moc"
