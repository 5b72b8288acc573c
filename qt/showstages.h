#ifndef SHOWSTAGES_H
#define SHOWSTAGES_H

#include "showfiles.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QString>

// The show's two shader stages as a maker keeps them: a folder holding
// shader.vert and shader.frag. Every program that takes a show's stages
// (the studio, the capture, the web export) finds them by one rule: a folder
// given must hold both; without one, shaders/ in the working folder when it
// holds both; else the stages compiled into the program.
namespace ShowStages {

inline QString vertexName() { return QString::fromLatin1(ShowFiles::vertexStage); }
inline QString fragmentName() { return QString::fromLatin1(ShowFiles::fragmentStage); }
inline QString defaultFolder() { return QString::fromLatin1(ShowFiles::stageFolder); }

// Whether a folder holds both stages as regular files.
bool holdsStages(const QString &folder);

// The command line's --shaders DIR, as the tools that take a show's stages
// offer it.
QCommandLineOption folderOption();

// Where the stages come from, by the rule above.
struct Choice
{
    QString folder; // empty: the compiled-in stages
    QString error;  // a folder given that does not hold both: one line
};
Choice choose(const QString &givenFolder);

// The line a program says once when it draws the compiled-in stages.
QString compiledInNote();

// Both stages of a folder, read whole.
struct Texts
{
    QByteArray vertex;
    QByteArray fragment;
    QString vertexPath;
    QString fragmentPath;
    QString error; // a stage that cannot be read: one line naming it
};
Texts read(const QString &folder);

} // namespace ShowStages

#endif // SHOWSTAGES_H
