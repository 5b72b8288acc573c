#ifndef SCREENSHOT_H
#define SCREENSHOT_H

#include <QImage>
#include <QString>

// Saves frames as PNG files numbered studio-0001.png, studio-0002.png, ...
// in a folder: each under a number above every one there, never over a
// file that is there, written whole or not at all.
class Screenshot
{
public:
    explicit Screenshot(const QString &folder = QStringLiteral("."));

    // Writes the image without its alpha (the colour holds the fade
    // already). Returns the file's path, or an empty string with error() set.
    QString save(const QImage &image);
    QString error() const { return m_error; }

    static QString fileName(int number);

private:
    int nextNumber() const;

    QString m_folder;
    QString m_error;
};

#endif // SCREENSHOT_H
