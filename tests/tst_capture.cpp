// The capture tool: its frames are the show window's frames, its video has
// the show's length, frames and sound, and it leaves nothing behind when it
// cannot finish.

#include "datarows.h"
#include "capturerun.h"
#include "windowprobe.h"

#include "showtime.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>

namespace {

using namespace CaptureRun;

// The loudest sample of a video's sound, in dB below full scale.
double loudestSound(const QString &video)
{
    const ProcessRun::Result detected = ProcessRun::runTool(QStringLiteral("ffmpeg"),
            {"-hide_banner", "-nostats", "-i", video, "-map", "0:a", "-af", "volumedetect", "-f", "null", "-"});
    const QRegularExpressionMatch match
            = QRegularExpression(QStringLiteral("max_volume: (-?[\\d.]+|-inf) dB")).match(detected.errText());
    if (!detected.ok() || !match.hasMatch())
        return qQNaN();
    return match.captured(1) == QLatin1String("-inf") ? -HUGE_VAL : match.captured(1).toDouble();
}

// A shell script in a folder standing for ffmpeg.
bool writeFakeFfmpeg(const QString &folder, const QByteArray &body)
{
    QFile script(QDir(folder).filePath(QStringLiteral("ffmpeg")));
    return script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\n" + body + "\n") > 0
            && script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
}

// An ffmpeg that takes nothing and writes nothing, ever: it leaves its
// process id in a file and sleeps.
QProcessEnvironment withStalledFfmpeg(const QString &bin, const QString &pidFile)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (writeFakeFfmpeg(bin, "echo $$ >" + pidFile.toLocal8Bit() + "\nexec /bin/sleep 600"))
        environment.insert(QStringLiteral("PATH"), bin);
    return environment;
}

// Waits until a running capture's progress line says what is looked for,
// and keeps what it said.
bool waitForProgress(QProcess &capture, const QRegularExpression &progress, QString &said)
{
    QElapsedTimer clock;
    clock.start();
    while (!progress.match(said).hasMatch() && clock.elapsed() < 60000 && capture.state() == QProcess::Running) {
        capture.waitForReadyRead(1000);
        said += QString::fromLocal8Bit(capture.readAllStandardError());
    }
    return progress.match(said).hasMatch();
}

// Whether the process a file names is gone (reaped by its parent).
bool processIsGone(const QString &pidFile)
{
    QFile file(pidFile);
    const pid_t pid = file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void capturedFrameIsTheFrameTheWindowDraws_data();
    void capturedFrameIsTheFrameTheWindowDraws();
    void pngFramesAreNamedAfterTheirFrameInTheShow();
    void videoHasTheFramesLengthAndSoundOfItsStretch_data();
    void videoHasTheFramesLengthAndSoundOfItsStretch();
    void soundTrackIsTheMusicFromTheFirstFramesMoment();

    void framesWithoutADisplayAreTheFramesUnderX();
    void noUsableOpenGLIsOneLineAndNothingWritten_data();
    void noUsableOpenGLIsOneLineAndNothingWritten();

    void badOptionsFailWithoutOutput_data();
    void badOptionsFailWithoutOutput();
    void failuresLeaveNothingBehind_data();
    void failuresLeaveNothingBehind();
    void stopLeavesNothingBehind_data();
    void stopLeavesNothingBehind();
    void stalledEncoderIsGivenUpAfterTheStallLimit();

private:
    QTemporaryDir m_dir;
    QString m_music;
};

void CaptureTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_music = m_dir.filePath(QStringLiteral("music.bmm"));
    QVERIFY(writeMusic(m_music, {100, 200}, 0.0, 40.0));
    QVERIFY(writeMusic(m_dir.filePath(QStringLiteral("short.bmm")), {}, 0.0, 10.0));
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(), "ffprobe is missing");
}

void CaptureTest::capturedFrameIsTheFrameTheWindowDraws_data()
{
    // Seconds added to the show time by the keys, to reach every camera segment.
    addRows<float>({"timeAdjustment"}, {{"segment 1", 2.0f}, {"segment 2", 7.0f}, {"segment 3", 12.0f},
                                        {"segment 4", 17.0f}, {"segment 5", 24.0f}, {"still after 27", 28.0f}});
}

