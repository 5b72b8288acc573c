#include "videoencoder.h"

#include "ffmpegoutput.h"
#include "frameschedule.h"
#include "inputfile.h"
#include "musicfile.h"
#include "yuv420.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace {

// The colours players assume for video of this kind, written into the file.
const QString colourStandard = QStringLiteral("bt709");

// An ffmpeg that is killed is gone at once; a file system that hangs it is
// not waited for beyond this.
constexpr int killWaitMs = 5000;

} // namespace

VideoEncoder::VideoEncoder(const CaptureOptions &options, const FrameSchedule &schedule)
    : m_options(options)
    , m_schedule(schedule)
    , m_firstFrame(schedule.first())
    , m_frames(schedule.count())
    , m_output(options.video)
    // Converted on the pipe's thread, beside the drawing.
    , m_pipe(takesYuv() ? FramePipe::Prepare([size = options.size](const QByteArray &rgba) {
                              return Yuv420::fromRgba(rgba, size);
                          })
                        : FramePipe::Prepare())
{
    connect(&m_ffmpeg, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &VideoEncoder::ffmpegFinished);
    connect(&m_ffmpeg, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ffmpegFailedToStart();
    });
    connect(&m_ffmpeg, &QProcess::started, this, [this] {
        m_pipe.childStarted();
        emit ready();
    });
    connect(&m_pipe, &FramePipe::frameWritten, this, &VideoEncoder::frameWritten);
    connect(&m_pipe, &FramePipe::failed, this, &VideoEncoder::pipeBroke);
    m_watch.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, &VideoEncoder::watch);
}

VideoEncoder::~VideoEncoder()
{
    // An encoder still running owns a half-written file: stop it before the
    // file goes.
    if (m_ffmpeg.state() != QProcess::NotRunning) {
        m_ffmpeg.kill();
        m_ffmpeg.waitForFinished(killWaitMs);
    }
}

bool VideoEncoder::open()
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return fail(QStringLiteral("no ffmpeg on the PATH; it makes the video (Debian package ffmpeg)"));

    if (!findMusicPayload())
        return false;

    if (!m_output.create())
        return fail(m_output.error());
    if (!m_pipe.open())
        return fail(m_pipe.error());

    // Started here, seen to start (or not) in the event loop. Its input is
    // the pipe alone.
    m_ffmpeg.setStandardInputFile(QProcess::nullDevice());
    m_ffmpeg.start(ffmpeg, ffmpegArguments());
    m_watch.start();
    return true;
}

void VideoEncoder::addTag(const QString &name, const QString &value)
{
    m_tags << QStringLiteral("-metadata") << name + QLatin1Char('=') + value;
}

bool VideoEncoder::findMusicPayload()
{
    // The show reads it the same way: a FIFO or a folder is no music file.
    QFile music(m_options.music);
    const QString why = openInputFile(music);
    if (!why.isEmpty()) {
        if (m_options.musicGiven)
            return fail(QStringLiteral("cannot read the music file: %1").arg(why));
        // The show runs silent without one; so does its video.
        m_warning = QStringLiteral("no music file (%1), so the video has no sound track; give one with --music FILE")
                .arg(why);
        return true;
    }
    // The samples begin where the show's own reader leaves the file.
    MusicFile::readBeatList(music);
    m_payloadStart = music.pos();
    if (music.atEnd())
        // A beat list cut short takes the whole file: the show plays it
        // silent, and the video's sound is the same silence.
        m_warning = QStringLiteral("%1 holds no sound after its beat list, so the video's sound track is silent, "
                                   "as the show plays it (bmm info %1 says why)").arg(m_options.music);
    return true;
}

