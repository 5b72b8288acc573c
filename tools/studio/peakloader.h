#ifndef PEAKLOADER_H
#define PEAKLOADER_H

#include "peakpyramid.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>

// Makes a music file's peak pyramid on a thread of its own, so that the
// window draws on while a long track is read.
class PeakLoader : public QObject
{
    Q_OBJECT

public:
    explicit PeakLoader(QObject *parent = nullptr);
    // Stops a load that runs, and waits for it.
    ~PeakLoader() override;

    void load(const QString &path);
    bool isLoading() const { return m_thread.joinable() && !m_pyramid; }
    // The pyramid once loaded; empty before, and when the file could not be read.
    const PeakPyramid *pyramid() const { return m_pyramid.get(); }
    QString error() const { return m_error; }
    qint64 loadMs() const { return m_loadMs; }

signals:
    void loaded();

private:
    void stop();

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    int m_generation = 0;
    std::unique_ptr<PeakPyramid> m_pyramid;
    QString m_error;
    qint64 m_loadMs = 0;
};

#endif // PEAKLOADER_H
