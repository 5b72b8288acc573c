#ifndef VIDEOENCODER_H
#define VIDEOENCODER_H

#include "framesink.h"
#include "pendingoutput.h"

#include <QProcess>
#include <QSize>

// Frames piped into ffmpeg, which encodes them as H.264 and muxes the music
// file's samples for the same stretch of the show as the sound track, into a
// pending output that takes the target's name once ffmpeg is done.
class VideoEncoder : public FrameSink
{
public:
    struct Stretch
    {
        int fps;
        qint64 firstFrame;   // number in the show of the first frame
        qint64 frames;
    };

    VideoEncoder(const QString &video, const QSize &size, const Stretch &stretch, const QString &music);
    ~VideoEncoder() override;

    bool open() override;
    bool write(const QImage &frame, qint64 showFrame) override;
    bool commit() override;

private:
    bool findMusicPayload();
    QStringList ffmpegArguments() const;
    QString ffmpegSaid();

    QSize m_size;
    Stretch m_stretch;
    QString m_music;
    qint64 m_payloadStart = 0;
    PendingOutput m_output;
    QProcess m_ffmpeg;
};

#endif // VIDEOENCODER_H
