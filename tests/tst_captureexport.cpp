// The capture tool's output for publishing, editing and archiving: smooth
// edges from supersampling and motion blur, averaged in linear light; the
// codecs and containers with their colours and sound; and captures split
// into ranges that join into exactly the whole show.

#include "datarows.h"
#include "capturerun.h"
#include "musicfiles.h"

#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>

using namespace CaptureRun;

namespace {

// The picture's 8-bit values stand for light: the scene raises the light to
// the power 0.4545, so value v is the light (v / 255)^(1 / 0.4545), and an
// average of light is the value whose rounding span holds it:
// floor(255 * light^0.4545 + 1/2). Worked out here in double precision;
// where the average lies within a millionth of full light of a span's edge,
// either value is right, as the capture sums light in whole millionths.
int valueOfLight(double light)
{
    return int(std::floor(255.0 * std::pow(std::max(light, 0.0), 0.4545) + 0.5));
}

// How many colour values of a made picture are not the average in light of
// several frames of one size, each pixel taking a scale x scale block of each.
int valuesOffTheAverageInLight(const QImage &made, const QList<QImage> &frames, int scale)
{
    const auto light = [](int value) { return std::pow(value / 255.0, 1.0 / 0.4545); };
    const double samples = frames.size() * scale * scale;
    int off = made.size() * scale == frames.first().size() ? 0 : made.width() * made.height() * 3;
    for (int y = 0; y < made.height() && !off; ++y) {
        for (int x = 0; x < made.width(); ++x) {
            std::array<double, 3> sums{};
            for (const QImage &frame : frames)
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        const QRgb pixel = frame.pixel(x * scale + dx, y * scale + dy);
                        sums[0] += light(qRed(pixel));
                        sums[1] += light(qGreen(pixel));
                        sums[2] += light(qBlue(pixel));
                    }
            const QRgb pixel = made.pixel(x, y);
            const std::array<int, 3> values{qRed(pixel), qGreen(pixel), qBlue(pixel)};
            for (size_t c = 0; c < 3; ++c) {
                const double mean = sums[c] / samples;
                off += values[c] < valueOfLight(mean - 1e-6) || values[c] > valueOfLight(mean + 1e-6);
            }
        }
    }
    return off;
}

int differingPixels(const QImage &a, const QImage &b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            differing += a.pixel(x, y) != b.pixel(x, y);
    return differing;
}

// The one PNG frame a capture wrote into a folder.
QImage onlyFrame(const QString &folder)
{
    const QMap<QString, QImage> frames = framesIn(folder);
    return frames.size() == 1 ? frames.first() : QImage();
}

// A picture's bytes as 4:2:0 video in BT.709 colours, limited range, each
// chroma sample level with the left of its two columns: the two rows
// averaged, the columns weighted 1/4, 1/2, 1/4.
QByteArray yuv420(const QImage &frame)
{
    const int width = frame.width();
    const int height = frame.height();
    const auto rgb = [&](int x, int y) {
        const QRgb pixel = frame.pixel(std::clamp(x, 0, width - 1), y);
        return std::array<double, 3>{qRed(pixel) / 255.0, qGreen(pixel) / 255.0, qBlue(pixel) / 255.0};
    };
    const auto luma = [](const std::array<double, 3> &c) { return 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]; };
    const auto byte = [](double value) { return char(quint8(std::floor(value + 0.5))); };

    QByteArray bytes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bytes += byte(16.0 + 219.0 * luma(rgb(x, y)));
    for (const bool red : {false, true}) {
        for (int y = 0; y < height; y += 2) {
            for (int x = 0; x < width; x += 2) {
                std::array<double, 3> c{};
                for (int i = 0; i < 3; ++i)
                    c[size_t(i)] = 0.125 * (rgb(x - 1, y)[size_t(i)] + rgb(x - 1, y + 1)[size_t(i)]
                                            + rgb(x + 1, y)[size_t(i)] + rgb(x + 1, y + 1)[size_t(i)])
                                   + 0.25 * (rgb(x, y)[size_t(i)] + rgb(x, y + 1)[size_t(i)]);
                const double difference = red ? (c[0] - luma(c)) / 1.5748 : (c[2] - luma(c)) / 1.8556;
                bytes += byte(128.0 + 224.0 * difference);
            }
        }
    }
    return bytes;
}

