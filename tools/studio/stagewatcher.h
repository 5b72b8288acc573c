#ifndef STAGEWATCHER_H
#define STAGEWATCHER_H

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Watches a folder's two shader stages and hands over their text whenever
// a save changed it, however the editor saves: writing the file in place,
// or writing a new file and renaming it over the old one (which ends the
// watch on the old file, so the folder is watched too). A burst of changes
// is read once, after a quiet moment; a stage that is missing or empty for
// a moment (a save in progress) is waited for, not reported; a save that
// leaves both texts as they were is skipped.
class StageWatcher : public QObject
{
    Q_OBJECT

public:
    explicit StageWatcher(const QString &folder, QObject *parent = nullptr);

    // How long changes must be quiet before the stages are read.
    static constexpr int quietMs = 50;

    QString vertexPath() const { return m_vertexPath; }
    QString fragmentPath() const { return m_fragmentPath; }

    // Reads both stages now and hands them over if they changed.
    void check();

signals:
    void stagesChanged(const QByteArray &vertex, const QByteArray &fragment);
    // A stage is missing or empty: nothing is read until it is back.
    void waitingFor(const QString &path);
    // Both stages were read, whatever they held: the saves before are
    // handed over by now, or never will be.
    void stagesRead();

private:
    void changed();
    void watchStages();
    // The stage's whole text; empty while it is missing or empty.
    static QByteArray read(const QString &path);

    QString m_folder;
    QString m_vertexPath;
    QString m_fragmentPath;
    QFileSystemWatcher m_watcher;
    QTimer m_quiet;
    QByteArray m_vertex;
    QByteArray m_fragment;
};

#endif // STAGEWATCHER_H
