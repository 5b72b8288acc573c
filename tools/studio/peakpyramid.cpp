#include "peakpyramid.h"
#include "inputfile.h"
#include "musicfile.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>

namespace {

PeakPyramid::Peak joined(const PeakPyramid::Peak &a, const PeakPyramid::Peak &b)
{
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

// Frames read from the file at a time: 512 KB.
constexpr qint64 readFrames = 65536;

} // namespace

PeakPyramid::Builder::Builder(qint64 expectedFrames)
{
    m_base.reserve(size_t((expectedFrames + baseFrames - 1) / baseFrames));
}

void PeakPyramid::Builder::add(const float *samples, qint64 frames)
{
    const float *const end = samples + frames * MusicFile::channels;
    while (samples != end) {
        // The rest of the open block, or as much of it as there is.
        const qint64 take = std::min<qint64>(baseFrames - m_openFrames, (end - samples) / MusicFile::channels);
        const float *const blockEnd = samples + take * MusicFile::channels;
        float low = m_openFrames > 0 ? m_open.low : *samples;
        float high = m_openFrames > 0 ? m_open.high : *samples;
        for (; samples != blockEnd; ++samples) {
            low = std::min(low, *samples);
            high = std::max(high, *samples);
        }
        m_open = {low, high};
        m_openFrames += int(take);
        if (m_openFrames == baseFrames) {
            m_base.push_back(m_open);
            m_openFrames = 0;
        }
    }
    m_frames += frames;
}

PeakPyramid PeakPyramid::Builder::finish()
{
    if (m_openFrames > 0)
        m_base.push_back(m_open);
    m_openFrames = 0;

    PeakPyramid pyramid;
    pyramid.m_frames = m_frames;
    if (m_base.empty())
        return pyramid;
    pyramid.m_levels.push_back(std::move(m_base));
    m_base.clear();
    while (pyramid.m_levels.back().size() > 1) {
        const std::vector<Peak> &below = pyramid.m_levels.back();
        std::vector<Peak> above((below.size() + 1) / 2);
        for (size_t i = 0; i < above.size(); ++i)
            above[i] = 2 * i + 1 < below.size() ? joined(below[2 * i], below[2 * i + 1]) : below[2 * i];
        pyramid.m_levels.push_back(std::move(above));
    }
    return pyramid;
}

PeakPyramid PeakPyramid::fromFrames(const float *samples, qint64 frames)
{
    Builder builder(frames);
    builder.add(samples, frames);
    return builder.finish();
}

PeakPyramid PeakPyramid::fromMusicFile(const QString &path, QString *error, const std::atomic<bool> *cancel)
{
    QFile file(path);
    const QString why = openInputFile(file);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return {};
    }
    MusicFile::readBeatList(file);
    const qint64 frames = qMax<qint64>(0, file.size() - file.pos()) / MusicFile::bytesPerFrame;
    Builder builder(frames);
    std::vector<char> bytes(size_t(readFrames * MusicFile::bytesPerFrame));
    std::vector<float> samples(size_t(readFrames * MusicFile::channels));
    for (qint64 done = 0; done < frames;) {
        if (cancel && *cancel)
            return {};
        const qint64 want = std::min(readFrames, frames - done) * MusicFile::bytesPerFrame;
        const qint64 got = file.read(bytes.data(), want);
        if (got <= 0) {
            if (error)
                *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
            return {};
        }
        // A read may end inside a frame: only whole frames go on.
        const qint64 whole = got / MusicFile::bytesPerFrame;
        if (whole * MusicFile::bytesPerFrame != got && !file.seek(file.pos() - (got - whole * MusicFile::bytesPerFrame))) {
            if (error)
                *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
            return {};
        }
        qFromLittleEndian<float>(bytes.data(), whole * MusicFile::channels, samples.data());
        builder.add(samples.data(), whole);
        done += whole;
    }
    return builder.finish();
}

int PeakPyramid::levelFor(double framesPerColumn) const
{
    int level = 0;
    while (level + 1 < levels() && double(blockFrames(level + 1)) <= framesPerColumn)
        ++level;
    return level;
}

bool PeakPyramid::peak(qint64 first, qint64 last, int level, Peak *peak) const
{
    first = std::max<qint64>(first, 0);
    last = std::min(last, m_frames);
    if (level < 0 || level >= levels() || first >= last)
        return false;
    const std::vector<Peak> &blocks = m_levels[size_t(level)];
    const qint64 length = blockFrames(level);
    const qint64 from = first / length;
    const qint64 to = std::min<qint64>((last - 1) / length, qint64(blocks.size()) - 1);
    Peak result = blocks[size_t(from)];
    for (qint64 i = from + 1; i <= to; ++i)
        result = joined(result, blocks[size_t(i)]);
    *peak = result;
    return true;
}

qint64 PeakPyramid::bytes() const
{
    qint64 total = 0;
    for (const std::vector<Peak> &blocks : m_levels)
        total += qint64(blocks.size() * sizeof(Peak));
    return total;
}