// The RGB bytes of PNG frames one after the other, in the order of their names.
QByteArray rgbBytes(const QMap<QString, QImage> &frames)
{
    QByteArray bytes;
    for (const QImage &frame : frames)
        for (int y = 0; y < frame.height(); ++y)
            bytes += QByteArray(reinterpret_cast<const char *>(frame.constScanLine(y)), frame.width() * 3);
    return bytes;
}

// ffmpeg's concat demuxer joining videos in order, by hand (capture --join does
// the same, checking the parts first).
bool join(const QString &folder, const QStringList &parts, const QStringList &codecs, const QString &joined)
{
    QFile list(QDir(folder).filePath(QStringLiteral("parts.txt")));
    if (!list.open(QIODevice::WriteOnly))
        return false;
    for (const QString &part : parts)
        list.write("file '" + part.toUtf8() + "'\n");
    list.close();
    return ProcessRun::runTool(QStringLiteral("ffmpeg"),
                               QStringList{"-v", "error", "-f", "concat", "-safe", "0", "-i", list.fileName()}
                               + codecs + QStringList{QDir(folder).filePath(joined)}).ok();
}

} // namespace

class CaptureExportTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void settingsThatAverageNothingGiveTheFramesAsDrawn_data();
    void settingsThatAverageNothingGiveTheFramesAsDrawn();
    void supersampleTwoIsTheDoubleSizeFrameAveragedInLight();
    void edgePixelsLieBetweenTheirSamples();
    void blurredFrameIsTheAverageInLightOfItsSubframes();

    void videoHasItsCodecSizeFramesAndSound_data();
    void videoHasItsCodecSizeFramesAndSound();
    void ffv1FramesAreExactlyThePngFrames();
    void videoColoursAreBt709LimitedRange();
    void musicWithoutSoundGivesOneWarning_data();
    void musicWithoutSoundGivesOneWarning();

    void rangesJoinIntoExactlyTheWholeShow();

private:
    // Captures PNG frames into a new folder and returns it.
    QString frames(const QString &name, const QStringList &arguments);
    // Captures a video into an .mkv of its own and decodes it.
    static QByteArray decodedVideo(const QStringList &arguments, const QStringList &decoding);

    QTemporaryDir m_dir;
};

void CaptureExportTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeMusic(m_dir.filePath(QStringLiteral("music.bmm")), {100, 200}, 0.5, 40.0));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe is missing");
}

QString CaptureExportTest::frames(const QString &name, const QStringList &arguments)
{
    const QString folder = m_dir.filePath(name);
    const Run run = CaptureRun::run(arguments + QStringList{"--png", folder}, m_dir.path());
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.errors));
    return run.exitCode == 0 ? folder : QString();
}

void CaptureExportTest::settingsThatAverageNothingGiveTheFramesAsDrawn_data()
{
    // Show times 6 to 9: the walls seen from the second shot.
    addRows<QStringList, QStringList, int>({"stretch", "setting", "frames"},
            {{"--supersample 1", QStringList{"--fps", "2", "--from", "6", "--to", "9"},
              QStringList{"--supersample", "1"}, 8},
             // Show times 11 to 13: the camera spinning.
             {"--shutter 0", QStringList{"--fps", "2", "--from", "11", "--to", "13"}, QStringList{"--shutter", "0"}, 5},
             // From show time 27 the camera rests, and the fade begins at 29: frames
             // of 27.2 to 28.6, each open for all its 200 ms (0.16 of show time).
             {"a still picture under --shutter 1", QStringList{"--fps", "5", "--from", "27.2", "--to", "28.6"},
              QStringList{"--shutter", "1"}, 9}});
}

