#include "peakloader.h"

#include <QElapsedTimer>

PeakLoader::PeakLoader(QObject *parent)
    : QObject(parent)
{
}

PeakLoader::~PeakLoader()
{
    stop();
}

void PeakLoader::stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    m_cancel = false;
}

void PeakLoader::load(const QString &path)
{
    stop();
    m_pyramid.reset();
    m_error.clear();
    const int generation = ++m_generation;
    m_thread = std::thread([this, path, generation] {
        QElapsedTimer timer;
        timer.start();
        auto pyramid = std::make_unique<PeakPyramid>();
        QString error;
        *pyramid = PeakPyramid::fromMusicFile(path, &error, &m_cancel);
        const qint64 ms = timer.elapsed();
        // Handed over on the loader's own thread, unless it has gone (Qt drops
        // the call) or a newer load has begun.
        QMetaObject::invokeMethod(this, [this, shared = std::shared_ptr<PeakPyramid>(std::move(pyramid)), error, ms,
                                         generation] {
            if (generation != m_generation)
                return;
            m_pyramid = std::make_unique<PeakPyramid>(std::move(*shared));
            m_error = error;
            m_loadMs = ms;
            emit loaded();
        }, Qt::QueuedConnection);
    });
}
