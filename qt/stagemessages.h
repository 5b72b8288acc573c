#ifndef STAGEMESSAGES_H
#define STAGEMESSAGES_H

#include <QString>
#include <QtGlobal>
#include <QStringList>

// A compiler's log as lines that editors and makers read, by StageLog's
// rule (stagelog.h): "shaders/shader.frag:42:7: error: ...".
QStringList stageMessages(const QString &log, const QString &file);

// What a tool says when the show's stages do not build, before it stops
// with nothing written: the stage that does not compile (or that the two do
// not link), `as` what (when given: "as the browser takes it"), then the
// compiler's messages, named by `file`.
QString stagesDoNotBuild(const QString &log, const QString &file, bool linking, const QString &as = QString());

// Whether a message of Qt's is its own report of a stage that failed, with
// the whole source after it: a program that reports the compiler's messages
// itself, named by file and line, leaves these out, as they would bury them.
bool isQtShaderReport(QtMsgType type, const QString &message);

// Leaves those reports out from here on: installs a message handler that
// hands every other message to the handler installed before it. Returns the
// new handler, for messages held back earlier to pass through it too.
QtMessageHandler leaveOutQtShaderReports();

#endif // STAGEMESSAGES_H