void CaptureTest::capturedFrameIsTheFrameTheWindowDraws()
{
    QFETCH(float, timeAdjustment);

    ClockedWindow window;
    QVERIFY(WindowProbe::showAndWaitForFirstFrame(window));
    WindowProbe probe(window);
    probe.timeAdjustment() = timeAdjustment;

    // The capture's frames fall on whole milliseconds of the show timer. Set
    // the window's timer to a reading whose show time, adjustment included,
    // is exactly the show time of a whole millisecond (the float sum is, for
    // most readings), and draw that frame.
    qint64 windowMs = -1;
    qint64 timerMs = -1;
    for (qint64 reading = 1000; reading < 3000 && timerMs < 0; ++reading) {
        const float shown = ShowTime::at(reading, timeAdjustment);
        const qint64 near = qRound64(double(shown) * ShowTime::msPerSecond);
        for (qint64 ms = near - 2; ms <= near + 2 && timerMs < 0; ++ms) {
            if (ShowTime::at(ms) == shown) {
                windowMs = reading;
                timerMs = ms;
            }
        }
    }
    QVERIFY2(timerMs >= 0, "no timer reading gives the show time of a whole millisecond");
    window.advance(windowMs - window.now());
    probe.frame();
    const float showTime = probe.showTime();
    QCOMPARE(showTime, ShowTime::at(timerMs));

    // The screen shows no alpha.
    const QImage drawn = opaque(probe.drawn());
    const QSize pixels = drawn.size();

    // At 1000 frames a second the show's frame k is its timer's millisecond k.
    const QString frames = m_dir.filePath(QStringLiteral("frames-%1").arg(timerMs));
    const Run run = CaptureRun::run({"--size", QStringLiteral("%1x%2").arg(pixels.width()).arg(pixels.height()),
                                "--fps", "1000", "--from", showSeconds(showTime),
                                "--to", showSeconds(double(showTime) + 0.0004), "--png", frames},
                               m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    const QString name = QStringLiteral("frame-%1.png").arg(timerMs, 5, 10, QLatin1Char('0'));
    QCOMPARE(contents(frames), QStringList{name});

    const QImage captured = opaque(QImage(QDir(frames).filePath(name)));
    QCOMPARE(captured.size(), pixels);
    int differing = 0;
    for (int y = 0; y < pixels.height(); ++y)
        differing += std::memcmp(captured.constScanLine(y), drawn.constScanLine(y), size_t(pixels.width()) * 3) != 0;
    QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 rows differ at show time %2")
                                        .arg(differing).arg(double(showTime))));
    // Not a frame that anything would match.
    QVERIFY(captured.pixel(pixels.width() / 2, pixels.height() / 2) != qRgb(0, 0, 0));
}

void CaptureTest::pngFramesAreNamedAfterTheirFrameInTheShow()
{
    // Show seconds 2 to 6 are show-timer milliseconds 2500 to 7500: at 5
    // frames a second, frames 13 (2600 ms) to 37 (7400 ms).
    const QString frames = m_dir.filePath(QStringLiteral("stretch"));
    const Run run = CaptureRun::run({"--size", "64x36", "--fps", "5", "--from", "2", "--to", "6", "--png", frames},
                               m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));

    QStringList expected;
    for (int k = 13; k <= 37; ++k)
        expected << QStringLiteral("frame-%1.png").arg(k, 5, 10, QLatin1Char('0'));
    QCOMPARE(contents(frames), expected);
    qint64 bytes = 0;
    for (const QString &name : qAsConst(expected)) {
        QCOMPARE(QImage(QDir(frames).filePath(name)).size(), QSize(64, 36));
        bytes += QFileInfo(QDir(frames).filePath(name)).size();
    }
    // The progress line's last word on the output's size.
    const QString done = QStringLiteral("frame 25 of 25, ");
    const QString last = run.errors.mid(run.errors.lastIndexOf(done));
    QVERIFY2(last.contains(QStringLiteral(", %1 kB written").arg(bytes / 1000.0, 0, 'f', 1)), qPrintable(last));
    // Show time 5 (6250 ms) is a cut, black on screen, but it is no frame at
    // 5 a second; frame 25 at 4 a second is.
    const QString cut = m_dir.filePath(QStringLiteral("cut"));
    QCOMPARE(CaptureRun::run({"--size", "64x36", "--fps", "4", "--from", "5", "--to", "5.1", "--png", cut},
                        m_dir.path()).exitCode, 0);
    QCOMPARE(contents(cut), QStringList{"frame-00025.png"});
    const QImage black = QImage(QDir(cut).filePath("frame-00025.png"));
    QCOMPARE(black.pixel(32, 18), qRgb(0, 0, 0));
    QVERIFY(!black.hasAlphaChannel());
}

