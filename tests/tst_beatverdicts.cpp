// The music tool's judgement of a beat list: which beats the show fires
// whatever the frame rate, which never, which only at some frame rates, and
// which after the show's end, with the reason for each.

#include "datarows.h"
#include "beatverdicts.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {

// The judgement as first written: every beat against every earlier one, n
// squared in the beats. The fast one must agree with it on every beat.
Verdict firstWrittenJudge(const QList<int> &beats, int index, QString *why)
{
    using Reason = Verdict::Reason;
    const int beat = beats[index];
    if (beat < 0) {
        *why = QStringLiteral("negative");
        return {Firing::Never, Reason::Negative, 0};
    }
    qint64 blocker = -1;
    for (int i = 0; i < index; ++i) {
        if (beats[i] == beat) {
            *why = QStringLiteral("repeats beat #%1, already passed").arg(i + 1);
            return {Firing::Never, Reason::Repeat, i + 1};
        }
        if (beats[i] > beat && (blocker < 0 || beats[i] < blocker))
            blocker = beats[i];
    }
    const qint64 firstClockAtBeat = (qint64(beat) + 9) / 10 * 10;
    if (blocker >= 0 && firstClockAtBeat >= blocker) {
        *why = QStringLiteral("behind the larger %1: the clock passes both in one step").arg(blocker);
        return {Firing::Never, Reason::SameStep, blocker};
    }
    if (beat > showEndClock) {
        *why = QStringLiteral("beyond the show's end");
        return {Firing::AfterShow, Reason::AfterShow, 0};
    }
    if (blocker >= 0) {
        *why = QStringLiteral("fires only if a frame sees the clock from %1 to %2, before the larger %3 fires")
                .arg(firstClockAtBeat).arg(blocker - 1).arg(blocker);
        return {Firing::FrameRate, Reason::BetweenFrames, blocker};
    }
    why->clear();
    return {};
}

QString kind(Firing firing)
{
    switch (firing) {
    case Firing::Always:
        return QStringLiteral("always");
    case Firing::FrameRate:
        return QStringLiteral("frame rate");
    case Firing::Never:
        return QStringLiteral("never");
    case Firing::AfterShow:
        return QStringLiteral("after the show");
    }
    return {};
}

// A verdict as one line: its kind, then its reason if it has one.
QString line(Firing firing, const QString &why)
{
    return why.isEmpty() ? kind(firing) : kind(firing) + QStringLiteral(": ") + why;
}

QStringList judged(const QList<int> &beats)
{
    const QVector<Verdict> verdicts = judgeBeats(beats);
    QStringList lines;
    for (int i = 0; i < verdicts.size(); ++i)
        lines << line(verdicts[i].firing, explain(verdicts[i], beats[i]));
    return lines;
}

QStringList judgedAsFirstWritten(const QList<int> &beats)
{
    QStringList lines;
    for (int i = 0; i < beats.size(); ++i) {
        QString why;
        const Verdict verdict = firstWrittenJudge(beats, i, &why);
        lines << line(verdict.firing, why);
    }
    return lines;
}

constexpr int intMax = std::numeric_limits<int>::max();
constexpr int intMin = std::numeric_limits<int>::min();

} // namespace

class BeatVerdictsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachBeatIsJudgedAsTheShowFiresIt_data();
    void eachBeatIsJudgedAsTheShowFiresIt();
    void verdictsAgreeWithTheFirstWrittenJudgement_data();
    void verdictsAgreeWithTheFirstWrittenJudgement();
};