QStringList VideoEncoder::ffmpegArguments() const
{
    QStringList arguments = FfmpegOutput::quiet();
    arguments << QStringList{
        // The frames, as they come down the pipe.
        QStringLiteral("-f"), QStringLiteral("rawvideo"),
        QStringLiteral("-pix_fmt"), takesYuv() ? QStringLiteral("yuv420p") : QStringLiteral("rgb0"),
        QStringLiteral("-s"), QStringLiteral("%1x%2").arg(m_options.size.width()).arg(m_options.size.height()),
        QStringLiteral("-framerate"), QString::number(m_options.fps),
        QStringLiteral("-i"), QStringLiteral("pipe:%1").arg(m_pipe.childEnd()),
    };
    // The picture is the first stream, the sound (if any) the second.
    arguments << soundInput() << videoOutput() << soundOutput() << m_tags;
    return arguments + FfmpegOutput::container(m_options.video, CaptureOptions::codecName(m_options.codec),
                                               m_output.path());
}

QStringList VideoEncoder::videoOutput() const
{
    const QString crf = QString::number(m_options.effectiveCrf());
    switch (m_options.codec) {
    case CaptureOptions::Codec::Ffv1:
        // Every frame on its own, each slice with a checksum: made for
        // archives. The frames come bottom row first; turning them over
        // costs ffmpeg nothing.
        return {QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-vf"), QStringLiteral("vflip"),
                QStringLiteral("-c:v"), QStringLiteral("ffv1"),
                QStringLiteral("-level"), QStringLiteral("3"), QStringLiteral("-g"), QStringLiteral("1"),
                QStringLiteral("-slicecrc"), QStringLiteral("1"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr0"),
                QStringLiteral("-color_primaries"), colourStandard, QStringLiteral("-color_trc"), colourStandard};
    case CaptureOptions::Codec::H264:
    case CaptureOptions::Codec::H265:
        break;
    }
    const bool h265 = m_options.codec == CaptureOptions::Codec::H265;
    QStringList arguments{QStringLiteral("-map"), QStringLiteral("0:v")};
    if (h265)
        // x265 talks unless told not to.
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx265") << QStringLiteral("-preset")
                  << m_options.effectivePreset() << QStringLiteral("-x265-params") << QStringLiteral("log-level=error");
    else
        // Threads cost CPU time of their own: on two cores x264's own choice
        // (one and a half a core) took a third more than one thread, so it
        // gets half the cores and leaves the rest to the drawing.
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
                  << m_options.effectivePreset() << QStringLiteral("-threads")
                  << QString::number(qMax(1, QThread::idealThreadCount() / 2));
    if (!h265 && m_options.preset.isEmpty())
        // The default: superfast's search with veryfast's look-ahead and
        // macroblock tree, which spend bits where the picture lasts. On the
        // show at 1280x720 it took half veryfast's time for the same
        // structural similarity (0.9953) in a third more bytes.
        arguments << QStringLiteral("-x264-params") << QStringLiteral("mbtree=1:rc-lookahead=10");
    // The frames come as the encoder takes them: ffmpeg converts nothing.
    arguments << QStringLiteral("-crf") << crf << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p")
              << QStringLiteral("-colorspace") << colourStandard << QStringLiteral("-color_primaries") << colourStandard
              << QStringLiteral("-color_trc") << colourStandard << QStringLiteral("-color_range") << QStringLiteral("tv")
              << QStringLiteral("-chroma_sample_location") << QStringLiteral("left");
    return arguments;
}

QStringList VideoEncoder::soundInput() const
{
    if (m_payloadStart < 0)
        return {};
    return {
        QStringLiteral("-f"), QStringLiteral("f32le"),
        QStringLiteral("-ar"), QString::number(MusicFile::sampleRate),
        QStringLiteral("-ac"), QString::number(MusicFile::channels),
        QStringLiteral("-skip_initial_bytes"),
        QString::number(m_payloadStart + m_schedule.sampleAt(m_firstFrame) * MusicFile::bytesPerFrame),
        QStringLiteral("-i"), m_options.music,
    };
}

QStringList VideoEncoder::soundOutput() const
{
    if (m_payloadStart < 0)
        return {};
    const qint64 samples = m_schedule.sampleAt(m_firstFrame + m_frames) - m_schedule.sampleAt(m_firstFrame);
    QStringList arguments{
        QStringLiteral("-map"), QStringLiteral("1:a"),
        // Exactly the stretch's samples; music shorter than the frames ends
        // in silence, as in the show.
        QStringLiteral("-af"), QStringLiteral("atrim=end_sample=%1,apad=whole_len=%1").arg(samples),
    };
    return arguments + FfmpegOutput::sound(m_options.video, false);
}

bool VideoEncoder::isReady() const
{
    // One frame going down the pipe, one waiting: the next is drawn meanwhile.
    return m_ffmpeg.state() == QProcess::Running && m_pipe.queued() < 2;
}

bool VideoEncoder::write(const QByteArray &frame, qint64)
{
    if (!error().isEmpty())
        return false;
    if (m_ffmpeg.state() != QProcess::Running)
        return fail(QStringLiteral("ffmpeg is not running: %1").arg(ffmpegSaid()));
    m_pipe.push(frame);
    m_quiet.start();
    return true;
}

void VideoEncoder::finish()
{
    m_finishing = true;
    m_quiet.start();
    m_pipe.close();
}

qint64 VideoEncoder::bytesWritten() const
{
    return QFileInfo(m_output.path()).size();
}

void VideoEncoder::frameWritten()
{
    m_quiet.start();
    if (isReady())
        emit ready();
}

void VideoEncoder::pipeBroke()
{
    // ffmpeg has gone or closed its input: what it said comes with its end,
    // unless it lingers.
    if (m_ffmpeg.state() == QProcess::NotRunning)
        ffmpegFinished();
}

void VideoEncoder::watch()
{
    // Only while the capture waits on ffmpeg: while the GL draws, ffmpeg may
    // well have nothing to do.
    const bool waiting = m_finishing || !isReady();
    const QFileInfo output(m_output.path());
    if (m_pipe.bytesWritten() != m_lastTaken || output.size() != m_lastSize
        || output.lastModified() != m_lastModified) {
        m_lastTaken = m_pipe.bytesWritten();
        m_lastSize = output.size();
        m_lastModified = output.lastModified();
        m_quiet.start();
    }
    if (waiting && m_quiet.isValid() && m_quiet.elapsed() >= qint64(m_options.stallSeconds) * 1000)
        stop(QStringLiteral("ffmpeg took no frame and wrote nothing for %1 s").arg(m_options.stallSeconds));
}

void VideoEncoder::ffmpegFinished()
{
    if (m_done)
        return;
    if (!m_finishing)
        return stop(QStringLiteral("ffmpeg stopped before the last frame: %1").arg(ffmpegSaid()));
    if (m_ffmpeg.exitStatus() != QProcess::NormalExit || m_ffmpeg.exitCode() != 0)
        return stop(QStringLiteral("ffmpeg failed: %1").arg(ffmpegSaid()));
    m_done = true;
    m_watch.stop();
    if (!m_output.commit())
        return stop(m_output.error());
    emit finished();
}

void VideoEncoder::ffmpegFailedToStart()
{
    stop(QStringLiteral("cannot start ffmpeg: %1").arg(m_ffmpeg.errorString()));
}

void VideoEncoder::stop(const QString &error)
{
    if (m_done && m_output.isCommitted())
        return;
    m_done = true;
    m_watch.stop();
    if (m_ffmpeg.state() != QProcess::NotRunning)
        m_ffmpeg.kill();
    fail(error);
    emit failed();
}

QString VideoEncoder::ffmpegSaid()
{
    const QString said = QString::fromLocal8Bit(m_ffmpeg.readAllStandardError()).simplified();
    if (!said.isEmpty())
        return said;
    if (m_ffmpeg.state() == QProcess::NotRunning && m_ffmpeg.exitStatus() == QProcess::NormalExit)
        return QStringLiteral("exit status %1").arg(m_ffmpeg.exitCode());
    return m_ffmpeg.errorString();
}