void CaptureTest::videoHasTheFramesLengthAndSoundOfItsStretch_data()
{
    // Show seconds 2 to 6 are show-timer milliseconds 2500 to 7500: at 5
    // frames a second 25 frames, 5 s. The whole show: the last frame it keeps
    // is frame 191 at 38200 ms: 192 frames, 38.4 s, with sound to the end
    // though the music (10 s) is shorter.
    addRows<QStringList, int, double>({"arguments", "frames", "seconds"},
            {{"show seconds 2 to 6", QStringList{"--from", "2", "--to", "6"}, 25, 5.0},
             {"the whole show, longer than its music", QStringList{"--music", "short.bmm"}, 192, 38.4}});
}

void CaptureTest::videoHasTheFramesLengthAndSoundOfItsStretch()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, frames);
    QFETCH(double, seconds);
    const QString video = m_dir.filePath(QStringLiteral("stretch-%1.mp4").arg(frames));
    const Run run = CaptureRun::run(QStringList{"--size", "64x36", "--fps", "5"} + arguments + QStringList{video},
                                    m_dir.path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY2(run.errors.contains(QStringLiteral("frame %1 of %1").arg(frames)), qPrintable(run.errors));

    const QJsonObject probed = probe(video);
    const QJsonObject picture = stream(probed, QStringLiteral("video"));
    const QJsonObject sound = stream(probed, QStringLiteral("audio"));
    QCOMPARE(picture.value("codec_name").toString(), QStringLiteral("h264"));
    QCOMPARE(picture.value("pix_fmt").toString(), QStringLiteral("yuv420p"));
    QCOMPARE(picture.value("width").toInt(), 64);
    QCOMPARE(picture.value("height").toInt(), 36);
    QCOMPARE(picture.value("r_frame_rate").toString(), QStringLiteral("5/1"));
    QCOMPARE(picture.value("nb_read_frames").toString(), QString::number(frames));
    QCOMPARE(number(picture, "duration"), seconds);
    QVERIFY2(!sound.isEmpty(), "no sound track");
    QCOMPARE(sound.value("sample_rate").toString(), QStringLiteral("44100"));
    QCOMPARE(sound.value("channels").toInt(), 2);
    QVERIFY2(std::abs(number(sound, "duration") - seconds) < 0.05, qPrintable(sound.value("duration").toString()));
    QVERIFY2(std::abs(number(probed.value("format").toObject(), "duration") - seconds) < 0.05,
             qPrintable(probed.value("format").toObject().value("duration").toString()));
}

void CaptureTest::soundTrackIsTheMusicFromTheFirstFramesMoment()
{
    // A beat list as long as a second of samples, then two seconds of silence
    // before the tone: read past the list, the sound is silent up to the
    // frame at 2 s (show second 1.6) and loud from it on.
    const QString music = m_dir.filePath(QStringLiteral("late.bmm"));
    QVERIFY(writeMusic(music, QVector<int>(44100 * 2, 1).toList(), 2.0, 3.0));

    const QString before = m_dir.filePath(QStringLiteral("before.mp4"));
    const QString after = m_dir.filePath(QStringLiteral("after.mp4"));
    QCOMPARE(CaptureRun::run({"--size", "32x18", "--fps", "5", "--to", "1.6", "--music", music, before},
                        m_dir.path()).exitCode, 0);
    QCOMPARE(CaptureRun::run({"--size", "32x18", "--fps", "5", "--from", "1.6", "--to", "3.2", "--music", music, after},
                        m_dir.path()).exitCode, 0);
    const double silent = loudestSound(before);
    const double loud = loudestSound(after);
    QVERIFY2(silent < -60.0, qPrintable(QString::number(silent)));
    QVERIFY2(loud > -10.0, qPrintable(QString::number(loud)));
}