void CaptureExportTest::settingsThatAverageNothingGiveTheFramesAsDrawn()
{
    QFETCH(QStringList, stretch);
    QFETCH(QStringList, setting);
    QFETCH(int, frames);

    stretch << "--size" << "64x36";
    const QString plain = this->frames(QStringLiteral("plain-%1").arg(QTest::currentDataTag()), stretch);
    const QString set = this->frames(QStringLiteral("set-%1").arg(QTest::currentDataTag()), stretch + setting);
    QVERIFY(!plain.isEmpty() && !set.isEmpty());
    QCOMPARE(framesIn(set).size(), frames);
    QVERIFY(framesIn(set) == framesIn(plain));
}

void CaptureExportTest::supersampleTwoIsTheDoubleSizeFrameAveragedInLight()
{
    const QStringList stretch{"--fps", "2", "--from", "6", "--to", "9"};
    const QString smooth = frames(QStringLiteral("smooth"), stretch + QStringList{"--size", "64x36", "--supersample", "2"});
    const QString large = frames(QStringLiteral("large"), stretch + QStringList{"--size", "128x72"});
    QVERIFY(!smooth.isEmpty() && !large.isEmpty());

    const QMap<QString, QImage> smoothed = framesIn(smooth);
    const QMap<QString, QImage> larger = framesIn(large);
    QCOMPARE(smoothed.keys(), larger.keys());
    for (const QString &name : smoothed.keys()) {
        const int off = valuesOffTheAverageInLight(smoothed[name], {larger[name]}, 2);
        QVERIFY2(off == 0, qPrintable(QStringLiteral("%1: %2 values off").arg(name).arg(off)));
    }
}

void CaptureExportTest::edgePixelsLieBetweenTheirSamples()
{
    // Where a wall's edge crosses a pixel, the pixel is neither the wall nor
    // what lies beyond: its green lies strictly between the darkest and the
    // brightest of the samples it covers.
    const QStringList moment{"--fps", "2", "--from", "7", "--to", "7.5"};
    const QImage smooth = onlyFrame(frames(QStringLiteral("edge"), moment + QStringList{"--size", "64x36",
                                                                                         "--supersample", "2"}));
    const QImage large = onlyFrame(frames(QStringLiteral("edge-large"), moment + QStringList{"--size", "128x72"}));
    QVERIFY(!smooth.isNull() && !large.isNull());
    int edges = 0;
    for (int y = 0; y < smooth.height(); ++y) {
        for (int x = 0; x < smooth.width(); ++x) {
            int darkest = 255, brightest = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const int green = qGreen(large.pixel(2 * x + dx, 2 * y + dy));
                    darkest = std::min(darkest, green);
                    brightest = std::max(brightest, green);
                }
            if (brightest - darkest < 40)
                continue;
            ++edges;
            const int green = qGreen(smooth.pixel(x, y));
            QVERIFY2(green > darkest && green < brightest,
                     qPrintable(QStringLiteral("pixel %1,%2: %3 outside %4..%5")
                                .arg(x).arg(y).arg(green).arg(darkest).arg(brightest)));
        }
    }
    QVERIFY2(edges >= 10, qPrintable(QString::number(edges)));
}

void CaptureExportTest::blurredFrameIsTheAverageInLightOfItsSubframes()
{
    // At 10 frames a second a frame lasts 100 ms of the show's timer. Frame
    // 150 (15000 ms, show time 12, the camera spinning) with the shutter open
    // all the frame and 2 sub-frames is made of the moments 15025 and 15075
    // ms: the middles of its halves.
    const QStringList size{"--size", "64x36"};
    const QImage blurred = onlyFrame(frames(QStringLiteral("blurred"), size + QStringList{
            "--fps", "10", "--from", "12", "--to", "12.01", "--shutter", "1", "--subframes", "2"}));
    const QImage unblurred = onlyFrame(frames(QStringLiteral("sharp"), size + QStringList{
            "--fps", "10", "--from", "12", "--to", "12.01"}));
    // At 1000 frames a second, frame k is the timer's millisecond k.
    const QImage first = onlyFrame(frames(QStringLiteral("sub-1"), size + QStringList{
            "--fps", "1000", "--from", showSeconds(15024.5 / 1250.0), "--to", showSeconds(15025.5 / 1250.0)}));
    const QImage second = onlyFrame(frames(QStringLiteral("sub-2"), size + QStringList{
            "--fps", "1000", "--from", showSeconds(15074.5 / 1250.0), "--to", showSeconds(15075.5 / 1250.0)}));
    QVERIFY(!blurred.isNull() && !unblurred.isNull() && !first.isNull() && !second.isNull());

    const int off = valuesOffTheAverageInLight(blurred, {first, second}, 1);
    QVERIFY2(off == 0, qPrintable(QStringLiteral("%1 values off").arg(off)));
    // The camera moved: the blur shows.
    QVERIFY2(differingPixels(blurred, unblurred) > 64 * 36 / 4,
             qPrintable(QString::number(differingPixels(blurred, unblurred))));
}

