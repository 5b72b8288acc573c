#ifndef PENDINGOUTPUT_H
#define PENDINGOUTPUT_H

#include <QString>

// An output that stands under its name only once it is whole: it is written
// under a hidden name beside its target (same folder, so same file system),
// and one rename puts it in place on commit(). Until then the target keeps
// what it held; an output abandoned (destroyed uncommitted, a failure, a
// stop) is removed. Every tool writes its outputs this way. A target that
// is a symbolic link is written where the link leads, and the link stays.
// A new output gets the mode the system gives any new file or folder under
// the process's umask; one that replaces a file (or an empty folder) keeps
// that one's permissions, and its group where the user may set it. Either
// way the hidden output has its final mode before a byte goes into it.
class PendingOutput
{
public:
    enum class Kind { File, Folder };

    explicit PendingOutput(const QString &target, Kind kind = Kind::File);
    ~PendingOutput();
    PendingOutput(const PendingOutput &) = delete;
    PendingOutput &operator=(const PendingOutput &) = delete;

    // Makes the hidden file (empty, closed) or folder, with its mode. A file
    // may replace a file, a folder only an empty folder. False with error()
    // set otherwise.
    bool create();
    // Where to write until commit(); empty before create().
    QString path() const;
    QString target() const { return m_target; }
    // Where the output goes, every link on the way followed (the folders'
    // too), for telling whether it would land on another file.
    QString destination() const;

    // Puts the output in place under the target's name.
    bool commit();
    // The same, but only when nothing stands under the target's name yet:
    // otherwise it fails, replacing nothing, and the output stays pending
    // (for outputs that must never overwrite, such as numbered ones).
    bool commitAsNew();
    bool isCommitted() const { return m_committed; }

    // One line naming the file and what went wrong.
    QString error() const { return m_error; }

private:
    bool fail(const QString &error);
    bool placed();
    QString makeHidden(const QString &folder, const QString &name);

    QString m_target;    // as given, for messages
    QString m_named;     // the name given, absolute
    QString m_absolute;  // where it goes, whatever the working folder does, links followed
    Kind m_kind;
    QString m_hidden;    // the hidden file or folder, once made
    bool m_committed = false;
    QString m_error;
};

#endif // PENDINGOUTPUT_H
