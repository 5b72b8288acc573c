#ifndef FAILURE_H
#define FAILURE_H

#include <QString>

#include <stdexcept>

// Why a command cannot go on: one line naming the file (and the line of it),
// which main prints before it exits with a non-zero code.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message) : std::runtime_error(message.toStdString()) {}
};

#endif // FAILURE_H
