#include "pendingoutput.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

// As many links in a row as the system itself follows before it gives up.
constexpr int maxLinkHops = 40;

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

} // namespace

PendingOutput::PendingOutput(const QString &target, Kind kind)
    : m_target(target)
    , m_named(QDir::cleanPath(QFileInfo(target).absoluteFilePath()))
    , m_absolute(followLinks(m_named))
    , m_kind(kind)
{
}

// The temporary file or folder removes itself unless committed.
PendingOutput::~PendingOutput() = default;

bool PendingOutput::create()
{
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
    const QString pattern = parent.filePath(QStringLiteral(".%1-XXXXXX").arg(target.fileName()));

    if (m_kind == Kind::File) {
        m_file = std::make_unique<QTemporaryFile>(pattern);
        if (!m_file->open())
            return fail(QStringLiteral("%1: cannot write: %2").arg(m_target, m_file->errorString()));
        m_file->close();
        // Private while it fills, an ordinary file once it is the output.
        m_file->setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        return true;
    }

    m_folder = std::make_unique<QTemporaryDir>(pattern);
    if (!m_folder->isValid())
        return fail(QStringLiteral("%1: cannot write: %2").arg(m_target, m_folder->errorString()));
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return true;
}

QString PendingOutput::path() const
{
    if (m_file)
        return m_file->fileName();
    if (m_folder)
        return m_folder->path();
    return {};
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
                    .arg(m_target, QString::fromLocal8Bit(std::strerror(errno))));
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
    if (result != 0 && errno == EINVAL && m_file) {
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
    if (m_file)
        m_file->setAutoRemove(false);
    if (m_folder)
        m_folder->setAutoRemove(false);
    m_committed = true;
    return true;
}

bool PendingOutput::fail(const QString &error)
{
    m_error = error;
    return false;
}
