#ifndef SOUNDFILE_H
#define SOUNDFILE_H

#include "failure.h"

#include <QFile>
#include <QString>

#include <sndfile.h>

// An open libsndfile handle, closed when it goes.
class SoundFile
{
public:
    // Opens an audio file for reading, in any format libsndfile decodes.
    explicit SoundFile(const QString &path) : m_input(path)
    {
        openInput(m_input);
        m_file = sf_open_fd(m_input.handle(), SFM_READ, &m_info, SF_FALSE);
        if (!m_file)
            throw Failure(QStringLiteral("%1: cannot decode: %2").arg(path, QString::fromUtf8(sf_strerror(nullptr))));
    }

    // Writes through a descriptor the caller keeps open.
    SoundFile(int fd, const SF_INFO &format, const QString &path) : m_info(format)
    {
        m_file = sf_open_fd(fd, SFM_WRITE, &m_info, SF_FALSE);
        if (!m_file)
            throw Failure(QStringLiteral("%1: cannot write: %2").arg(path, QString::fromUtf8(sf_strerror(nullptr))));
    }

    ~SoundFile()
    {
        if (m_file)
            sf_close(m_file);
    }
    SoundFile(const SoundFile &) = delete;
    SoundFile &operator=(const SoundFile &) = delete;

    SNDFILE *handle() const { return m_file; }
    const SF_INFO &info() const { return m_info; }

    // After reading to the end: a decoding error on the way is a failure.
    void checkDecoded(const QString &path) const
    {
        if (sf_error(m_file) != SF_ERR_NO_ERROR)
            throw Failure(QStringLiteral("%1: cannot decode: %2").arg(path, QString::fromUtf8(sf_strerror(m_file))));
    }

    // Closes now, so that a writer's last bytes are out before its file is committed.
    bool close()
    {
        const int result = sf_close(m_file);
        m_file = nullptr;
        return result == 0;
    }

private:
    QFile m_input;  // the file read, open for as long as the handle
    SF_INFO m_info = {};
    SNDFILE *m_file = nullptr;
};

#endif // SOUNDFILE_H
