#ifndef BEATEDITS_H
#define BEATEDITS_H

#include <QList>
#include <QString>
#include <QVector>

// The beat list being edited in the studio, in audio-clock units, with one
// beat selected or none, and every edit undoable and redoable. An added or
// moved beat takes its place in order when the rest of the list is in
// order (a list out of order keeps a moved beat where it stood), and two
// beats never share a value, which the show would never fire twice.
class BeatEdits
{
public:
    // The list as read from the file: nothing to undo, nothing unsaved.
    void reset(const QList<int> &beats);

    const QList<int> &beats() const { return m_beats; }
    int selected() const { return m_selected; }
    // A place in the list, or -1 for none; not an edit.
    void select(int index);

    // Each edit returns why it was not made, or an empty string once made.
    QString add(int clock);
    QString removeSelected();
    // The selected beat to a value. A move that joins the last edit (the
    // moves of one drag after its first) makes one edit with it.
    QString moveSelected(int clock, bool joinLast = false);
    // The whole list at once (beats kept from an earlier session, say): one
    // edit, undone back to the list before it.
    void replaceAll(const QList<int> &beats, const QString &what);
    // The selected beat by units, as far as the clock's values go.
    QString nudgeSelected(int units);

    bool undo();
    bool redo();
    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < m_edits.size(); }
    // What the last undo or redo took back or made again.
    QString lastChange() const { return m_lastChange; }

    // Whether the list differs from the one last saved (or read).
    bool isModified() const { return m_done != m_savedAt; }
    void markSaved() { m_savedAt = m_done; }

private:
    struct Edit
    {
        QString what;
        QList<int> before;
        int selectedBefore;
        QList<int> after;
        int selectedAfter;
    };

    static QString noneSelected() { return QStringLiteral("no beat selected"); }
    // Where a value goes among the beats, or -1 when one has it already.
    int placeFor(const QList<int> &beats, int clock, int standing) const;
    void apply(const QString &what, const QList<int> &after, int selectedAfter, bool joinLast);

    QList<int> m_beats;
    int m_selected = -1;
    QVector<Edit> m_edits;
    int m_done = 0;     // edits in effect, from the start of m_edits
    int m_savedAt = 0;  // m_done when last saved; -1 once that state cannot come back
    QString m_lastChange;
};

#endif // BEATEDITS_H