void BeatVerdictsTest::eachBeatIsJudgedAsTheShowFiresIt_data()
{
    const QString always = QStringLiteral("always");
    const auto repeats = [](int place) { return QStringLiteral("never: repeats beat #%1, already passed").arg(place); };
    const auto sameStep = [](int larger) { return QStringLiteral("never: behind the larger %1: the clock passes both in one step").arg(larger); };
    const auto between = [](int from, int larger) { return QStringLiteral("frame rate: fires only if a frame sees the clock from %1 to %2, before the larger %3 fires") .arg(from).arg(larger - 1).arg(larger); };
    const QString negative = QStringLiteral("never: negative");
    const QString afterShow = QStringLiteral("after the show: beyond the show's end");
    addRows<QList<int>, QStringList>({"beats", "verdicts"},
            {{"no beats", QList<int>{}, QStringList{}},
             {"ascending, from 0", QList<int>{0, 10, 15, 250}, QStringList{always, always, always, always}},
             {"a repeat, and a repeat of the repeat, name the first", QList<int>{50, 50, 100, 50},
              QStringList{always, repeats(1), always, repeats(1)}},
             {"negative values, repeated or not", QList<int>{-5, 0, -1, -5, intMin},
              QStringList{negative, always, negative, negative, negative}},
             {"a smaller value after a larger: a window of frames", QList<int>{100, 50},
              QStringList{always, between(50, 100)}},
             {"a smaller value in the same 10-unit step as the larger", QList<int>{100, 95, 91, 90},
              QStringList{always, sameStep(100), sameStep(95), between(90, 91)}},
             {"the blocker is the smallest larger value, not the first", QList<int>{300, 120, 100, 111},
              QStringList{always, between(120, 300), between(100, 120), sameStep(120)}},
             {"blocked in turn: each by the one before", QList<int>{300, 200, 100},
              QStringList{always, between(200, 300), between(100, 200)}},
             {"a repeat of a blocked value is a repeat", QList<int>{100, 50, 50},
              QStringList{always, between(50, 100), repeats(2)}},
             {"the show's end: its own clock fires, one more does not", QList<int>{19100, 19101, 20000},
              QStringList{always, afterShow, afterShow}},
             {"after the show and behind a larger: the step decides first", QList<int>{30000, 29995, 25000},
              QStringList{afterShow, sameStep(30000), afterShow}},
             {"the largest values", QList<int>{intMax, intMax - 5, intMax - 20},
              QStringList{afterShow, sameStep(intMax), afterShow}}});
}

void BeatVerdictsTest::eachBeatIsJudgedAsTheShowFiresIt()
{
    QFETCH(QList<int>, beats);
    QFETCH(QStringList, verdicts);
    QCOMPARE(judged(beats), verdicts);
    QCOMPARE(judgedAsFirstWritten(beats), verdicts);
}

void BeatVerdictsTest::verdictsAgreeWithTheFirstWrittenJudgement_data()
{
    // Narrow ranges give many repeats and shared steps, wide ones many windows.
    addRows<int, int, int>({"count", "low", "high"},
            {{"200 beats in 0 to 60", 200, 0, 60},
             {"300 beats in -30 to 300", 300, -30, 300},
             {"500 beats around the show's end", 500, 18900, 19300},
             {"1000 beats in 0 to 100000", 1000, 0, 100000}});
}

void BeatVerdictsTest::verdictsAgreeWithTheFirstWrittenJudgement()
{
    QFETCH(int, count);
    QFETCH(int, low);
    QFETCH(int, high);

    QRandomGenerator random(quint32(count * 7919 + low));
    for (int list = 0; list < 20; ++list) {
        QList<int> beats;
        for (int i = 0; i < count; ++i)
            beats << random.bounded(low, high + 1);
        const QStringList fast = judged(beats);
        const QStringList reference = judgedAsFirstWritten(beats);
        for (int i = 0; i < count; ++i)
            QVERIFY2(fast[i] == reference[i],
                     qPrintable(QStringLiteral("beat #%1 (%2): %3, first written: %4")
                                        .arg(i + 1).arg(beats[i]).arg(fast[i], reference[i])));
    }
}

QTEST_GUILESS_MAIN(BeatVerdictsTest)
#include "tst_beatverdicts.moc"
