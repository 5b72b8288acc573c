#ifndef FUZZCHECK_H
#define FUZZCHECK_H

// What every fuzz target checks besides the sanitizers' own findings: a
// broken promise stops the run with a line that names it.

#include <QString>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFail(const char *what, std::size_t size)
{
    std::fprintf(stderr, "%s (input of %zu bytes)\n", what, size);
    std::abort();
}

// A line a tool prints about a stranger's file: one line, not empty, with
// no control character that a terminal would act on (a carriage return, an
// escape sequence), whatever the file holds, and short enough to read.
inline bool isPrintableLine(const QString &text, int longest = 1000)
{
    if (text.isEmpty() || text.size() > longest)
        return false;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return false;
    return true;
}

#endif // FUZZCHECK_H
