// bmm info: what the show makes of a music file, read with the show's own reader.

#include "beatverdicts.h"
#include "commands.h"
#include "failure.h"
#include "headcheck.h"
#include "musicfile.h"
#include "showtime.h"

#include <QFile>
#include <QTextStream>

namespace {

QString seconds(double value)
{
    return QString::number(value, 'f', 3) + QStringLiteral(" s");
}

QString clockTime(int beat)
{
    return seconds(MusicFile::secondsAtClock(beat));
}

} // namespace

void info(const QString &path)
{
    QFile file(path);
    openInput(file);
    const MusicFile::Head head = readCheckedHead(file);
    const qint64 size = file.size();
    const qint64 payload = size - file.pos();

    QTextStream out(stdout);
    out << path << ": " << size << " bytes\n";
    const QString problem = headProblem(head, size);
    if (!problem.isEmpty()) {
        out << problem << '\n';
        return;
    }

    const QList<int> &beats = head.beats;
    out << "beats: " << beats.size() << '\n';
    const QVector<Verdict> verdicts = judgeBeats(beats);
    // The places of the beats of each kind, in list order.
    QVector<int> places[4];
    for (int i = 0; i < beats.size(); ++i)
        places[int(verdicts[i].firing)] << i;
    const auto report = [&](const QString &title, Firing firing, bool listThem) {
        const QVector<int> &these = places[int(firing)];
        out << title << ": " << these.size() << '\n';
        if (listThem)
            for (const int i : these)
                out << "  #" << i + 1 << ' ' << beats[i] << " (" << clockTime(beats[i])
                    << "): " << explain(verdicts[i], beats[i]) << '\n';
    };
    report(QStringLiteral("fire whatever the frame rate"), Firing::Always, false);
    report(QStringLiteral("never fire"), Firing::Never, true);
    report(QStringLiteral("fire or not depending on the frame rate"), Firing::FrameRate, true);
    report(QStringLiteral("come after the show's end (clock %1 at %2)")
               .arg(showEndClock).arg(seconds(ShowTime::endMs / 1000.0)),
           Firing::AfterShow, true);

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
