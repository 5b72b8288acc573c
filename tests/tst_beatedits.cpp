// Beat editing in the studio: adding, deleting, nudging and dragging beats
// keep the list in order and free of repeats, and every edit undoes and
// redoes, in any sequence, back to exactly the lists it came from; whether
// there is something unsaved follows the edits, undone or not.

#include "beatedits.h"
#include "datarows.h"

#include <QtTest>

using Beats = QList<int>;

class BeatEditsTest : public QObject
{
    Q_OBJECT

private slots:
    void editsKeepTheListInOrder_data();
    void editsKeepTheListInOrder();
    void refusedEditsChangeNothing_data();
    void refusedEditsChangeNothing();
    void undoAndRedoWalkASequenceOfEditsBothWays();
    void theMovesOfOneDragAreOneEdit();
    void unsavedFollowsTheEditsUndoneOrNot();
};

void BeatEditsTest::editsKeepTheListInOrder_data()
{
    // index: the beat selected first; selected: the one selected after.
    addRows<Beats, QString, int, int, Beats, int>({"start", "edit", "index", "value", "expected", "selected"},
            {{"add in the middle", {500, 1000, 1500}, "add", -1, 750, {500, 750, 1000, 1500}, 1},
             {"add before all", {500, 1000}, "add", -1, 0, {0, 500, 1000}, 0},
             {"add after all", {500, 1000}, "add", -1, 4000, {500, 1000, 4000}, 2},
             {"add to none", {}, "add", -1, 10, {10}, 0},
             // A list out of order is the maker's: an added beat goes at its end.
             {"add to a list out of order", {1000, 500}, "add", -1, 700, {1000, 500, 700}, 2},
             {"delete", {500, 1000, 1500}, "delete", 1, 0, {500, 1500}, -1},
             {"nudge on", {500, 1000, 1500}, "nudge", 1, 1, {500, 1001, 1500}, 1},
             {"nudge back by ten", {500, 1000, 1500}, "nudge", 1, -10, {500, 990, 1500}, 1},
             {"nudge past a neighbour", {500, 1000, 1005}, "nudge", 1, 10, {500, 1005, 1010}, 2},
             // Found by fuzzing the kept edits: a beat near the clock's end
             // (2^31 - 1, a kept "4294967.294") nudged on stops there rather
             // than wrapping round to a negative time.
             {"nudge to the clock's end", {500, 2147483642}, "nudge", 1, 10, {500, 2147483647}, 1},
             {"move past two", {100, 200, 300, 400}, "move", 0, 350, {200, 300, 350, 400}, 2},
             {"move in a list out of order stays put", {1000, 500, 700}, "move", 2, 200, {1000, 500, 200}, 2}});
}

void BeatEditsTest::editsKeepTheListInOrder()
{
    QFETCH(Beats, start);
    QFETCH(QString, edit);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(Beats, expected);
    QFETCH(int, selected);

    BeatEdits edits;
    edits.reset(start);
    edits.select(index);
    QString refusal;
    if (edit == QLatin1String("add"))
        refusal = edits.add(value);
    else if (edit == QLatin1String("delete"))
        refusal = edits.removeSelected();
    else if (edit == QLatin1String("nudge"))
        refusal = edits.nudgeSelected(value);
    else
        refusal = edits.moveSelected(value);
    QCOMPARE(refusal, QString());
    QCOMPARE(edits.beats(), expected);
    QCOMPARE(edits.selected(), selected);
    QVERIFY(edits.isModified());
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), start);
    QCOMPARE(edits.selected(), index);
    QVERIFY(!edits.isModified());
}

void BeatEditsTest::refusedEditsChangeNothing_data()
{
    // On the beats 500, 501 and 1000.
    addRows<QString, int, int, QString>({"edit", "index", "value", "refusal"},
            {{"a repeat", "add", -1, 1000, "a beat is at 2.000 s already"},
             {"before the music", "add", -1, -1, "no beat before the music's start"},
             {"delete with none selected", "delete", -1, 0, "no beat selected"},
             {"nudge with none selected", "nudge", -1, 1, "no beat selected"},
             {"nudge onto a neighbour", "nudge", 0, 1, "a beat is at 1.002 s already"},
             {"nudge before the music", "nudge", 0, -501, "no beat before the music's start"}});
}