void CaptureExportTest::videoHasItsCodecSizeFramesAndSound_data()
{
    // x264 and x265 write their settings into the stream; the preset shows
    // in how finely they search (subme).
    // The default: superfast's search (subme 1) with the macroblock tree.
    addRows<QStringList, QString, QString, QString, QString>({"arguments", "codec", "pixels", "sound", "settings"},
            {{"h264 in mp4", QStringList{"out.mp4"}, "h264", "yuv420p", "aac", "subme=1"},
             {"h264 in mkv", QStringList{"out.mkv"}, "h264", "yuv420p", "pcm_f32le", "mbtree=1"},
             {"h264 in mov, crf 30", QStringList{"--crf", "30", "out.mov"}, "h264", "yuv420p", "aac", "crf=30.0"},
             {"h264 in mp4, preset slow", QStringList{"--preset", "slow", "out.mp4"}, "h264", "yuv420p", "aac",
              "subme=8"},
             {"h265 in mp4", QStringList{"--codec", "h265", "out.mp4"}, "hevc", "yuv420p", "aac", "subme=1"},
             {"h265 in mkv, preset ultrafast", QStringList{"--codec", "h265", "--preset", "ultrafast", "out.mkv"},
              "hevc", "yuv420p", "pcm_f32le", "subme=0"},
             {"ffv1 in mkv", QStringList{"--codec", "ffv1", "out.mkv"}, "ffv1", "bgr0", "pcm_f32le", ""}});
}

void CaptureExportTest::videoHasItsCodecSizeFramesAndSound()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, codec);
    QFETCH(QString, pixels);
    QFETCH(QString, sound);
    QFETCH(QString, settings);

    // Show seconds 2 to 4 at 5 frames a second: frames 13 to 24, 2.4 s.
    QTemporaryDir folder;
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("music.bmm")), folder.filePath(QStringLiteral("music.bmm"))));
    const Run run = CaptureRun::run(QStringList{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "4"} + arguments,
                                    folder.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QString video = folder.filePath(arguments.last());
    QCOMPARE(contents(folder.path()), QStringList({"music.bmm", arguments.last()}));
    if (!settings.isEmpty()) {
        QFile file(video);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().contains(' ' + settings.toLatin1() + ' '), qPrintable(settings));
    }

    const QJsonObject probed = probe(video);
    const QJsonObject picture = stream(probed, QStringLiteral("video"));
    QCOMPARE(picture.value("codec_name").toString(), codec);
    QCOMPARE(picture.value("pix_fmt").toString(), pixels);
    QCOMPARE(picture.value("width").toInt(), 64);
    QCOMPARE(picture.value("height").toInt(), 36);
    QCOMPARE(picture.value("r_frame_rate").toString(), QStringLiteral("5/1"));
    QCOMPARE(picture.value("nb_read_frames").toString(), QStringLiteral("12"));
    QCOMPARE(picture.value("color_primaries").toString(), QStringLiteral("bt709"));
    if (pixels == QLatin1String("yuv420p")) {
        QCOMPARE(picture.value("color_space").toString(), QStringLiteral("bt709"));
        QCOMPARE(picture.value("color_range").toString(), QStringLiteral("tv"));
    }
    // The sound track: the stretch's samples exactly. AAC codes whole blocks
    // of 1024 samples, the last one filled up, and the file says how much of
    // it to play.
    const QJsonObject soundTrack = stream(probed, QStringLiteral("audio"));
    QCOMPARE(soundTrack.value("codec_name").toString(), sound);
    QCOMPARE(soundTrack.value("channels").toInt(), 2);
    QCOMPARE(soundTrack.value("sample_rate").toString(), QStringLiteral("44100"));
    const QByteArray samples = decoded(video, {"-map", "0:a", "-f", "f32le"});
    const int stretchBytes = int(2.4 * 44100) * 8;
    if (sound == QLatin1String("aac")) {
        QCOMPARE(number(soundTrack, "duration"), 2.4);
        QVERIFY2(samples.size() >= stretchBytes && samples.size() < stretchBytes + 1024 * 8,
                 qPrintable(QString::number(samples.size())));
    } else {
        QCOMPARE(samples.size(), stretchBytes);
    }
    QVERIFY(!MusicFiles::allZero(samples));
}

