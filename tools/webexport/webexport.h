#ifndef WEBEXPORT_H
#define WEBEXPORT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// A show written out as a web page: one folder that any static file server
// serves, holding the page and its compiled program as built, the show's two
// stages as the maker wrote them, its music (its beat list, and its sound
// as MP3: webmusic.h) and its font. The folder is made
// whole under a hidden name beside its target and renamed into place, or
// not at all.
namespace WebExport {

// The page's own files, from the compiled web program's folder.
QStringList pageFiles();

// The compiled web program's folder: installed beside the show's data, or,
// for a program run from the build folder, where the build made it. Empty
// when neither holds every page file. Needs the application object.
QString programFolder();

struct Show
{
    QByteArray vertexStage;
    QByteArray fragmentStage;
    QString music; // the music file's path
    QString font;  // the font image's path
};

// Writes the page into `out`, which must not exist or be empty. Returns one
// line naming what went wrong, or an empty string. progress(done, total)
// follows the music's encoding, in frames.
QString write(const QString &programFolder, const Show &show, const QString &out,
              const std::function<void(qint64, qint64)> &progress = {});

} // namespace WebExport

#endif // WEBEXPORT_H
