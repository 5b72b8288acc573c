#ifndef STUDIOOPTIONS_H
#define STUDIOOPTIONS_H

#include "showfiles.h"

#include <QSize>
#include <QString>
#include <QStringList>

// How the studio starts, from the command line.
struct StudioOptions
{
    // The folder of the two stages; empty for the default: ./shaders when it
    // holds both, else the compiled-in stages.
    QString shaders;
    QString music = QString::fromLatin1(ShowFiles::music);
    QString font = QString::fromLatin1(ShowFiles::font);
    // Given on the command line: then a missing file is an error, not a note.
    bool musicGiven = false;
    bool fontGiven = false;
    QSize size{1280, 720};
    double scale = 1.0;
    bool fullScreen = false;
    // --new DIR: a show of one's own in DIR, copied from the installed one.
    QString newShow;
    // Milliseconds the sound plays later than the picture (earlier when negative).
    int audioOffsetMs = 0;

    bool helpAsked = false;

    // Render scales: the scene is drawn at this fraction of the window.
    static constexpr double minScale = 0.25;
    static constexpr double maxScale = 1.0;
    // The audio offset, either way.
    static constexpr int maxAudioOffsetMs = 2000;

    // Reads the arguments (the program name first). Returns what is wrong
    // with them, or an empty string when they are good.
    QString parse(const QStringList &arguments);
    // Needs the application object, for the program's name.
    static QString helpText();
};

#endif // STUDIOOPTIONS_H
