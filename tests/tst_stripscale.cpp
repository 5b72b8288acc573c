// The timeline strip's columns against show time, exactly, at several
// zooms: the whole show, zoomed about a column (the time under it stays
// there), at the closest zoom, panned, on a wider strip, and following the
// playhead. The figures are chosen so that every time is a sum of powers of
// two, which doubles hold exactly; each expected value is worked out by hand
// in its row.

#include "datarows.h"
#include "stripscale.h"

#include <QtTest>

namespace {

// The bounds of these tests: 0 to 32 s over 1024 columns, 1/32 s a column;
// no closer than half a second across.
StripScale wholeScale()
{
    return StripScale(0.0, 32.0, 0.5, 1024);
}

struct Step
{
    enum Kind { Zoom, Pan, Columns, Follow } kind;
    double value;
    double column;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class StripScaleTest : public QObject
{
    Q_OBJECT

private slots:
    void columnsMapToShowTimeExactly_data();
    void columnsMapToShowTimeExactly();
    void aColumnAndItsTimeGoBothWays();
};

void StripScaleTest::columnsMapToShowTimeExactly_data()
{
    using Steps = QVector<Step>;
    // Half the span about column 256 (8 s): 16 s across, 8 - 256 x 16/1024 = 4 at the left.
    const Steps half{{Step::Zoom, 0.5, 256}};
    // Then a quarter about column 768 (16 s): 4 s across from 16 - 768 x 4/1024 = 13.
    const Steps quarter = half + Steps{{Step::Zoom, 0.25, 768}};
    // As close as it goes, about column 512 (16 s): half a second across, from 15.75.
    const Steps closest{{Step::Zoom, 1.0e-6, 512}};
    addRows<Steps, double, double, double, double>({"steps", "start", "span", "column", "time"},
            {{"whole: the middle column", {}, 0.0, 32.0, 512.0, 16.0},
             {"whole: the right edge", {}, 0.0, 32.0, 1024.0, 32.0},
             {"whole: a column and a half", {}, 0.0, 32.0, 1.5, 0.046875},
             {"zoomed in twice as close", half, 4.0, 16.0, 256.0, 8.0},
             {"zoomed in, the right edge", half, 4.0, 16.0, 1024.0, 20.0},
             {"zoomed twice", quarter, 13.0, 4.0, 768.0, 16.0},
             {"the closest", closest, 15.75, 0.5, 1024.0, 16.25},
             {"the closest, a column", closest, 15.75, 0.5, 513.0, 16.00048828125},
             // Out past the whole: the whole again.
             {"zoomed out past the whole", half + Steps{{Step::Zoom, 8.0, 100}}, 0.0, 32.0, 256.0, 8.0},
             // About the left edge near the start: the view may not start before 0.
             {"zoomed about the start", Steps{{Step::Zoom, 0.25, 0}}, 0.0, 8.0, 512.0, 4.0},
             // 16 s across from 4, panned 512 columns (8 s) on: from 12.
             {"panned on", half + Steps{{Step::Pan, 512, 0}}, 12.0, 16.0, 0.0, 12.0},
             // Panned far past either end: the view ends at 32, or starts at 0.
             {"panned past the end", half + Steps{{Step::Pan, 100000, 0}}, 16.0, 16.0, 1024.0, 32.0},
             {"panned past the start", half + Steps{{Step::Pan, -100000, 0}}, 0.0, 16.0, 0.0, 0.0},
             // Twice the columns show the same span: each is half as long.
             {"a wider strip", half + Steps{{Step::Columns, 2048, 0}}, 4.0, 16.0, 1024.0, 12.0},
             // 4 s across from 13; the playhead at 20 has left it: a tenth of
             // the span (0.4 s) behind it goes to the left edge.
             {"following the playhead", quarter + Steps{{Step::Follow, 20.0, 0}}, 19.6, 4.0, 0.0, 19.6},
             {"the playhead in view stays", quarter + Steps{{Step::Follow, 14.0, 0}}, 13.0, 4.0, 256.0, 14.0}});
}

void StripScaleTest::columnsMapToShowTimeExactly()
{
    QFETCH(QVector<Step>, steps);
    QFETCH(double, start);
    QFETCH(double, span);
    QFETCH(double, column);
    QFETCH(double, time);

    StripScale scale = wholeScale();
    for (const Step &step : steps) {
        switch (step.kind) {
        case Step::Zoom:
            scale.zoom(step.value, step.column);
            break;
        case Step::Pan:
            scale.pan(step.value);
            break;
        case Step::Columns:
            scale.setColumns(int(step.value));
            break;
        case Step::Follow:
            scale.follow(step.value);
            break;
        }
    }
    QCOMPARE(scale.start(), start);
    QCOMPARE(scale.span(), span);
    QCOMPARE(scale.timeAt(column), time);
    QCOMPARE(scale.columnAt(time), column);
}

void StripScaleTest::aColumnAndItsTimeGoBothWays()
{
    // The show's own bounds on a strip of 1280 columns: not exact in binary,
    // but a column's time gives the column back to within a millionth.
    StripScale scale(0.0, 30.56, 0.5, 1280);
    for (const double factor : {1.0, 0.5, 0.1, 0.01}) {
        scale.zoom(factor, 640.0);
        for (int column = 0; column <= 1280; column += 37)
            QVERIFY(std::abs(scale.columnAt(scale.timeAt(column)) - column) < 1.0e-6);
        QVERIFY(scale.span() >= 0.5 && scale.start() >= 0.0 && scale.end() <= 30.56 + 1.0e-9);
    }
}

QTEST_GUILESS_MAIN(StripScaleTest)
#include "tst_stripscale.moc"
