#ifndef FUZZFILE_H
#define FUZZFILE_H

// The readers that take a path get each input as a real file, written into
// a folder of the run's own (in memory where the machine has /dev/shm).

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

class FuzzFolder
{
public:
    FuzzFolder()
        : m_dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/fuzz-XXXXXX")
                                                          : QDir::tempPath() + QStringLiteral("/fuzz-XXXXXX"))
    {
    }

    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes the bytes as the file name; false when it cannot.
    bool write(const QString &name, const std::uint8_t *data, std::size_t size) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
    }

private:
    QTemporaryDir m_dir;
};

#endif // FUZZFILE_H
