#include "beatlistwriter.h"
#include "inputfile.h"
#include "musicfile.h"
#include "pendingoutput.h"

#include <QFile>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// The payload is copied a megabyte at a time.
constexpr qint64 copyBytes = 1 << 20;

MusicFile::FileStamp stampOf(const struct stat &status)
{
    MusicFile::FileStamp stamp;
    stamp.device = quint64(status.st_dev);
    stamp.inode = quint64(status.st_ino);
    stamp.size = qint64(status.st_size);
    stamp.modifiedNs = qint64(status.st_mtim.tv_sec) * 1000000000 + qint64(status.st_mtim.tv_nsec);
    return stamp;
}

} // namespace

QByteArray MusicFile::beatListBytes(const QList<int> &beats)
{
    QByteArray bytes(int(headBytes(beats.size())), '\0');
    qToLittleEndian(quint32(beats.size()), bytes.data());
    for (int i = 0; i < beats.size(); ++i)
        qToLittleEndian(qint32(beats[i]), bytes.data() + 4 + 4 * i);
    return bytes;
}

MusicFile::FileStamp MusicFile::FileStamp::of(const QString &path)
{
    struct stat status;
    if (stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return stampOf(status);
}

MusicFile::FileStamp MusicFile::FileStamp::of(const QFile &file)
{
    struct stat status;
    if (file.handle() < 0 || fstat(file.handle(), &status) != 0)
        return {};
    return stampOf(status);
}

bool MusicFile::FileStamp::operator==(const FileStamp &other) const
{
    return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
}

QString MusicFile::rewriteBeatList(const QString &path, const QList<int> &beats, const FileStamp &read,
                                   FileStamp *written)
{
    const QString changed = QStringLiteral("%1: changed on disk since it was read: not saved").arg(path);
    QFile old(path);
    const QString why = openInputFile(old);
    if (!why.isEmpty())
        return why;
    if (FileStamp::of(old) != read)
        return changed;

    // The audio starts where the show's reader leaves the file; a list the
    // file cannot hold leaves no audio to keep.
    const QList<int> oldBeats = readBeatList(old);
    const qint64 payloadStart = old.pos();
    if (old.error() != QFileDevice::NoError)
        return QStringLiteral("%1: cannot read: %2").arg(path, old.errorString());
    if (payloadStart != headBytes(oldBeats.size()))
        return QStringLiteral("%1: its beat list is cut short, so the show finds no audio in it: not saved").arg(path);

    PendingOutput output(path);
    if (!output.create())
        return output.error();
    QFile out(output.path());
    if (!out.open(QIODevice::WriteOnly))
        return QStringLiteral("%1: cannot write: %2").arg(path, out.errorString());
    const auto cannotWrite = [&] { return QStringLiteral("%1: cannot write: %2").arg(path, out.errorString()); };
    const QByteArray head = beatListBytes(beats);
    if (out.write(head) != head.size())
        return cannotWrite();
    std::vector<char> buffer(static_cast<size_t>(copyBytes));
    for (;;) {
        const qint64 got = old.read(buffer.data(), copyBytes);
        if (got < 0)
            return QStringLiteral("%1: cannot read: %2").arg(path, old.errorString());
        if (got == 0)
            break;
        if (out.write(buffer.data(), got) != got)
            return cannotWrite();
    }
    if (out.pos() != head.size() + old.size() - payloadStart)
        return QStringLiteral("%1: changed while it was copied: not saved").arg(path);
    // On the disk before it takes the name: the old file goes with the rename.
    if (!out.flush() || fsync(out.handle()) != 0)
        return cannotWrite();
    out.close();
    if (out.error() != QFileDevice::NoError)
        return cannotWrite();

    // Once more just before the rename: a save from elsewhere meanwhile wins.
    if (FileStamp::of(path) != read)
        return changed;
    if (!output.commit())
        return output.error();
    if (written)
        *written = FileStamp::of(path);
    return {};
}