QByteArray CaptureExportTest::decodedVideo(const QStringList &arguments, const QStringList &decoding)
{
    QTemporaryDir folder;
    const Run run = CaptureRun::run(arguments + QStringList{"video.mkv"}, folder.path());
    if (run.exitCode != 0)
        qWarning("%s", qPrintable(run.errors));
    return run.exitCode == 0 ? decoded(folder.filePath(QStringLiteral("video.mkv")), decoding) : QByteArray();
}

void CaptureExportTest::ffv1FramesAreExactlyThePngFrames()
{
    const QStringList stretch{"--size", "64x36", "--fps", "5", "--from", "2", "--to", "9"};
    const QByteArray expected = rgbBytes(framesIn(frames(QStringLiteral("archive-frames"), stretch)));
    QCOMPARE(expected.size(), 44 * 64 * 36 * 3);
    const QByteArray decodedFrames = decodedVideo(stretch + QStringList{"--codec", "ffv1"},
                                                  {"-map", "0:v", "-f", "rawvideo", "-pix_fmt", "rgb24"});
    QCOMPARE(decodedFrames.size(), expected.size());
    QVERIFY(decodedFrames == expected);
}

void CaptureExportTest::videoColoursAreBt709LimitedRange()
{
    // At CRF 0 the encoder keeps the picture it is given exactly, so what
    // decodes is what the capture made of the frames.
    const QStringList stretch{"--size", "64x36", "--fps", "2", "--from", "1", "--to", "26"};
    const QString png = frames(QStringLiteral("colour-frames"), stretch);
    QVERIFY(!png.isEmpty());
    const QByteArray made = decodedVideo(stretch + QStringList{"--crf", "0"}, {"-f", "rawvideo", "-pix_fmt", "yuv420p"});

    QByteArray expected;
    for (const QImage &frame : framesIn(png))
        expected += yuv420(frame);
    QCOMPARE(made.size(), expected.size());
    // The GL computes in single precision: a value halfway between two bytes
    // may go either way.
    int exact = 0;
    for (int i = 0; i < made.size(); ++i) {
        const int difference = std::abs(int(quint8(made[i])) - int(quint8(expected[i])));
        QVERIFY2(difference <= 1, qPrintable(QStringLiteral("byte %1: %2, not %3")
                                             .arg(i).arg(quint8(made[i])).arg(quint8(expected[i]))));
        exact += difference == 0;
    }
    QVERIFY2(exact > made.size() * 99 / 100, qPrintable(QString::number(exact)));
}

void CaptureExportTest::musicWithoutSoundGivesOneWarning_data()
{
    // The count promises 68 beats and the file ends after 24: the show reads
    // every byte as beats and plays nothing, so the track is silent.
    addRows<QByteArray, QString, bool>({"music", "warning", "soundTrack"},
            {{"no music file", QByteArray(), "no music file", false},
             {"music with no sound", MusicFiles::head(68, QVector<int>(24, 500).toList()),
              "music.bmm holds no sound", true}});
}

