#ifndef BEATVERDICTS_H
#define BEATVERDICTS_H

#include "musicfile.h"
#include "showtime.h"

#include <QList>
#include <QString>
#include <QVector>
#include <QtGlobal>

// Which beats of a list the show fires, judged from the list alone. The show
// fires a beat when the audio clock has reached it and it is above the last
// beat fired (which starts at -1); the clock takes only the values 0, 10,
// 20 ..., and the frames see it at whatever pace they run.

enum class Firing { Always, FrameRate, Never, AfterShow };

struct Verdict
{
    enum class Reason { None, Negative, Repeat, SameStep, AfterShow, BetweenFrames };

    Firing firing = Firing::Always;
    Reason reason = Reason::None;
    // For a repeat, the place (from 1) of the beat it repeats; for a beat
    // behind a larger earlier one, that larger value.
    qint64 other = 0;
};

// The audio clock when the show ends, had the device called back at its
// requested pace from the show's start.
constexpr qint64 showEndClock = ShowTime::endMs * MusicFile::clockPerSecond / 1000;

// One verdict for every beat, in list order; n log n in the beats.
QVector<Verdict> judgeBeats(const QList<int> &beats);

// Why a beat fires as judged, in words; empty for one that always fires.
QString explain(const Verdict &verdict, int beat);

#endif // BEATVERDICTS_H
