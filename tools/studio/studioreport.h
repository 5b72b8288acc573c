#ifndef STUDIOREPORT_H
#define STUDIOREPORT_H

#include <QString>
#include <QTextStream>

// A line for the maker on standard error: what went wrong, or what the
// studio did that the maker did not ask for.
inline void report(const QString &line)
{
    QTextStream(stderr) << line << '\n';
}

#endif // STUDIOREPORT_H