void CaptureTest::framesWithoutADisplayAreTheFramesUnderX()
{
    // Frames of every shot: show times 2.4 to 27.2.
    const QStringList frames{"--size", "64x36", "--fps", "1", "--from", "2", "--to", "28"};
    const QString underX = m_dir.filePath(QStringLiteral("under-x"));
    const QString headless = m_dir.filePath(QStringLiteral("headless"));
    const Run x = CaptureRun::run(frames + QStringList{"--png", underX}, m_dir.path());
    QVERIFY2(x.exitCode == 0, qPrintable(x.errors));
    const Run alone = CaptureRun::run(frames + QStringList{"--png", headless}, m_dir.path(), withoutDisplay());
    QVERIFY2(alone.exitCode == 0, qPrintable(alone.errors));

    const QMap<QString, QImage> expected = framesIn(underX);
    const QMap<QString, QImage> drawn = framesIn(headless);
    QCOMPARE(drawn.keys(), expected.keys());
    QCOMPARE(drawn.size(), 32);
    for (const QString &name : expected.keys())
        QVERIFY2(drawn[name] == expected[name], qPrintable(name));
    QVERIFY(drawn.first().pixel(32, 18) != qRgb(0, 0, 0));
}

void CaptureTest::noUsableOpenGLIsOneLineAndNothingWritten_data()
{
    // variable and value take the GL away: libglvnd finds no EGL driver at
    // all, or Mesa offers no more than OpenGL 3.3.
    addRows<bool, QString, QString, QString>({"display", "variable", "value", "tried"},
            {{"no EGL driver", false, "__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/egl.json", "surfaceless"},
             {"older GL without a display", false, "MESA_GL_VERSION_OVERRIDE", "3.3", "EGL device 0"},
             {"older GL under X", true, "MESA_GL_VERSION_OVERRIDE", "3.3", "xcb"}});
}

void CaptureTest::noUsableOpenGLIsOneLineAndNothingWritten()
{
    QFETCH(bool, display);
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(QString, tried);

    QTemporaryDir folder;
    QVERIFY(QFile::copy(m_music, folder.filePath(QStringLiteral("music.bmm"))));
    QProcessEnvironment environment = display ? QProcessEnvironment::systemEnvironment() : withoutDisplay();
    environment.insert(variable, value);
    for (const QStringList &output : {QStringList{"out.mp4"}, QStringList{"--png", "frames"}}) {
        const Run run = CaptureRun::run(QStringList{"--size", "64x36", "--fps", "5", "--to", "1"} + output,
                                   folder.path(), environment);
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.errors.trimmed().split(QLatin1Char('\n'));
        QVERIFY2(lines.size() == 1 && lines.first().startsWith(QLatin1String("capture: no OpenGL 4.1 core context"))
                 && lines.first().contains(tried), qPrintable(run.errors));
        QCOMPARE(contents(folder.path()), QStringList{"music.bmm"});
    }
}

