#include "beatverdicts.h"

#include <map>

namespace {

// Every value seen so far, with its first place in the list.
using EarlierBeats = std::map<int, int>;

// The first value the clock takes at or past a beat: it moves in whole steps
// of one callback from 0.
qint64 firstClockAt(int beat)
{
    constexpr qint64 step = qint64(MusicFile::clockPerCallback);
    return (qint64(beat) + step - 1) / step * step;
}

Verdict judge(int beat, const EarlierBeats &earlier)
{
    using Reason = Verdict::Reason;
    if (beat < 0)
        return {Firing::Never, Reason::Negative, 0};

    const auto same = earlier.find(beat);
    if (same != earlier.end())
        return {Firing::Never, Reason::Repeat, same->second + 1};

    // The smallest earlier value above this one: whenever the frame loop
    // first sees the clock at or past it, it has passed this beat too.
    const auto above = earlier.upper_bound(beat);
    const bool blocked = above != earlier.end();
    const qint64 blocker = blocked ? above->first : 0;

    if (blocked && firstClockAt(beat) >= blocker)
        return {Firing::Never, Reason::SameStep, blocker};
    if (beat > showEndClock)
        return {Firing::AfterShow, Reason::AfterShow, 0};
    if (blocked)
        return {Firing::FrameRate, Reason::BetweenFrames, blocker};
    return {};
}

} // namespace

QVector<Verdict> judgeBeats(const QList<int> &beats)
{
    QVector<Verdict> verdicts;
    verdicts.reserve(beats.size());
    EarlierBeats earlier;
    for (int index = 0; index < beats.size(); ++index) {
        verdicts << judge(beats[index], earlier);
        earlier.emplace(beats[index], index); // a repeat keeps the first place
    }
    return verdicts;
}

QString explain(const Verdict &verdict, int beat)
{
    switch (verdict.reason) {
    case Verdict::Reason::None:
        break;
    case Verdict::Reason::Negative:
        return QStringLiteral("negative");
    case Verdict::Reason::Repeat:
        return QStringLiteral("repeats beat #%1, already passed").arg(verdict.other);
    case Verdict::Reason::SameStep:
        return QStringLiteral("behind the larger %1: the clock passes both in one step").arg(verdict.other);
    case Verdict::Reason::AfterShow:
        return QStringLiteral("beyond the show's end");
    case Verdict::Reason::BetweenFrames:
        return QStringLiteral("fires only if a frame sees the clock from %1 to %2, before the larger %3 fires")
                .arg(firstClockAt(beat)).arg(verdict.other - 1).arg(verdict.other);
    }
    return {};
}
