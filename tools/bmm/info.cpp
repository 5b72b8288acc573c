// bmm info: what the show makes of a music file, read with the show's own reader.

#include "commands.h"
#include "failure.h"
#include "musicfile.h"
#include "musichead.h"
#include "showtime.h"

#include <QFile>
#include <QTextStream>

namespace {

enum class Firing { Always, FrameRate, Never, AfterShow };

struct Verdict
{
    Firing firing;
    QString why;
};

// The audio clock when the show ends, had the device called back at its
// requested pace from the show's start.
constexpr qint64 showEndClock = ShowTime::endMs * MusicFile::clockPerSecond / 1000;

// The show fires a beat when the clock has reached it and it is above the
// last beat fired (which starts at -1). The clock only takes the values 0,
// 10, 20 ..., and the frames see it at whatever pace they run.
Verdict judge(const QList<int> &beats, int index)
{
    const int beat = beats[index];
    if (beat < 0)
        return {Firing::Never, QStringLiteral("negative")};

    // The smallest earlier value above this one: whenever the frame loop
    // first sees the clock at or past it, it has passed this beat too.
    qint64 blocker = -1;
    for (int i = 0; i < index; ++i) {
        if (beats[i] == beat)
            return {Firing::Never, QStringLiteral("repeats beat #%1, already passed").arg(i + 1)};
        if (beats[i] > beat && (blocker < 0 || beats[i] < blocker))
            blocker = beats[i];
    }

    const qint64 firstClockAtBeat = (qint64(beat) + 9) / 10 * 10;
    if (blocker >= 0 && firstClockAtBeat >= blocker)
        return {Firing::Never,
                QStringLiteral("behind the larger %1: the clock passes both in one step").arg(blocker)};
    if (beat > showEndClock)
        return {Firing::AfterShow, QStringLiteral("beyond the show's end")};
    if (blocker >= 0)
        return {Firing::FrameRate,
                QStringLiteral("fires only if a frame sees the clock from %1 to %2, before the larger %3 fires")
                    .arg(firstClockAtBeat).arg(blocker - 1).arg(blocker)};
    return {Firing::Always, {}};
}

QString seconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

QString clockTime(int beat)
{
    return seconds(double(beat) / MusicFile::clockPerSecond);
}

} // namespace

void info(const QString &path)
{
    QFile file(path);
    openInput(file);
    const MusicHead head = readMusicHead(file);
    const qint64 payload = head.size - head.payloadStart;

    QTextStream out(stdout);
    out << path << ": " << head.size << " bytes\n";
    const QString problem = head.problem();
    if (!problem.isEmpty()) {
        out << problem << '\n';
        return;
    }

    const QList<int> &beats = head.beats;
    out << "beats: " << beats.size() << '\n';
    QList<QString> details[4];
    for (int i = 0; i < beats.size(); ++i) {
        const Verdict verdict = judge(beats, i);
        details[int(verdict.firing)] << QStringLiteral("  #%1 %2 (%3): %4")
                                            .arg(i + 1).arg(beats[i]).arg(clockTime(beats[i]), verdict.why);
    }
    const auto report = [&out](const QString &title, const QList<QString> &lines, bool listThem) {
        out << title << ": " << lines.size() << '\n';
        if (listThem)
            for (const QString &line : lines)
                out << line << '\n';
    };
    report(QStringLiteral("fire whatever the frame rate"), details[int(Firing::Always)], false);
    report(QStringLiteral("never fire"), details[int(Firing::Never)], true);
    report(QStringLiteral("fire or not depending on the frame rate"), details[int(Firing::FrameRate)], true);
    report(QStringLiteral("come after the show's end (clock %1 at %2)")
               .arg(showEndClock).arg(seconds(ShowTime::endMs / 1000.0)),
           details[int(Firing::AfterShow)], true);

    const double payloadSeconds = double(payload) / (MusicFile::sampleRate * MusicFile::bytesPerFrame);
    const double showSeconds = ShowTime::endMs / 1000.0;
    out << "payload: " << payload << " bytes, " << seconds(payloadSeconds) << " against the show's "
        << seconds(showSeconds);
    if (payloadSeconds > showSeconds)
        out << "; the last " << seconds(payloadSeconds - showSeconds) << " are never heard\n";
    else if (payloadSeconds < showSeconds)
        out << "; the show's last " << seconds(showSeconds - payloadSeconds) << " are silent\n";
    else
        out << '\n';
    if (const qint64 partial = payload % MusicFile::bytesPerFrame)
        out << "trailing partial frame: " << partial << " bytes, played as they are\n";
}