void CaptureTest::badOptionsFailWithoutOutput_data()
{
    addRows<QStringList, QString>({"arguments", "complaint"},
            {{"no output", QStringList{"--size", "64x36"}, "either a video file or --png"},
             {"two outputs", QStringList{"out.mp4", "--png", "frames"}, "either a video file or --png"},
             {"two videos", QStringList{"a.mp4", "b.mp4"}, "one output at a time"},
             {"unknown option", QStringList{"--colour", "red", "out.mp4"}, "colour"},
             {"size not WxH", QStringList{"--size", "large", "out.mp4"}, "--size"},
             {"size zero", QStringList{"--size", "0x36", "out.mp4"}, "--size"},
             {"size too large", QStringList{"--size", "20000x36", "out.mp4"}, "--size"},
             {"odd size for a video", QStringList{"--size", "65x36", "out.mp4"}, "even"},
             {"fps zero", QStringList{"--fps", "0", "out.mp4"}, "--fps"},
             {"fps not whole", QStringList{"--fps", "29.97", "out.mp4"}, "--fps"},
             {"fps past the timer", QStringList{"--fps", "1001", "out.mp4"}, "--fps"},
             {"from negative", QStringList{"--from", "-1", "out.mp4"}, "--from"},
             {"from not a number", QStringList{"--from", "start", "out.mp4"}, "--from"},
             {"to before from", QStringList{"--from", "3", "--to", "2", "out.mp4"}, "later than"},
             {"from past the end", QStringList{"--from", "31", "out.mp4"}, "no frame"},
             {"no frame in the stretch", QStringList{"--fps", "1", "--from", "0.1", "--to", "0.5", "out.mp4"},
              "no frame"},
             {"music for frames", QStringList{"--music", "music.bmm", "--png", "frames"}, "--music"},
             {"codec for frames", QStringList{"--codec", "h265", "--png", "frames"}, "--codec"},
             {"unknown codec", QStringList{"--codec", "vp9", "out.mkv"}, "--codec"},
             {"no container", QStringList{"out"}, ".mp4, .mov or .mkv"},
             {"container not made here", QStringList{"out.webm"}, ".mp4, .mov or .mkv"},
             {"ffv1 in mp4", QStringList{"--codec", "ffv1", "out.mp4"}, "cannot hold it"},
             {"ffv1 in mov", QStringList{"--codec", "ffv1", "out.mov"}, "cannot hold it"},
             {"crf for ffv1", QStringList{"--codec", "ffv1", "--crf", "10", "out.mkv"}, "lossless"},
             {"crf past 51", QStringList{"--crf", "52", "out.mp4"}, "--crf"},
             {"crf negative", QStringList{"--crf", "-1", "out.mp4"}, "--crf"},
             {"unknown preset", QStringList{"--preset", "quick", "out.mp4"}, "--preset"},
             {"preset for ffv1", QStringList{"--codec", "ffv1", "--preset", "fast", "out.mkv"}, "has none"},
             {"preset for frames", QStringList{"--preset", "fast", "--png", "frames"}, "--preset"},
             {"odd size for h265", QStringList{"--codec", "h265", "--size", "64x35", "out.mkv"}, "even"},
             {"supersample 0", QStringList{"--supersample", "0", "out.mp4"}, "--supersample"},
             {"supersample 5", QStringList{"--supersample", "5", "out.mp4"}, "--supersample"},
             {"supersample past the largest side",
              QStringList{"--size", "8192x4320", "--supersample", "3", "out.mp4"}, "beyond 16384"},
             {"shutter past 1", QStringList{"--shutter", "1.5", "out.mp4"}, "--shutter"},
             {"shutter negative", QStringList{"--shutter", "-0.1", "out.mp4"}, "--shutter"},
             {"subframes without shutter", QStringList{"--subframes", "4", "out.mp4"}, "--shutter"},
             {"subframes past 64", QStringList{"--shutter", "0.5", "--subframes", "65", "out.mp4"}, "--subframes"},
             {"stall limit 0", QStringList{"--stall-limit", "0", "out.mp4"}, "--stall-limit"},
             {"part 0", QStringList{"--part", "0/3", "out.mkv"}, "--part"},
             {"part past its count", QStringList{"--part", "4/3", "out.mkv"}, "--part"},
             {"part not K/N", QStringList{"--part", "2", "out.mkv"}, "--part"},
             {"part in mp4", QStringList{"--part", "1/2", "out.mp4"}, "a part goes into a .mkv"},
             {"part as frames", QStringList{"--part", "1/2", "--png", "frames"}, "--part"},
             // Show seconds 2 to 4 at 5 frames a second are the 12 frames 13 to 24.
             {"more parts than frames", QStringList{"--fps", "5", "--from", "2", "--to", "4", "--part", "13/13",
                                                   "out.mkv"}, "at most 12 parts"},
             {"more jobs than frames", QStringList{"--fps", "5", "--from", "2", "--to", "4", "--slurm", "13",
                                                  "out.mkv"}, "at most 12 parts"},
             {"slurm 0", QStringList{"--slurm", "0", "out.mkv"}, "--slurm"},
             {"slurm and part", QStringList{"--slurm", "2", "--part", "1/2", "out.mkv"}, "not both"},
             {"slurm as frames", QStringList{"--slurm", "2", "--png", "frames"}, "--slurm"},
             {"partition without slurm", QStringList{"--partition", "gpu", "out.mkv"}, "--partition"},
             {"cpus per task 0", QStringList{"--slurm", "2", "--cpus-per-task", "0", "out.mkv"}, "--cpus-per-task"},
             {"empty time limit", QStringList{"--slurm", "2", "--time", "", "out.mkv"}, "--time"},
             {"join with a picture option", QStringList{"--join", "out.mkv", "--size", "64x36", "a.mkv"}, "--size"},
             {"join of nothing", QStringList{"--join", "out.mkv"}, "wants the parts"},
             {"join into no container", QStringList{"--join", "out", "a.mkv"}, ".mp4, .mov or .mkv"}});
}

