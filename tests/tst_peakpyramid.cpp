// The waveform's peak pyramid against the lowest and highest sample found
// here by walking the samples themselves: every block of every level, any
// range a column asks for, built in one go, in runs of any length, and from
// a music file's payload behind its beat list, on the loader's thread.

#include "datarows.h"
#include "musicfiles.h"
#include "peakloader.h"
#include "peakpyramid.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// Interleaved stereo samples from -1 to 1, the same for a seed.
std::vector<float> randomSamples(qint64 frames, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<float> samples(size_t(frames * 2));
    for (float &sample : samples)
        sample = float(random.generateDouble() * 2.0 - 1.0);
    return samples;
}

// The lowest and highest sample of both channels over frames [first, last).
PeakPyramid::Peak walk(const std::vector<float> &samples, qint64 first, qint64 last)
{
    PeakPyramid::Peak peak{std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest()};
    for (qint64 i = first * 2; i < last * 2; ++i) {
        peak.low = std::min(peak.low, samples[size_t(i)]);
        peak.high = std::max(peak.high, samples[size_t(i)]);
    }
    return peak;
}

// Every block of every level as walked from the samples; the first level's
// blocks hold 16 frames, each level's blocks twice those below, the last
// block of a level what is left.
bool matchesTheSamples(const PeakPyramid &pyramid, const std::vector<float> &samples, QString *wrong)
{
    const qint64 frames = qint64(samples.size() / 2);
    qint64 length = 16;
    for (int level = 0; level < pyramid.levels(); ++level, length *= 2) {
        const std::vector<PeakPyramid::Peak> &blocks = pyramid.level(level);
        if (qint64(blocks.size()) != (frames + length - 1) / length) {
            *wrong = QStringLiteral("level %1 has %2 blocks").arg(level).arg(blocks.size());
            return false;
        }
        for (size_t i = 0; i < blocks.size(); ++i) {
            const PeakPyramid::Peak expected = walk(samples, qint64(i) * length, std::min(frames, qint64(i + 1) * length));
            if (blocks[i].low != expected.low || blocks[i].high != expected.high) {
                *wrong = QStringLiteral("level %1 block %2: %3 to %4, the samples %5 to %6").arg(level).arg(i)
                        .arg(double(blocks[i].low)).arg(double(blocks[i].high))
                        .arg(double(expected.low)).arg(double(expected.high));
                return false;
            }
        }
    }
    return true;
}

} // namespace

class PeakPyramidTest : public QObject
{
    Q_OBJECT

private slots:
    void everyBlockOfEveryLevelHoldsItsSamplesLowestAndHighest_data();
    void everyBlockOfEveryLevelHoldsItsSamplesLowestAndHighest();
    void aColumnsPeakCoversItsFramesFromTheLevelItAsksFor();
    void levelForAColumnIsTheCoarsestWhoseBlocksFit_data();
    void levelForAColumnIsTheCoarsestWhoseBlocksFit();
    void theLoaderReadsThePayloadBehindTheBeatListOnItsOwnThread();
    void aFileThatCannotBeReadGivesAnEmptyPyramidAndWhy();
};

void PeakPyramidTest::everyBlockOfEveryLevelHoldsItsSamplesLowestAndHighest_data()
{
    // Levels until one block holds everything: ceil(log2(blocks of 16)) + 1.
    addRows<qint64, int>({"frames", "levels"}, {{"one frame", 1, 1}, {"one block", 16, 1}, {"a block and a frame", 17, 2},
                                                {"a power of two", 16 * 1024, 11}, {"uneven", 100003, 14}}); // 6251 blocks
}

void PeakPyramidTest::everyBlockOfEveryLevelHoldsItsSamplesLowestAndHighest()
{
    QFETCH(qint64, frames);
    QFETCH(int, levels);
    const std::vector<float> samples = randomSamples(frames, quint32(frames));
    // Built in one go, and in runs of 1 to 99 frames.
    PeakPyramid::Builder builder;
    QRandomGenerator random(11);
    for (qint64 done = 0; done < frames;) {
        const qint64 run = std::min<qint64>(frames - done, random.bounded(1, 100));
        builder.add(samples.data() + done * 2, run);
        done += run;
    }
    for (const PeakPyramid &pyramid : {PeakPyramid::fromFrames(samples.data(), frames), builder.finish()}) {
        QCOMPARE(pyramid.frames(), frames);
        QCOMPARE(pyramid.levels(), levels);
        QCOMPARE(pyramid.level(levels - 1).size(), size_t(1));
        QString wrong;
        QVERIFY2(matchesTheSamples(pyramid, samples, &wrong), qPrintable(wrong));
    }
}