void BeatEditsTest::refusedEditsChangeNothing()
{
    QFETCH(QString, edit);
    QFETCH(int, index);
    QFETCH(int, value);
    QFETCH(QString, refusal);

    const Beats start{500, 501, 1000};
    BeatEdits edits;
    edits.reset(start);
    edits.select(index);
    const QString said = edit == QLatin1String("add") ? edits.add(value)
            : edit == QLatin1String("delete") ? edits.removeSelected() : edits.nudgeSelected(value);
    QCOMPARE(said, refusal);
    QCOMPARE(edits.beats(), start);
    QCOMPARE(edits.selected(), index);
    QVERIFY(!edits.canUndo());
    QVERIFY(!edits.isModified());
}

void BeatEditsTest::undoAndRedoWalkASequenceOfEditsBothWays()
{
    BeatEdits edits;
    edits.reset({500, 1000, 1500});
    // Each list as the edit leaves it, written out by hand.
    QList<Beats> states{{500, 1000, 1500}};
    QCOMPARE(edits.add(1250), QString());
    states << Beats{500, 1000, 1250, 1500};
    edits.select(0);
    QCOMPARE(edits.nudgeSelected(10), QString());
    states << Beats{510, 1000, 1250, 1500};
    QCOMPARE(edits.nudgeSelected(-1), QString());
    states << Beats{509, 1000, 1250, 1500};
    edits.select(3);
    QCOMPARE(edits.removeSelected(), QString());
    states << Beats{509, 1000, 1250};
    QCOMPARE(edits.add(100), QString());
    states << Beats{100, 509, 1000, 1250};

    for (int i = states.size() - 1; i > 0; --i) {
        QCOMPARE(edits.beats(), states[i]);
        QVERIFY(edits.undo());
    }
    QCOMPARE(edits.beats(), states[0]);
    QVERIFY(!edits.undo());
    QCOMPARE(edits.beats(), states[0]);
    QVERIFY(edits.lastChange().startsWith(QStringLiteral("undone: beat added at 2.500 s")));

    for (int i = 1; i < states.size(); ++i) {
        QVERIFY(edits.redo());
        QCOMPARE(edits.beats(), states[i]);
    }
    QVERIFY(!edits.redo());
    QCOMPARE(edits.lastChange(), QStringLiteral("redone: beat added at 0.200 s"));

    // Back and forth in the middle.
    QVERIFY(edits.undo());
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), states[3]);
    QVERIFY(edits.redo());
    QCOMPARE(edits.beats(), states[4]);
    // A new edit drops what was undone.
    QCOMPARE(edits.add(1400), QString());
    QCOMPARE(edits.beats(), (Beats{509, 1000, 1250, 1400}));
    QVERIFY(!edits.canRedo());
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), states[4]);
}

void BeatEditsTest::theMovesOfOneDragAreOneEdit()
{
    BeatEdits edits;
    edits.reset({500, 1000});
    edits.select(0);
    QCOMPARE(edits.moveSelected(520, false), QString());
    QCOMPARE(edits.moveSelected(560, true), QString());
    QCOMPARE(edits.moveSelected(1100, true), QString());
    QCOMPARE(edits.beats(), (Beats{1000, 1100}));
    QCOMPARE(edits.selected(), 1);
    // A second drag is an edit of its own.
    QCOMPARE(edits.moveSelected(1200, false), QString());
    QCOMPARE(edits.moveSelected(1300, true), QString());
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), (Beats{1000, 1100}));
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), (Beats{500, 1000}));
    QCOMPARE(edits.selected(), 0);
    QVERIFY(!edits.canUndo());
}

void BeatEditsTest::unsavedFollowsTheEditsUndoneOrNot()
{
    BeatEdits edits;
    edits.reset({500});
    QVERIFY(!edits.isModified());
    QCOMPARE(edits.add(600), QString());
    QVERIFY(edits.isModified());
    edits.markSaved();
    QVERIFY(!edits.isModified());
    // Undone past the save: the file holds what was saved, not this.
    QVERIFY(edits.undo());
    QVERIFY(edits.isModified());
    QVERIFY(edits.redo());
    QVERIFY(!edits.isModified());
    // A drag after the save does not join the saved edit.
    edits.select(1);
    QCOMPARE(edits.moveSelected(650, true), QString());
    QVERIFY(edits.isModified());
    QVERIFY(edits.undo());
    QCOMPARE(edits.beats(), (Beats{500, 600}));
    QVERIFY(!edits.isModified());
    // The saved state undone and replaced by another edit cannot come back.
    QVERIFY(edits.undo());
    QCOMPARE(edits.add(700), QString());
    QVERIFY(edits.isModified());
    QVERIFY(edits.undo());
    QVERIFY(edits.isModified());
}

QTEST_GUILESS_MAIN(BeatEditsTest)
#include "tst_beatedits.moc"