void CaptureTest::badOptionsFailWithoutOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QTemporaryDir folder;
    QVERIFY(QFile::copy(m_music, folder.filePath(QStringLiteral("music.bmm"))));
    const Run run = CaptureRun::run(arguments, folder.path());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.startsWith(QLatin1String("capture: ")) && run.errors.contains(complaint),
             qPrintable(run.errors));
    QCOMPARE(contents(folder.path()), QStringList{"music.bmm"});
}

void CaptureTest::failuresLeaveNothingBehind_data()
{
    // ffmpeg: what stands for it on the PATH. "ffmpeg fails midway" takes
    // some frames, then fails: noticed at once, with what it said.
    const QStringList small{"--size", "64x36", "--fps", "5", "--to", "1"};
    addRows<QStringList, QString, QString>({"arguments", "ffmpeg", "complaint"},
            {{"no ffmpeg", small + QStringList{"out.mp4"}, "", "no ffmpeg"},
             {"ffmpeg fails", small + QStringList{"out.mp4"}, "exit 1", "ffmpeg"},
             {"ffmpeg fails midway", QStringList{"--size", "320x180", "--fps", "50", "out.mp4"},
              "/usr/bin/head -c 300000 >/dev/null; exit 1", "cannot encode"},
             {"no such folder", small + QStringList{"missing/out.mp4"}, "real", "cannot write"},
             {"folder that takes no files", small + QStringList{"/proc/out.mp4"}, "real", "cannot write"},
             {"output is a folder", small + QStringList{"folder.mp4"}, "real", "is a folder"},
             {"no music file", small + QStringList{"--music", "none.bmm", "out.mp4"}, "real", "none.bmm"},
             {"music is a folder", small + QStringList{"--music", "taken", "out.mp4"}, "real", "taken"},
             {"frames into a full folder", small + QStringList{"--png", "full"}, "real", "not an empty folder"},
             {"frames into no folder", small + QStringList{"--png", "missing/frames"}, "real", "no folder"}});
}

void CaptureTest::failuresLeaveNothingBehind()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, ffmpeg);
    QFETCH(QString, complaint);

    QTemporaryDir folder;
    QVERIFY(QFile::copy(m_music, folder.filePath(QStringLiteral("music.bmm"))));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("taken")));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("folder.mp4")));
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("full")));
    QFile kept(folder.filePath(QStringLiteral("full/kept.png")));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();
    const QStringList before = contents(folder.path());

    // PATH holds only a folder of our own with ffmpeg as the case wants it.
    QTemporaryDir bin;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (ffmpeg == QLatin1String("real")) {
        QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("ffmpeg")), bin.filePath("ffmpeg")));
    } else if (!ffmpeg.isEmpty()) {
        QVERIFY(writeFakeFfmpeg(bin.path(), "echo 'cannot encode' >&2\n" + ffmpeg.toLatin1()));
    }
    environment.insert(QStringLiteral("PATH"), bin.path());

    const Run run = CaptureRun::run(arguments, folder.path(), environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QLatin1String("capture: ")) && run.errors.contains(complaint),
             qPrintable(run.errors));
    QCOMPARE(contents(folder.path()), before);
    QCOMPARE(contents(folder.filePath(QStringLiteral("full"))), QStringList{"kept.png"});
    QVERIFY(contents(folder.filePath(QStringLiteral("taken"))).isEmpty());
}

