#ifndef VIDEOENCODER_H
#define VIDEOENCODER_H

#include "captureoptions.h"
#include "framepipe.h"
#include "framesink.h"
#include "pendingoutput.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QSize>
#include <QTimer>

class FrameSchedule;

// Frames piped into ffmpeg, which encodes them and muxes the music file's
// samples for the same stretch of the show as the sound track, into a
// pending output that takes the target's name once ffmpeg is done.
//
// Nothing here waits on ffmpeg: a thread of the pipe's own feeds it, the
// encoder takes frames while fewer than two are on their way and tells the
// capture when it can take more, so the event loop (and Ctrl-C) runs all the
// while. An ffmpeg that exits early is noticed at once; one that takes no
// frame and writes nothing for the stall limit is stopped.
class VideoEncoder : public FrameSink
{
    Q_OBJECT

public:
    VideoEncoder(const CaptureOptions &options, const FrameSchedule &schedule);
    ~VideoEncoder() override;

    bool open() override;
    bool isReady() const override;
    bool write(const QByteArray &frame, qint64 showFrame) override;
    void finish() override;
    qint64 bytesWritten() const override;

    // A tag of the video's own, written into the file; before open().
    void addTag(const QString &name, const QString &value);

    // Said once the encoder is open, for the user: empty, or why the video
    // has no sound track.
    QString warning() const { return m_warning; }

private:
    // ffv1 keeps the frames' RGB exactly; the others take 4:2:0 YUV, which
    // the capture makes rather than ffmpeg.
    bool takesYuv() const { return m_options.codec != CaptureOptions::Codec::Ffv1; }
    bool findMusicPayload();
    QStringList ffmpegArguments() const;
    QStringList videoOutput() const;
    QStringList soundInput() const;
    QStringList soundOutput() const;
    QString ffmpegSaid();
    void ffmpegFinished();
    void ffmpegFailedToStart();
    void frameWritten();
    void pipeBroke();
    void watch();
    void stop(const QString &error);

    const CaptureOptions &m_options;
    const FrameSchedule &m_schedule;
    qint64 m_firstFrame;
    qint64 m_frames;
    qint64 m_payloadStart = -1;   // -1: no music, no sound track
    QString m_warning;
    QStringList m_tags;   // ffmpeg's arguments that write them
    PendingOutput m_output;
    FramePipe m_pipe;
    QProcess m_ffmpeg;
    bool m_finishing = false;
    bool m_done = false;

    // The watch on a stalled ffmpeg: time since it last took a frame or
    // wrote to the output while it had work.
    QTimer m_watch;
    QElapsedTimer m_quiet;
    qint64 m_lastTaken = 0;
    qint64 m_lastSize = -1;
    QDateTime m_lastModified;
};

#endif // VIDEOENCODER_H
