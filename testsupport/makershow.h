#ifndef MAKERSHOW_H
#define MAKERSHOW_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

// A maker's show folder made from the show's own stages, with the changes a
// maker makes: a different colour, or a mistake at a known line.
namespace MakerShow {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

// The show's own stages, from the source tree.
inline QByteArray showStage(const QString &name)
{
    return readFile(QStringLiteral(SHOW_SOURCE_DIR "/shaders/") + name);
}

// shader.vert and shader.frag into DIR (made if need be).
inline bool writeStages(const QString &folder, const QByteArray &vertex, const QByteArray &fragment)
{
    return QDir().mkpath(folder) && writeFile(QDir(folder).filePath(QStringLiteral("shader.vert")), vertex)
            && writeFile(QDir(folder).filePath(QStringLiteral("shader.frag")), fragment);
}

// The fragment stage with its red and blue swapped: the scene's main runs
// under another name, and a new main swaps the colour it wrote. So every
// pixel of a frame it draws is the show's pixel with red and blue swapped,
// a change that can be checked exactly, whatever the scene draws.
inline QByteArray withRedAndBlueSwapped(QByteArray fragment)
{
    fragment.replace("void main()", "void sceneMain()");
    return fragment + "\nvoid main()\n{\n    sceneMain();\n    result = result.bgra;\n}\n";
}

// The stage with a line of text inserted as line `line` (counted from 1,
// after the version line).
inline QByteArray withLineAt(const QByteArray &stage, int line, const QByteArray &text)
{
    QList<QByteArray> lines = stage.split('\n');
    lines.insert(line - 1, text);
    return lines.join('\n');
}

// The stage with a line that is not GLSL inserted as line `line`.
inline QByteArray withMistakeAtLine(const QByteArray &stage, int line)
{
    return withLineAt(stage, line, "this is not GLSL;");
}

// A picture with red and blue swapped.
inline QImage swappedRedAndBlue(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB888).rgbSwapped();
}

// A maker's stage that reads every uniform the show feeds
// (testsupport/everyuniform.frag, which the web page's test serves too):
// red is the pulse (iBeat), green the font (iFont) at the middle of its
// left column's two texels (t = 0.25 for the bottom half of the picture,
// 0.75 for the top half), blue the show time (iGlobalTime) a quarter a
// second, from 0 every 4 s. It opens with a comment and a blank line before
// its version line, as GLSL allows.
inline QByteArray everyUniformStage()
{
    return readFile(QStringLiteral(SHOW_SOURCE_DIR "/testsupport/everyuniform.frag"));
}

// A font of 2 x 2 texels for that stage (testsupport/tworowfont.png): its
// top row green 0, its bottom row green 255. With the image's top row at
// texture coordinate 0, as every host uploads it, the picture's bottom half
// is the top row's green; turned over, the other way.
inline QImage twoRowFont(bool turnedOver = false)
{
    const QImage font(QStringLiteral(SHOW_SOURCE_DIR "/testsupport/tworowfont.png"));
    return turnedOver ? font.mirrored() : font;
}

} // namespace MakerShow

#endif // MAKERSHOW_H