void PeakPyramidTest::aColumnsPeakCoversItsFramesFromTheLevelItAsksFor()
{
    const qint64 frames = 40000;
    const std::vector<float> samples = randomSamples(frames, 3);
    const PeakPyramid pyramid = PeakPyramid::fromFrames(samples.data(), frames);
    QRandomGenerator random(5);
    for (int i = 0; i < 2000; ++i) {
        const int level = random.bounded(pyramid.levels());
        const qint64 length = qint64(16) << level;
        const qint64 first = random.bounded(-1000, int(frames));
        const qint64 last = first + random.bounded(1, 5000);
        // The blocks that hold any frame of the range, clipped to the payload.
        const qint64 from = std::max<qint64>(0, first) / length * length;
        const qint64 to = std::min(frames, (std::min(last, frames) + length - 1) / length * length);
        PeakPyramid::Peak peak{};
        const bool any = pyramid.peak(first, last, level, &peak);
        QCOMPARE(any, last > 0);
        if (!any)
            continue;
        const PeakPyramid::Peak expected = walk(samples, from, to);
        QCOMPARE(peak.low, expected.low);
        QCOMPARE(peak.high, expected.high);
    }
    PeakPyramid::Peak peak{};
    QVERIFY(!pyramid.peak(frames, frames + 100, 0, &peak));
    QVERIFY(!pyramid.peak(-50, 0, 0, &peak));
}

void PeakPyramidTest::levelForAColumnIsTheCoarsestWhoseBlocksFit_data()
{
    // Blocks of 16, 32, 64 ... frames; 100000 frames make 14 levels. For 1000
    // frames 512 fits, 1024 does not.
    addRows<double, int>({"framesPerColumn", "level"}, {{"less than a block", 3.0, 0}, {"just under two blocks", 31.9, 0},
                                                        {"two blocks", 32.0, 1}, {"1000 frames", 1000.0, 5},
                                                        {"beyond the top", 1.0e9, 13}});
}

void PeakPyramidTest::levelForAColumnIsTheCoarsestWhoseBlocksFit()
{
    QFETCH(double, framesPerColumn);
    QFETCH(int, level);
    const std::vector<float> samples = randomSamples(100000, 1);
    const PeakPyramid pyramid = PeakPyramid::fromFrames(samples.data(), 100000);
    QCOMPARE(pyramid.levelFor(framesPerColumn), level);
}

void PeakPyramidTest::theLoaderReadsThePayloadBehindTheBeatListOnItsOwnThread()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // 300001 frames: more than one read of the file, and a partial frame after them.
    const qint64 frames = 300001;
    const std::vector<float> samples = randomSamples(frames, 9);
    QByteArray bytes = MusicFiles::head(3, {500, 1000, 1500});
    for (const float sample : samples) {
        char le[4];
        qToLittleEndian(sample, le);
        bytes.append(le, 4);
    }
    bytes.append("\1\2\3", 3);
    const QString path = dir.filePath(QStringLiteral("music.bmm"));
    QVERIFY(MusicFiles::write(path, bytes));

    PeakLoader loader;
    QSignalSpy loaded(&loader, &PeakLoader::loaded);
    loader.load(path);
    QVERIFY(loaded.wait(30000));
    QVERIFY(loader.pyramid());
    QVERIFY(loader.error().isEmpty());
    QCOMPARE(loader.pyramid()->frames(), frames);
    QString wrong;
    QVERIFY2(matchesTheSamples(*loader.pyramid(), samples, &wrong), qPrintable(wrong));
}

void PeakPyramidTest::aFileThatCannotBeReadGivesAnEmptyPyramidAndWhy()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PeakLoader loader;
    QSignalSpy loaded(&loader, &PeakLoader::loaded);
    loader.load(dir.filePath(QStringLiteral("missing.bmm")));
    QVERIFY(loaded.wait(30000));
    QVERIFY(loader.pyramid());
    QCOMPARE(loader.pyramid()->levels(), 0);
    QVERIFY(loader.error().contains(QStringLiteral("missing.bmm")));

    // A folder is no music file either; and a loader that goes while it
    // loads waits for its thread.
    auto going = std::make_unique<PeakLoader>();
    going->load(dir.path());
    going.reset();
}

QTEST_GUILESS_MAIN(PeakPyramidTest)
#include "tst_peakpyramid.moc"