void CaptureTest::stopLeavesNothingBehind_data()
{
    const QStringList small{"--size", "320x180", "--fps", "50"};
    // Once frames are out; a moment after the first frame while ffmpeg takes
    // none (the pipe to it holds a frame or so, and the default stall limit,
    // two minutes, is far off); or within a frame of 64 sub-frames of
    // 5120x2880 pixels each, which takes a minute or more on llvmpipe: a
    // stop is taken between two of them.
    addRows<QStringList, bool, QString, int, int>({"arguments", "stalled", "progress", "waitMs", "signal"},
            {{"a video", small + QStringList{"out.mp4"}, false, "frame [1-9]\\d* of", 0, SIGTERM},
             {"frames", small + QStringList{"--png", "frames"}, false, "frame [1-9]\\d* of", 0, SIGTERM},
             {"while the encoder stalls", small + QStringList{"out.mp4"}, true, "frame [1-9]\\d* of", 1000, SIGINT},
             {"within a long frame", QStringList{"--size", "1280x720", "--supersample", "4", "--shutter", "1",
                                                 "--subframes", "64", "--fps", "1", "--to", "2", "--png", "frames"},
              false, "frame 0 of", 2000, SIGTERM}});
}

void CaptureTest::stopLeavesNothingBehind()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, stalled);
    QFETCH(QString, progress);
    QFETCH(int, waitMs);
    QFETCH(int, signal);

    QTemporaryDir folder, bin;
    QVERIFY(QFile::copy(m_music, folder.filePath(QStringLiteral("music.bmm"))));
    const QString pidFile = bin.filePath(QStringLiteral("pid"));
    QProcess capture;
    capture.setWorkingDirectory(folder.path());
    if (stalled)
        capture.setProcessEnvironment(withStalledFfmpeg(bin.path(), pidFile));
    capture.start(QStringLiteral(CAPTURE_EXECUTABLE), arguments);
    QVERIFY(capture.waitForStarted());
    QString said;
    QVERIFY2(waitForProgress(capture, QRegularExpression(progress), said), qPrintable(said));
    QTest::qWait(waitMs);
    QVERIFY(capture.state() == QProcess::Running);
    QVERIFY(contents(folder.path()).size() > 1); // the partial output is there

    ::kill(pid_t(capture.processId()), signal);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(capture.waitForFinished(60000));
    // Within a frame, with room for a loaded machine: not after the minute
    // the long frame takes.
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    said += QString::fromLocal8Bit(capture.readAllStandardError());
    QCOMPARE(capture.exitStatus(), QProcess::NormalExit);
    QCOMPARE(capture.exitCode(), 1);
    QVERIFY2(said.contains(QLatin1String("stopped; nothing written")), qPrintable(said));
    if (progress == QLatin1String("frame 0 of"))
        QVERIFY2(!said.contains(QLatin1String("frame 1 of")), qPrintable(said));
    if (stalled)
        QVERIFY(processIsGone(pidFile));
    QCOMPARE(contents(folder.path()), QStringList{"music.bmm"});
}

void CaptureTest::stalledEncoderIsGivenUpAfterTheStallLimit()
{
    QTemporaryDir folder, bin;
    QVERIFY(QFile::copy(m_music, folder.filePath(QStringLiteral("music.bmm"))));
    const QString pidFile = bin.filePath(QStringLiteral("pid"));
    QElapsedTimer clock;
    clock.start();
    const Run run = CaptureRun::run({"--size", "320x180", "--fps", "50", "--stall-limit", "2", "out.mp4"}, folder.path(),
                                    withStalledFfmpeg(bin.path(), pidFile));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QLatin1String("ffmpeg took no frame and wrote nothing for 2 s; nothing written")),
             qPrintable(run.errors));
    // Given up on, not waited for: the whole show would take minutes.
    QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(processIsGone(pidFile));
    QCOMPARE(contents(folder.path()), QStringList{"music.bmm"});
}

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
