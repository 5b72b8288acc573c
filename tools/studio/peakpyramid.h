#ifndef PEAKPYRAMID_H
#define PEAKPYRAMID_H

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <vector>

// The music's peaks for drawing its waveform at any zoom without reading
// the samples again: the lowest and highest sample (of both channels) of
// every block of baseFrames frames, and above that level upon level of
// blocks twice as long, up to one block for the whole payload. A column of
// the waveform reads the coarsest level whose blocks are no longer than
// the column, so that it costs a block or two whatever the zoom.
class PeakPyramid
{
public:
    struct Peak
    {
        float low;
        float high;
    };

    // Frames in a block of level 0: under a column even at the closest zoom
    // on a wide window, and small enough in memory (16 bytes a 16 frames).
    static constexpr int baseFrames = 16;

    // Builds the pyramid from interleaved stereo frames, given in any runs.
    class Builder
    {
    public:
        explicit Builder(qint64 expectedFrames = 0);
        void add(const float *samples, qint64 frames);
        PeakPyramid finish();

    private:
        std::vector<Peak> m_base;
        Peak m_open{0.0f, 0.0f};
        int m_openFrames = 0;
        qint64 m_frames = 0;
    };

    static PeakPyramid fromFrames(const float *samples, qint64 frames);
    // Reads the payload of a music file; empty with why in error when it
    // cannot be read, or when cancel turns true on the way.
    static PeakPyramid fromMusicFile(const QString &path, QString *error = nullptr,
                                     const std::atomic<bool> *cancel = nullptr);

    qint64 frames() const { return m_frames; }
    int levels() const { return int(m_levels.size()); }
    static qint64 blockFrames(int level) { return qint64(baseFrames) << level; }
    // Level 0 has a block for every baseFrames frames (the last one may be
    // shorter); each level above halves the count, rounding up.
    const std::vector<Peak> &level(int level) const { return m_levels[size_t(level)]; }
    // The coarsest level whose blocks hold no more than this many frames.
    int levelFor(double framesPerColumn) const;
    // The peak of the blocks of a level that cover frames [first, last);
    // nothing (false) where the payload has no frames.
    bool peak(qint64 first, qint64 last, int level, Peak *peak) const;

    // Bytes held by the levels.
    qint64 bytes() const;

private:
    std::vector<std::vector<Peak>> m_levels;
    qint64 m_frames = 0;
};

#endif // PEAKPYRAMID_H
