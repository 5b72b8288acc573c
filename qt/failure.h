#ifndef FAILURE_H
#define FAILURE_H

#include "inputfile.h"

#include <QFile>
#include <QString>

#include <stdexcept>

// Why a command cannot go on: one line naming the file (and the line of it),
// which main prints before it exits with a non-zero code.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// Opens an input by the show's rule (only a regular file), or fails.
inline void openInput(QFile &file)
{
    const QString why = openInputFile(file);
    if (!why.isEmpty())
        throw Failure(why);
}

#endif // FAILURE_H
