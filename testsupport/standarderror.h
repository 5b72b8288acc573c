#ifndef STANDARDERROR_H
#define STANDARDERROR_H

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// What the process writes to its standard error while this lives, kept in a
// file of its own (and not on the test's own standard error).
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        std::fflush(stderr);
        if (m_file.open()) {
            m_saved = ::dup(STDERR_FILENO);
            ::dup2(m_file.handle(), STDERR_FILENO);
        }
    }
    ~StandardErrorCapture()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;

    bool isCapturing() const { return m_saved >= 0; }

    // Everything written so far.
    QByteArray text()
    {
        std::fflush(stderr);
        QFile written(m_file.fileName());
        return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

#endif // STANDARDERROR_H
