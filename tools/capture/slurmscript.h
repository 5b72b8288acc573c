#ifndef SLURMSCRIPT_H
#define SLURMSCRIPT_H

#include <QByteArray>
#include <QString>

#include <optional>

// What the scripts and log names that capture --slurm hands to Slurm may
// hold: any path, written so that sh and Slurm read it back byte for byte,
// or refused when they cannot.
namespace SlurmScript {

// One word for sh that stands for exactly these bytes, in single quotes (a
// quote inside as '\''), so that nothing in it is expanded, run or split. A
// newline stays inside the quotes, on lines sbatch no longer reads for its
// options once the script's first command has begun. None for bytes no
// script can hold: a NUL, or a carriage return before a line end, which
// makes sbatch take the whole script for a DOS file and refuse it.
std::optional<QByteArray> shellWord(const QByteArray &bytes);

// The name of a log in a folder as sbatch --output takes it, where `name`
// may hold Slurm's own fields (%a: the array task): a % of the folder
// doubled. None for a folder whose path holds a backslash, which makes Slurm
// drop its backslashes and read no field at all.
std::optional<QString> logPattern(const QString &folder, const QString &name);

} // namespace SlurmScript

#endif // SLURMSCRIPT_H
