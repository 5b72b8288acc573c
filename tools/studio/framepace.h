#ifndef FRAMEPACE_H
#define FRAMEPACE_H

#include <QtGlobal>

// How fast frames follow one another while the show time runs: the frame
// time over the last frames, for the heads-up line. A frame shown while the
// time stands still breaks the run.
class FramePace
{
public:
    void frameShown(qint64 nowMs, bool running)
    {
        if (!running) {
            m_lastFrameMs = -1;
            return;
        }
        if (m_lastFrameMs >= 0) {
            const double interval = double(nowMs - m_lastFrameMs);
            m_frameMs = m_frameMs > 0.0 ? 0.9 * m_frameMs + 0.1 * interval : interval;
        }
        m_lastFrameMs = nowMs;
        ++m_followed;
    }
    // 0 until two frames have followed one another.
    double frameMs() const { return m_frameMs; }
    // Frames shown while the time ran: each asks for the next.
    int followed() const { return m_followed; }

private:
    qint64 m_lastFrameMs = -1;
    double m_frameMs = 0.0;
    int m_followed = 0;
};

#endif // FRAMEPACE_H
