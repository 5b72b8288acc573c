#include "beateditor.h"
#include "musicfile.h"
#include "studioreport.h"

namespace {

QString secondsOf(int clock)
{
    return QString::number(MusicFile::secondsAtClock(clock), 'f', 3);
}

} // namespace

void BeatEditor::open(const QString &path, const QList<int> &beats)
{
    m_path = path;
    m_stamp = MusicFile::FileStamp::of(path);
    m_edits.reset(beats);
    m_recovery.emplace(path);
    takeBack();
    emit changed();
}

void BeatEditor::takeBack()
{
    QString problem;
    const std::optional<QList<int>> kept = m_recovery->read(&problem);
    if (!problem.isEmpty()) {
        m_recoveryUnreadable = true;
        report(QStringLiteral("studio: %1: not taken back").arg(problem));
        return;
    }
    if (!kept)
        return;
    if (*kept == m_edits.beats()) {
        m_recovery->remove();
        return;
    }
    m_edits.replaceAll(*kept, QStringLiteral("unsaved beats taken back"));
    report(QStringLiteral("studio: took back %1 unsaved beats from %2: Ctrl+S saves them into %3")
           .arg(kept->size()).arg(m_recovery->path(), m_path));
}

void BeatEditor::edited(const QString &refusal)
{
    if (!refusal.isEmpty()) {
        emit note(refusal);
        return;
    }
    emit changed();
}

void BeatEditor::select(int index)
{
    m_edits.select(index);
    if (m_edits.selected() >= 0)
        emit note(QStringLiteral("beat %1 of %2 at %3 s").arg(index + 1).arg(m_edits.beats().size())
                  .arg(secondsOf(m_edits.beats()[index])));
    emit changed();
}

void BeatEditor::tap(int clock)
{
    const QString refusal = m_edits.add(clock);
    if (refusal.isEmpty())
        emit note(QStringLiteral("beat added at %1 s").arg(secondsOf(clock)));
    edited(refusal);
}

bool BeatEditor::moveSelected(int clock, bool joinLast)
{
    const QString refusal = m_edits.moveSelected(clock, joinLast);
    edited(refusal);
    return refusal.isEmpty();
}

void BeatEditor::nudgeSelected(int units)
{
    edited(m_edits.nudgeSelected(units));
}

void BeatEditor::removeSelected()
{
    edited(m_edits.removeSelected());
}

void BeatEditor::undo()
{
    if (!m_edits.undo()) {
        emit note(QStringLiteral("nothing to undo"));
        return;
    }
    emit changed();
    emit note(m_edits.lastChange());
}

void BeatEditor::redo()
{
    if (!m_edits.redo()) {
        emit note(QStringLiteral("nothing to redo"));
        return;
    }
    emit changed();
    emit note(m_edits.lastChange());
}

void BeatEditor::save()
{
    if (!m_edits.isModified()) {
        emit note(QStringLiteral("no beat edits to save"));
        return;
    }
    MusicFile::FileStamp written;
    const QString problem = MusicFile::rewriteBeatList(m_path, m_edits.beats(), m_stamp, &written);
    if (!problem.isEmpty()) {
        report(QStringLiteral("studio: %1").arg(problem));
        emit note(problem);
        return;
    }
    m_stamp = written;
    m_edits.markSaved();
    if (!m_recoveryUnreadable)
        m_recovery->remove();
    emit changed();
    emit note(QStringLiteral("saved %1 beats in %2").arg(m_edits.beats().size()).arg(m_path));
}

bool BeatEditor::mayQuit(qint64 nowMs)
{
    if (!m_edits.isModified())
        return true;
    if (question(nowMs).isEmpty()) {
        m_quitAskedAt = nowMs;
        report(QStringLiteral("studio: %1").arg(unsavedQuestion()));
        emit asking();
        return false;
    }
    // Asked twice: the edits are given up, and so is what was kept of them.
    m_givenUp = true;
    if (!m_recoveryUnreadable)
        m_recovery->remove();
    return true;
}

QString BeatEditor::unsavedQuestion()
{
    return QStringLiteral("unsaved beat edits: Ctrl+S saves them; Escape or closing again within %1 s quits "
                          "without saving them")
            .arg(quitAgainMs / 1000);
}

QString BeatEditor::question(qint64 nowMs) const
{
    const bool awaited = m_edits.isModified() && m_quitAskedAt >= 0 && nowMs - m_quitAskedAt <= quitAgainMs;
    return awaited ? unsavedQuestion() : QString();
}

void BeatEditor::keepUnsaved()
{
    if (!m_recovery || m_givenUp)
        return;
    if (!m_edits.isModified()) {
        if (!m_recoveryUnreadable)
            m_recovery->remove();
        return;
    }
    if (m_recoveryUnreadable) {
        report(QStringLiteral("studio: unsaved beat edits not kept: %1 holds some that could not be read")
               .arg(m_recovery->path()));
        return;
    }
    const QString problem = m_recovery->keep(m_edits.beats());
    if (!problem.isEmpty())
        report(QStringLiteral("studio: unsaved beat edits lost: %1").arg(problem));
    else
        report(QStringLiteral("studio: unsaved beat edits kept in %1 (bmm pack --beats reads it); the next start "
                              "on %2 takes them back").arg(m_recovery->path(), m_path));
}
