#ifndef NEWSHOW_H
#define NEWSHOW_H

#include <QString>
#include <QStringList>

// `studio --new DIR`: a show of one's own, started from the installed one.
namespace NewShow {

// What a show's folder holds, as the studio and the show look for it there.
QStringList files();

// The installed show's folder, found from where the program itself lies, so
// that an install anywhere (or a package unpacked anywhere) finds its own.
// Needs the application object.
QString installedFolder();

// Copies the show's files from `from` into `folder`, which must not exist or
// be empty; they appear there all together or not at all. Returns one line
// naming what went wrong, or an empty string.
QString create(const QString &folder, const QString &from);

} // namespace NewShow

#endif // NEWSHOW_H
