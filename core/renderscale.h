#ifndef RENDERSCALE_H
#define RENDERSCALE_H

#include <algorithm>
#include <array>
#include <cmath>

// The resolution a host draws the scene at where the GPU is slow: a fraction
// of each side of its canvas, in eighths from a quarter to the whole, as
// the studio's render scale is set by hand. The host stretches the picture
// to the canvas; the scene is the same, only coarser. Fed each frame's time
// since the one before, it lowers the scale while frames come slower than
// the floor (straight to the eighth the frame times say fits, as the cost
// goes with the pixels, the square of the side) and raises it an eighth at
// a time while frames are fast. Frames that come at the display's own rate
// say nothing of the room left, so a scale found too slow is tried again
// only after a wait, twice as long each time. Plain C++, no browser.
class RenderScale
{
public:
    static constexpr int whole = 8;  // eighths of a side
    static constexpr int lowest = 2; // a quarter of each side
    // Frames slower than this (30 a second) lower the scale.
    static constexpr double floorMs = 1000.0 / 30.0;
    // Frames this fast (a 60 Hz display's are) raise the scale.
    static constexpr double fastMs = 0.6 * floorMs;
    // Decisions to wait before a scale found too slow is tried again, at
    // first; each time it is found too slow again, twice as many.
    static constexpr int firstWait = 4;
    static constexpr int longestWait = 64;
    // Frames weighed for each decision, after the first at a new scale
    // (which pays for the resize) is left out.
    static constexpr int framesWeighed = 8;

    int eighths() const { return m_eighths; }
    double scale() const { return m_eighths / double(whole); }

    // A side of the canvas, in pixels, as drawn at the scale: never below one.
    int side(int canvasSide) const { return std::max(1, int(std::lround(canvasSide * scale()))); }

    // A frame took this long since the one before. Returns whether the
    // scale has changed.
    bool frameTook(double ms)
    {
        if (m_skipNext) {
            m_skipNext = false;
            return false;
        }
        m_times[std::size_t(m_count++)] = ms;
        if (m_count < framesWeighed)
            return false;
        std::array<double, framesWeighed> sorted = m_times;
        std::sort(sorted.begin(), sorted.end());
        const double median = (sorted[framesWeighed / 2 - 1] + sorted[framesWeighed / 2]) / 2.0;
        m_count = 0;

        int next = m_eighths;
        if (median > floorMs) {
            const int fits = int(std::floor(m_eighths * std::sqrt(floorMs / median)));
            next = std::clamp(fits, lowest, std::max(lowest, m_eighths - 1));
            if (next != m_eighths) {
                m_tooSlow = m_eighths;
                m_waitLeft = m_wait;
                m_wait = std::min(longestWait, m_wait * 2);
            }
        } else if (median <= fastMs && m_eighths < whole) {
            if (m_eighths + 1 >= m_tooSlow && m_waitLeft > 0)
                --m_waitLeft;
            else
                next = m_eighths + 1;
        }
        if (next == m_eighths)
            return false;
        m_eighths = next;
        m_skipNext = true;
        return true;
    }

private:
    int m_eighths = whole;
    std::array<double, framesWeighed> m_times{};
    int m_count = 0;
    bool m_skipNext = false;
    int m_tooSlow = whole + 1; // the lowest scale found too slow, waited for
    int m_waitLeft = 0;        // decisions still to wait before trying it
    int m_wait = firstWait;
};

#endif // RENDERSCALE_H
