#include "pendingoutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links in a row as the system itself follows before it gives up.
constexpr int maxLinkHops = 40;
// Hidden names tried before giving up: each is free but for a one in 56^6 chance.
constexpr int maxNameTries = 100;

// Where a name leads: a symbolic link stands for what it points to (a link
// to a link, on to the end), so that the output replaces that file and the
// link stays as it was. A name that is no link leads to itself.
QString followLinks(const QString &absolute)
{
    QString path = absolute;
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        const QFileInfo info(path);
        if (!info.isSymLink())
            return path;
        path = QDir::cleanPath(info.symLinkTarget());
    }
    return path;
}

// Six letters or digits, for a hidden name no one else has.
QString randomSuffix()
{
    static const char letters[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
    return suffix;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PendingOutput::PendingOutput(const QString &target, Kind kind)
    : m_target(target)
    , m_named(QDir::cleanPath(QFileInfo(target).absoluteFilePath()))
    , m_absolute(followLinks(m_named))
    , m_kind(kind)
{
}

PendingOutput::~PendingOutput()
{
    if (m_committed || m_hidden.isEmpty())
        return;
    if (m_kind == Kind::File)
        QFile::remove(m_hidden);
    else
        QDir(m_hidden).removeRecursively();
}

bool PendingOutput::create()
{
    if (!m_hidden.isEmpty())
        return true;
    const QFileInfo target(m_absolute);
    if (target.isSymLink())
        return fail(QStringLiteral("%1: cannot write: too many levels of symbolic links").arg(m_target));
    if (m_kind == Kind::File && target.isDir())
        return fail(QStringLiteral("%1: is a folder").arg(m_target));
    if (m_kind == Kind::Folder && target.exists() && !(target.isDir() && QDir(m_absolute).isEmpty()))
        return fail(QStringLiteral("%1: is there already and is not an empty folder").arg(m_target));

    const QDir parent = target.absoluteDir();
    if (!parent.exists())
        return fail(QStringLiteral("%1: cannot write: no folder %2").arg(m_target, parent.path()));
    const QString problem = makeHidden(parent.path(), target.fileName());
    if (!problem.isEmpty())
        return fail(QStringLiteral("%1: cannot write: %2").arg(m_target, problem));
    return true;
}

// Makes the hidden file or folder beside the target under a free name, with
// its final mode; empty when made, else what the system said.
QString PendingOutput::makeHidden(const QString &folder, const QString &name)
{
    const bool file = m_kind == Kind::File;
    struct stat old;
    const bool replaces = stat(QFile::encodeName(m_absolute).constData(), &old) == 0
            && (file ? S_ISREG(old.st_mode) : S_ISDIR(old.st_mode));
    // A new output is made as the system makes any new file, the umask (and
    // a default ACL) taken off. One that replaces is made private, then
    // given the old one's group and mode, so it is never more open than the
    // old one was; should the system refuse either, it stays private or in
    // the user's group. A file keeps no set-id bit: new contents do not run
    // with the old one's rights. A folder keeps its set-group and sticky bits.
    // (The system's calls: Qt 5 makes files and folders in no mode of ours.)
    const mode_t made = replaces ? (file ? 0600 : 0700) : (file ? 0666 : 0777);
    for (int attempt = 0; attempt < maxNameTries; ++attempt) {
        const QString path = QDir(folder).filePath(QStringLiteral(".%1-%2").arg(name, randomSuffix()));
        const QByteArray encoded = QFile::encodeName(path);
        int handle = -1;
        if (file) {
            handle = open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, made);
        } else if (mkdir(encoded.constData(), made) == 0) {
            handle = open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (handle < 0) {
                const QString why = systemError();
                rmdir(encoded.constData());
                return why;
            }
        }
        if (handle < 0) {
            if (errno == EEXIST)
                continue;
            return systemError();
        }
        m_hidden = path;
        if (replaces) {
            if (fchown(handle, uid_t(-1), old.st_gid) != 0) {
                // Not one of the user's groups: it keeps the user's own.
            }
            if (fchmod(handle, old.st_mode & (file ? 0777 : 07777)) != 0) {
                // A file system without modes: it stays as made.
            }
        }
        close(handle);
        return {};
    }
    return QStringLiteral("no free hidden name beside it");
}

QString PendingOutput::destination() const
{
    const QFileInfo target(m_absolute);
    const QString folder = QFileInfo(target.path()).canonicalFilePath();
    return folder.isEmpty() ? m_absolute : QDir(folder).filePath(target.fileName());
}

QString PendingOutput::path() const
{
    return m_hidden;
}

bool PendingOutput::commit()
{
    if (m_committed)
        return true;
    const QString from = path();
    if (from.isEmpty())
        return fail(QStringLiteral("%1: nothing was written").arg(m_target));
    // One rename: the name holds either what was there or the whole new output.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(m_absolute).constData()) != 0)
        return fail(QStringLiteral("%1: cannot put the output in place: %2")
                    .arg(m_target, systemError()));
    return placed();
}

bool PendingOutput::commitAsNew()
{
    if (m_committed)
        return true;
    const QString from = path();
    if (from.isEmpty())
        return fail(QStringLiteral("%1: nothing was written").arg(m_target));
    // A link under the name, even one that leads nowhere, is something there.
    if (m_named != m_absolute)
        return fail(QStringLiteral("%1: is there already").arg(m_target));
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(m_absolute);
    // One rename that refuses to replace, so that nothing can slip in
    // between a look and the rename. A file system without it takes a
    // hard link, which refuses as well, and the hidden name goes.
    int result = renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL && m_kind == Kind::File) {
        result = link(source.constData(), target.constData());
        if (result == 0)
            unlink(source.constData());
    }
    if (result != 0)
        return fail(errno == EEXIST ? QStringLiteral("%1: is there already").arg(m_target)
                                    : QStringLiteral("%1: cannot put the output in place: %2")
                                      .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
    return placed();
}

bool PendingOutput::placed()
{
    m_committed = true;
    return true;
}

bool PendingOutput::fail(const QString &error)
{
    m_error = error;
    return false;
}
