#ifndef PENDINGOUTPUT_H
#define PENDINGOUTPUT_H

#include <QString>

#include <memory>

class QTemporaryDir;
class QTemporaryFile;

// An output that stands under its name only once it is whole: it is written
// under a hidden name beside its target (same folder, so same file system),
// and one rename puts it in place on commit(). Until then the target keeps
// what it held; an output abandoned (destroyed uncommitted, a failure, a
// stop) is removed. Every tool writes its outputs this way. A target that
// is a symbolic link is written where the link leads, and the link stays.
class PendingOutput
{
public:
    enum class Kind { File, Folder };

    explicit PendingOutput(const QString &target, Kind kind = Kind::File);
    ~PendingOutput();
    PendingOutput(const PendingOutput &) = delete;
    PendingOutput &operator=(const PendingOutput &) = delete;

    // Makes the hidden file (empty, closed) or folder. A file may replace a
    // file, a folder only an empty folder. False with error() set otherwise.
    bool create();
    // Where to write until commit(); empty before create().
    QString path() const;
    QString target() const { return m_target; }

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

    QString m_target;    // as given, for messages
    QString m_named;     // the name given, absolute
    QString m_absolute;  // where it goes, whatever the working folder does, links followed
    Kind m_kind;
    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QTemporaryDir> m_folder;
    bool m_committed = false;
    QString m_error;
};

#endif // PENDINGOUTPUT_H
