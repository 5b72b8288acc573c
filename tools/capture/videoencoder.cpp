#include "videoencoder.h"

#include "inputfile.h"
#include "musicfile.h"

#include <QFile>
#include <QImage>
#include <QStandardPaths>

namespace {

// The colour of the picture survives the trip to YUV best with the matrix
// players assume for video of this kind written into the file.
const QString colourMatrix = QStringLiteral("bt709");

QString seconds(double value)
{
    return QString::number(value, 'f', 6);
}

} // namespace

VideoEncoder::VideoEncoder(const QString &video, const QSize &size, const Stretch &stretch, const QString &music)
    : m_size(size)
    , m_stretch(stretch)
    , m_music(music)
    , m_output(video)
{
}

VideoEncoder::~VideoEncoder()
{
    // An encoder still running owns a half-written file: stop it before the
    // file goes.
    if (m_ffmpeg.state() != QProcess::NotRunning) {
        m_ffmpeg.kill();
        m_ffmpeg.waitForFinished();
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

    m_ffmpeg.start(ffmpeg, ffmpegArguments());
    if (!m_ffmpeg.waitForStarted())
        return fail(QStringLiteral("cannot start %1: %2").arg(ffmpeg, m_ffmpeg.errorString()));
    return true;
}

bool VideoEncoder::findMusicPayload()
{
    // The show reads it the same way: a FIFO or a folder is no music file.
    QFile music(m_music);
    const QString why = openInputFile(music);
    if (!why.isEmpty())
        return fail(QStringLiteral("cannot read the music file: %1 (give it with --music FILE)").arg(why));
    // The samples begin where the show's own reader leaves the file.
    MusicFile::readBeatList(music);
    m_payloadStart = music.pos();
    return true;
}

QStringList VideoEncoder::ffmpegArguments() const
{
    const double duration = double(m_stretch.frames) / m_stretch.fps;
    // The sample the show plays when its timer reaches the first frame.
    const qint64 firstSample = (m_stretch.firstFrame * MusicFile::sampleRate + m_stretch.fps / 2) / m_stretch.fps;
    const qint64 skip = m_payloadStart + firstSample * MusicFile::bytesPerFrame;

    return {
        QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-loglevel"), QStringLiteral("error"),
        QStringLiteral("-y"),
        // The frames, as they come down the pipe; the fourth byte is ignored.
        QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb0"),
        QStringLiteral("-s"), QStringLiteral("%1x%2").arg(m_size.width()).arg(m_size.height()),
        QStringLiteral("-framerate"), QString::number(m_stretch.fps),
        QStringLiteral("-i"), QStringLiteral("pipe:0"),
        // The music's samples from the first frame on, no longer than the frames.
        QStringLiteral("-f"), QStringLiteral("f32le"),
        QStringLiteral("-ar"), QString::number(MusicFile::sampleRate),
        QStringLiteral("-ac"), QString::number(MusicFile::channels),
        QStringLiteral("-skip_initial_bytes"), QString::number(skip),
        QStringLiteral("-t"), seconds(duration),
        QStringLiteral("-i"), m_music,
        QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-map"), QStringLiteral("1:a"),
        QStringLiteral("-vf"), QStringLiteral("scale=out_color_matrix=%1").arg(colourMatrix),
        // The GL's frames take most of the CPU: a fast preset keeps the
        // encoder's share small, and a low CRF keeps the picture.
        QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
        QStringLiteral("-preset"), QStringLiteral("veryfast"), QStringLiteral("-crf"), QStringLiteral("18"),
        QStringLiteral("-colorspace"), colourMatrix, QStringLiteral("-color_primaries"), colourMatrix,
        QStringLiteral("-color_trc"), colourMatrix,
        // Music shorter than the frames ends in silence, as in the show.
        QStringLiteral("-af"), QStringLiteral("apad=whole_dur=%1").arg(seconds(duration)),
        QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("192k"),
        QStringLiteral("-movflags"), QStringLiteral("+faststart"),
        QStringLiteral("-f"), QStringLiteral("mp4"), m_output.path(),
    };
}

bool VideoEncoder::write(const QImage &frame, qint64)
{
    Q_ASSERT(frame.size() == m_size && frame.depth() == 32);
    const qint64 bytes = qint64(frame.bytesPerLine()) * frame.height();
    m_ffmpeg.write(reinterpret_cast<const char *>(frame.constBits()), bytes);
    // Keep no more than one frame in flight, however slow the encoder.
    while (m_ffmpeg.bytesToWrite() > 0) {
        if (!m_ffmpeg.waitForBytesWritten(-1))
            return fail(QStringLiteral("ffmpeg stopped taking frames: %1").arg(ffmpegSaid()));
    }
    return true;
}

bool VideoEncoder::commit()
{
    m_ffmpeg.closeWriteChannel();
    m_ffmpeg.waitForFinished(-1);
    if (m_ffmpeg.exitStatus() != QProcess::NormalExit || m_ffmpeg.exitCode() != 0)
        return fail(QStringLiteral("ffmpeg failed: %1").arg(ffmpegSaid()));

    if (!m_output.commit())
        return fail(m_output.error());
    return true;
}

QString VideoEncoder::ffmpegSaid()
{
    const QString said = QString::fromLocal8Bit(m_ffmpeg.readAllStandardError()).trimmed();
    return said.isEmpty() ? m_ffmpeg.errorString() : said;
}
