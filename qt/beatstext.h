#ifndef BEATSTEXT_H
#define BEATSTEXT_H

#include <QList>
#include <QString>

#include <optional>

// Beat times as show makers write them: a text file with one time in seconds
// on each line; '#' starts a comment, blank lines are skipped. Label lines
// as audio editors export them (start, end and text, split by tabs) give
// their start.

// The audio-clock value for a time in seconds, if it has one.
std::optional<int> clockFromSeconds(double seconds);

// Throws Failure naming the file, and the line for a line that is no time.
QList<int> readBeatsText(const QString &path);

// The text for a beat list, in the form readBeatsText reads.
QString beatsText(const QList<int> &beats, const QString &source);

#endif // BEATSTEXT_H
