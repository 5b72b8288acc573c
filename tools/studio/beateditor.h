#ifndef BEATEDITOR_H
#define BEATEDITOR_H

#include "beatedits.h"
#include "beatlistwriter.h"
#include "beatrecovery.h"

#include <QObject>

#include <optional>

// The music file's beats as the maker edits them in the studio: every edit
// and its refusals said in a note, saved into the music file on request,
// and nothing lost on the way out. Quitting with unsaved edits asks first
// (a second ask within quitAgainMs gives them up); an end that cannot ask
// keeps them beside the music file, and the next start takes them back.
class BeatEditor : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 quitAgainMs = 2000;

    // The beats of the music file at path, and any edits an earlier studio
    // kept beside it, taken back as unsaved edits (said in one line).
    void open(const QString &path, const QList<int> &beats);
    bool isOpen() const { return m_recovery.has_value(); }
    const BeatEdits &edits() const { return m_edits; }
    const QList<int> &beats() const { return m_edits.beats(); }
    bool isModified() const { return m_edits.isModified(); }

    void select(int index);
    // A beat tapped where the music is heard, in audio-clock units.
    void tap(int clock);
    // The selected beat to a value; the moves of one drag after its first
    // join it. Returns whether it moved.
    bool moveSelected(int clock, bool joinLast);
    void nudgeSelected(int units);
    void removeSelected();
    void undo();
    void redo();
    // Into the music file, refused when it changed on disk since it was read.
    void save();

    // Escape or the window manager's close: whether to quit now. With
    // unsaved edits the first ask warns (asking), on screen and on standard
    // error, and waits quitAgainMs for the answer.
    bool mayQuit(qint64 nowMs);
    // The warning while its answer is awaited at nowMs; empty otherwise.
    QString question(qint64 nowMs) const;
    static QString unsavedQuestion();
    // The studio ends without asking: unsaved edits not given up are kept
    // beside the music file (said in one line); with none, nothing is.
    void keepUnsaved();

signals:
    // The beats or the selection changed.
    void changed();
    // What an action did or why it was refused, for a moment on screen.
    void note(const QString &text);
    // A warning that waits for an answer (question()).
    void asking();

private:
    void edited(const QString &refusal);
    void takeBack();

    QString m_path;
    BeatEdits m_edits;
    MusicFile::FileStamp m_stamp;
    std::optional<BeatRecovery> m_recovery;
    bool m_recoveryUnreadable = false; // left for the maker to look at
    bool m_givenUp = false;
    qint64 m_quitAskedAt = -1;
};

#endif // BEATEDITOR_H
