#include "beatedits.h"
#include "musicfile.h"

#include <algorithm>
#include <limits>

namespace {

QString clockText(int clock)
{
    return QStringLiteral("%1 s").arg(MusicFile::secondsAtClock(clock), 0, 'f', 3);
}

} // namespace

void BeatEdits::reset(const QList<int> &beats)
{
    m_beats = beats;
    m_selected = -1;
    m_edits.clear();
    m_done = 0;
    m_savedAt = 0;
    m_lastChange.clear();
}

void BeatEdits::select(int index)
{
    m_selected = index >= 0 && index < m_beats.size() ? index : -1;
}

int BeatEdits::placeFor(const QList<int> &beats, int clock, int standing) const
{
    if (beats.contains(clock))
        return -1;
    if (!std::is_sorted(beats.cbegin(), beats.cend()))
        return standing >= 0 ? standing : int(beats.size());
    return int(std::upper_bound(beats.cbegin(), beats.cend(), clock) - beats.cbegin());
}

QString BeatEdits::add(int clock)
{
    if (clock < 0)
        return QStringLiteral("no beat before the music's start");
    QList<int> after = m_beats;
    const int place = placeFor(after, clock, -1);
    if (place < 0)
        return QStringLiteral("a beat is at %1 already").arg(clockText(clock));
    after.insert(place, clock);
    apply(QStringLiteral("beat added at %1").arg(clockText(clock)), after, place, false);
    return {};
}

QString BeatEdits::removeSelected()
{
    if (m_selected < 0)
        return noneSelected();
    QList<int> after = m_beats;
    const int clock = after.takeAt(m_selected);
    apply(QStringLiteral("beat at %1 deleted").arg(clockText(clock)), after, -1, false);
    return {};
}

QString BeatEdits::moveSelected(int clock, bool joinLast)
{
    if (m_selected < 0)
        return noneSelected();
    if (clock < 0)
        return QStringLiteral("no beat before the music's start");
    if (clock == m_beats[m_selected])
        return {};
    QList<int> after = m_beats;
    after.removeAt(m_selected);
    const int place = placeFor(after, clock, m_selected);
    if (place < 0)
        return QStringLiteral("a beat is at %1 already").arg(clockText(clock));
    after.insert(place, clock);
    apply(QStringLiteral("beat moved to %1").arg(clockText(clock)), after, place, joinLast);
    return {};
}

QString BeatEdits::nudgeSelected(int units)
{
    if (m_selected < 0)
        return noneSelected();
    // A beat kept from elsewhere may stand at the clock's very end.
    const qint64 moved = qint64(m_beats[m_selected]) + units;
    return moveSelected(int(std::clamp<qint64>(moved, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

void BeatEdits::replaceAll(const QList<int> &beats, const QString &what)
{
    apply(what, beats, -1, false);
}

void BeatEdits::apply(const QString &what, const QList<int> &after, int selectedAfter, bool joinLast)
{
    const bool joins = joinLast && m_done > 0 && m_done == m_edits.size() && m_savedAt != m_done;
    if (joins) {
        Edit &last = m_edits[m_done - 1];
        last.what = what;
        last.after = after;
        last.selectedAfter = selectedAfter;
    } else {
        // A new edit drops those undone; a saved state among them cannot come back.
        if (m_savedAt > m_done)
            m_savedAt = -1;
        m_edits.resize(m_done);
        m_edits.append({what, m_beats, m_selected, after, selectedAfter});
        ++m_done;
    }
    m_beats = after;
    m_selected = selectedAfter;
}

bool BeatEdits::undo()
{
    if (!canUndo())
        return false;
    const Edit &edit = m_edits[--m_done];
    m_beats = edit.before;
    m_selected = edit.selectedBefore;
    m_lastChange = QStringLiteral("undone: %1").arg(edit.what);
    return true;
}

bool BeatEdits::redo()
{
    if (!canRedo())
        return false;
    const Edit &edit = m_edits[m_done++];
    m_beats = edit.after;
    m_selected = edit.selectedAfter;
    m_lastChange = QStringLiteral("redone: %1").arg(edit.what);
    return true;
}
