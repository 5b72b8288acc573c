#ifndef STUDIOINPUTS_H
#define STUDIOINPUTS_H

#include <QImage>
#include <QString>

class MusicPlayer;
struct StudioOptions;

// What the studio works on, found and opened at its start: the shader
// stages (a folder given must hold both; by default ./shaders when it does,
// else the compiled-in ones), the music, the font image, and the sound
// device. Files given on the command line must be usable; default ones may
// be missing, and each thing missing is said in one line.
class StudioInputs
{
public:
    // Returns why the studio cannot start as asked, or an empty string.
    QString open(const StudioOptions &options, MusicPlayer &player);

    // The folder whose stages are watched; empty for the compiled-in ones.
    QString stagesFolder() const { return m_stagesFolder; }
    bool hasMusic() const { return m_hasMusic; }
    // In the format the font texture takes; null when there is none.
    const QImage &font() const { return m_font; }

private:
    QString m_stagesFolder;
    bool m_hasMusic = false;
    QImage m_font;
};

#endif // STUDIOINPUTS_H
