#ifndef CAPTUREOPTIONS_H
#define CAPTUREOPTIONS_H

#include <QSize>
#include <QString>
#include <QStringList>

#include <limits>

// What to capture and where to, from the command line.
struct CaptureOptions
{
    QSize size{1920, 1080};
    int fps = 60;
    // Show seconds; the frames whose show time lies in [from, to).
    double from = 0.0;
    double to = std::numeric_limits<double>::infinity();
    // Exactly one of the two is set.
    QString video;
    QString pngDirectory;
    QString music = QStringLiteral("music.bmm");

    bool helpAsked = false;

    // Reads the arguments (the program name first). Returns what is wrong
    // with them, or an empty string when they are good.
    QString parse(const QStringList &arguments);
    // Needs the application object, for the program's name.
    static QString helpText();
};

#endif // CAPTUREOPTIONS_H
