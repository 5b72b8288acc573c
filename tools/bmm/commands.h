#ifndef COMMANDS_H
#define COMMANDS_H

#include <QString>

// The tool's commands. Each throws Failure on bad input and leaves no output
// file behind when it does.

enum class BeatSource { None, TextFile, Detect };

void pack(const QString &audioPath, const QString &outPath, BeatSource beatSource, const QString &beatsPath);
void info(const QString &path);
void unpack(const QString &path, const QString &wavPath, const QString &beatsPath);
void synth(const QString &outPath);

#endif // COMMANDS_H
