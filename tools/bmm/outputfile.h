#ifndef OUTPUTFILE_H
#define OUTPUTFILE_H

#include "failure.h"
#include "pendingoutput.h"

#include <QFile>

// A file the command writes, open from the start and under its name only
// once commit() has its every byte on disk; a failure on the way leaves the
// target as it was.
class OutputFile
{
public:
    explicit OutputFile(const QString &target) : m_output(target)
    {
        if (!m_output.create())
            throw Failure(m_output.error());
        m_file.setFileName(m_output.path());
        if (!m_file.open(QIODevice::WriteOnly))
            throw Failure(QStringLiteral("%1: cannot write: %2").arg(target, m_file.errorString()));
    }

    QFile &file() { return m_file; }

    void commit()
    {
        if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
            throw Failure(QStringLiteral("%1: cannot write: %2").arg(m_output.target(), m_file.errorString()));
        m_file.close();
        if (!m_output.commit())
            throw Failure(m_output.error());
    }

private:
    PendingOutput m_output;
    QFile m_file;
};

#endif // OUTPUTFILE_H
