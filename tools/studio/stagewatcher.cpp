#include "stagewatcher.h"
#include "inputfile.h"
#include "showstages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StageWatcher::StageWatcher(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_vertexPath(QDir(folder).filePath(ShowStages::vertexName()))
    , m_fragmentPath(QDir(folder).filePath(ShowStages::fragmentName()))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, &StageWatcher::check);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &StageWatcher::changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StageWatcher::changed);
    m_watcher.addPath(m_folder);
    watchStages();
}

void StageWatcher::watchStages()
{
    // A file renamed away or replaced drops out of the watch; its new self
    // is taken on as soon as it is there.
    const QStringList watched = m_watcher.files();
    for (const QString &path : {m_vertexPath, m_fragmentPath})
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
}

void StageWatcher::changed()
{
    watchStages();
    m_quiet.start();
}

QByteArray StageWatcher::read(const QString &path)
{
    // Only a regular file: a FIFO in a stage's place would block the window.
    QFile file(path);
    if (!openInputFile(file).isEmpty())
        return {};
    return file.readAll();
}

void StageWatcher::check()
{
    watchStages();
    const QByteArray vertex = read(m_vertexPath);
    const QByteArray fragment = read(m_fragmentPath);
    // An editor that truncates before it writes, or renames before the new
    // file is there: the next change brings the whole text.
    if (vertex.isEmpty() || fragment.isEmpty()) {
        emit waitingFor(vertex.isEmpty() ? m_vertexPath : m_fragmentPath);
    } else if (vertex != m_vertex || fragment != m_fragment) {
        m_vertex = vertex;
        m_fragment = fragment;
        emit stagesChanged(vertex, fragment);
    }
    emit stagesRead();
}