void CaptureExportTest::musicWithoutSoundGivesOneWarning()
{
    QFETCH(QByteArray, music);
    QFETCH(QString, warning);
    QFETCH(bool, soundTrack);
    QTemporaryDir folder;
    if (!music.isEmpty())
        QVERIFY(MusicFiles::write(folder.filePath(QStringLiteral("music.bmm")), music));
    const Run run = CaptureRun::run({"--size", "64x36", "--fps", "5", "--to", "1", "out.mp4"}, folder.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QStringList warnings = run.errors.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts)
                                         .filter(QStringLiteral("warning"));
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().startsWith(QLatin1String("capture: warning: ")) && warnings.first().contains(warning),
             qPrintable(warnings.first()));
    QVERIFY2(soundTrack || warnings.first().contains(QLatin1String("no sound track")), qPrintable(warnings.first()));
    const QJsonObject probed = probe(folder.filePath(QStringLiteral("out.mp4")));
    // Show seconds 0 to 1 are 1.25 s of timer: at 5 a second, frames 0 to 6 (1.2 s).
    QCOMPARE(stream(probed, QStringLiteral("video")).value("nb_read_frames").toString(), QStringLiteral("7"));
    QCOMPARE(!stream(probed, QStringLiteral("audio")).isEmpty(), soundTrack);
}

void CaptureExportTest::rangesJoinIntoExactlyTheWholeShow()
{
    // The whole show at 5 frames a second is 192 frames; split at show
    // second 15 it is frames 0 to 93 and 94 to 191. Lossless H.264, so that
    // what decodes can be compared byte for byte.
    const QStringList look{"--size", "32x18", "--fps", "5", "--crf", "0"};
    const QString folder = m_dir.path();
    for (const QStringList &range : {QStringList{"whole.mkv"}, QStringList{"--to", "15", "part-1.mkv"},
                                     QStringList{"--from", "15", "part-2.mkv"}}) {
        const Run run = CaptureRun::run(look + range, folder);
        QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    }
    const QStringList parts{"part-1.mkv", "part-2.mkv"};
    // Joined by hand: the pictures copied, the sound as it is, or
    // made AAC for an MP4.
    QVERIFY(join(folder, parts, {"-c", "copy"}, QStringLiteral("joined.mkv")));
    QVERIFY(join(folder, parts, {"-c:v", "copy", "-c:a", "aac", "-b:a", "192k"}, QStringLiteral("joined.mp4")));

    const QString whole = QDir(folder).filePath(QStringLiteral("whole.mkv"));
    const QJsonObject wholeProbe = probe(whole);
    QCOMPARE(stream(wholeProbe, QStringLiteral("video")).value("nb_read_frames").toString(), QStringLiteral("192"));
    const QStringList picture{"-map", "0:v", "-f", "rawvideo", "-pix_fmt", "yuv420p"};
    const QByteArray wholePicture = decoded(whole, picture);
    const int frameBytes = 32 * 18 * 3 / 2;
    QCOMPARE(wholePicture.size(), 192 * frameBytes);

    for (const QString &joined : {QStringLiteral("joined.mkv"), QStringLiteral("joined.mp4")}) {
        const QString path = QDir(folder).filePath(joined);
        QCOMPARE(stream(probe(path), QStringLiteral("video")).value("nb_read_frames").toString(),
                 QStringLiteral("192"));
        const QByteArray joinedPicture = decoded(path, picture);
        QCOMPARE(joinedPicture.size(), wholePicture.size());
        QVERIFY(joinedPicture.left(frameBytes) == wholePicture.left(frameBytes));
        QVERIFY(joinedPicture.right(frameBytes) == wholePicture.right(frameBytes));
        QVERIFY(joinedPicture == wholePicture);
    }
    // Every sample of the sound, none missing and none twice.
    const QByteArray wholeSound = decoded(whole, {"-map", "0:a", "-f", "f32le"});
    QCOMPARE(wholeSound.size(), int(38.4 * 44100) * 8);
    QVERIFY(decoded(QDir(folder).filePath(QStringLiteral("joined.mkv")), {"-map", "0:a", "-f", "f32le"}) == wholeSound);
}

QTEST_MAIN(CaptureExportTest)
#include "tst_captureexport.moc"
