// The studio's timeline, with no window: the waveform's peak pyramid made
// from a 38 s and a 10-minute music file (time, and the memory it holds),
// the strip's CPU cost per frame at 1280x720 at the whole-show zoom and the
// closest (drawn again, as when the view or the beats change, and with only
// the playhead moving), and a save of edited beats into the 10-minute file.
// Prints rows for bench/run-bench.

#include "beatlistwriter.h"
#include "beatverdicts.h"
#include "benchrows.h"
#include "musicfile.h"
#include "peakpyramid.h"
#include "showtime.h"
#include "timelinestrip.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtEndian>

#include <cmath>
#include <vector>

namespace {

constexpr int builds = 5;
constexpr int frames = 300;
constexpr int saves = 5;

int fail(const QString &why)
{
    QTextStream(stderr) << "timelinebench: " << why << '\n';
    return 1;
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// A music file of some seconds: a beat list of a beat every half second,
// then a tone that swells and fades, written a second at a time.
bool writeMusic(const QString &path, int seconds, QList<int> *beats)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    beats->clear();
    for (int beat = 250; beat < MusicFile::clockAtSeconds(seconds); beat += 250)
        *beats << beat;
    if (file.write(MusicFile::beatListBytes(*beats)) < 0)
        return false;
    std::vector<char> second(size_t(MusicFile::sampleRate) * MusicFile::bytesPerFrame);
    for (int s = 0; s < seconds; ++s) {
        for (int i = 0; i < MusicFile::sampleRate; ++i) {
            const double t = double(s) + double(i) / MusicFile::sampleRate;
            const float sample = float(std::sin(2.0 * M_PI * 110.0 * t) * (0.5 + 0.45 * std::sin(t)));
            qToLittleEndian(sample, second.data() + 8 * i);
            qToLittleEndian(-sample, second.data() + 8 * i + 4);
        }
        if (file.write(second.data(), qint64(second.size())) != qint64(second.size()))
            return false;
    }
    return file.flush();
}

void pyramidRows(const QString &path, const QString &name)
{
    std::vector<double> ms;
    qint64 bytes = 0;
    for (int i = 0; i < builds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const PeakPyramid pyramid = PeakPyramid::fromMusicFile(path);
        ms.push_back(msSince(timer));
        bytes = pyramid.bytes();
    }
    BenchRows::print(QStringLiteral("peak pyramid of a %1 track, ms (file in the page cache)").arg(name),
                     QStringLiteral("-"), QStringLiteral("all"), BenchRows::figuresOf(ms));
    BenchRows::printOne(QStringLiteral("peak pyramid of a %1 track, MB held").arg(name), QStringLiteral("-"),
                        QStringLiteral("all"), double(bytes) / 1e6);
}

// The strip's frames over a 1280x720 picture, the playhead moving a frame
// of show time each; the kept image drawn again every frame or never.
void stripRows(const PeakPyramid &peaks, const QList<int> &beats, bool closest)
{
    const QSize window(1280, 720);
    QImage picture(window, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::darkCyan);
    TimelineStrip strip;
    strip.setMusicEnd(ShowTime::fromSeconds(double(peaks.frames()) / MusicFile::sampleRate));
    strip.setWindow(QSizeF(window), 1.0);
    if (closest)
        strip.scale().zoom(0.0, 640.0 * 1.0);
    TimelineStrip::Content content;
    content.peaks = &peaks;
    content.beats = beats;
    content.verdicts = judgeBeats(beats);
    content.loopStart = 5.0;
    content.loopEnd = 7.5;
    const QString zoom = closest ? QStringLiteral("the closest zoom (0.5 s)") : QStringLiteral("the whole show");
    for (const bool again : {true, false}) {
        std::vector<double> ms;
        for (int frame = 0; frame < frames; ++frame) {
            if (again)
                ++content.revision;
            const double showTime = strip.scale().start() + strip.scale().span() * frame / frames;
            QElapsedTimer timer;
            timer.start();
            QPainter painter(&picture);
            strip.paint(painter, content, showTime);
            painter.end();
            ms.push_back(msSince(timer));
        }
        BenchRows::print(QStringLiteral("timeline strip at %1, %2, ms a frame")
                         .arg(zoom, again ? QStringLiteral("drawn again") : QStringLiteral("playhead only")),
                         BenchRows::sizeText(window.width(), window.height()), QStringLiteral("all"),
                         BenchRows::figuresOf(ms));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(QStringLiteral("no temporary folder"));
    const QString shortTrack = dir.filePath(QStringLiteral("38s.bmm"));
    const QString longTrack = dir.filePath(QStringLiteral("10min.bmm"));
    QList<int> shortBeats;
    QList<int> longBeats;
    if (!writeMusic(shortTrack, 38, &shortBeats) || !writeMusic(longTrack, 600, &longBeats))
        return fail(QStringLiteral("cannot write the music files in %1").arg(dir.path()));

    pyramidRows(shortTrack, QStringLiteral("38 s"));
    pyramidRows(longTrack, QStringLiteral("10-minute"));

    const PeakPyramid peaks = PeakPyramid::fromMusicFile(shortTrack);
    stripRows(peaks, shortBeats, false);
    stripRows(peaks, shortBeats, true);

    // A save: the head rewritten, 212 MB of audio copied and synced, renamed.
    std::vector<double> ms;
    for (int i = 0; i < saves; ++i) {
        QList<int> edited = longBeats;
        edited[i] += 1;
        MusicFile::FileStamp stamp = MusicFile::FileStamp::of(longTrack);
        QElapsedTimer timer;
        timer.start();
        const QString problem = MusicFile::rewriteBeatList(longTrack, edited, stamp, &stamp);
        if (!problem.isEmpty())
            return fail(problem);
        ms.push_back(msSince(timer));
    }
    BenchRows::print(QStringLiteral("beats saved into a 10-minute track, ms"), QStringLiteral("-"),
                     QStringLiteral("all"), BenchRows::figuresOf(ms));
    return 0;
}
