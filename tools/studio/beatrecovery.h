#ifndef BEATRECOVERY_H
#define BEATRECOVERY_H

#include <QList>
#include <QString>

#include <optional>

// Beat edits that could not be saved, kept beside their music file when the
// studio ends without being able to ask (Ctrl-C, SIGTERM), as the beat text
// that `bmm pack --beats` reads, for the next start on that file to take
// back. A file that cannot be read stays for the maker to look at.
class BeatRecovery
{
public:
    explicit BeatRecovery(const QString &musicPath);

    // The music file's name with ".unsaved-beats" after it.
    QString path() const { return m_path; }
    bool exists() const;

    // Writes the beats, whole or not at all. Returns why it could not, in
    // one line, or an empty string.
    QString keep(const QList<int> &beats) const;
    // The beats kept, or nothing with why in problem (empty when there is
    // no file).
    std::optional<QList<int>> read(QString *problem) const;
    // The edits kept were saved or given up: the file goes.
    void remove() const;

private:
    QString m_music;
    QString m_path;
};

#endif // BEATRECOVERY_H
