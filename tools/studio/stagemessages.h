#ifndef STAGEMESSAGES_H
#define STAGEMESSAGES_H

#include <QString>
#include <QStringList>

// A compiler's log as lines that editors and makers read: each message
// with the stage's file name and its line number (and column, where the
// compiler gives one) in front, "shaders/shader.frag:42:7: error: ...".
// Reads the forms of the common GL drivers; a line of another form keeps
// its text behind the file name. Empty lines are dropped.
QStringList stageMessages(const QString &log, const QString &file);

#endif // STAGEMESSAGES_H
