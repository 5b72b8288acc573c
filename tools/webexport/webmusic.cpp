#include "webmusic.h"
#include "inputfile.h"
#include "musicfile.h"

#include <QFile>

#include <lame/lame.h>

#include <memory>
#include <vector>

namespace {

QString fileError(const QFile &file)
{
    return QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
}

// The encoder, released however the encoding ends.
struct LameDeleter
{
    void operator()(lame_global_flags *flags) const { lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameDeleter>;

Lame newEncoder()
{
    Lame lame(lame_init());
    if (!lame)
        return lame;
    lame_set_in_samplerate(lame.get(), MusicFile::sampleRate);
    lame_set_out_samplerate(lame.get(), MusicFile::sampleRate);
    lame_set_num_channels(lame.get(), MusicFile::channels);
    lame_set_mode(lame.get(), JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), WebMusic::kilobitsPerSecond);
    lame_set_quality(lame.get(), 2);
    // The tag frame at the head holds the delay and padding; no ID3 tags.
    lame_set_bWriteVbrTag(lame.get(), 1);
    lame_set_write_id3tag_automatic(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0)
        lame.reset();
    return lame;
}

// Frames encoded per call: a second of music.
constexpr int framesPerRead = MusicFile::sampleRate;

// LAME's own bound for the bytes one call can give.
constexpr int mp3BytesFor(int frames) { return frames * 5 / 4 + 7200; }

} // namespace

namespace WebMusic {

Written write(const QString &music, const QString &head, const QString &soundtrack,
              const std::function<void(qint64, qint64)> &progress)
{
    Written written;
    QFile in(music);
    written.error = openInputFile(in);
    if (!written.error.isEmpty())
        return written;
    const MusicFile::Head read = MusicFile::readHead(in);
    if (in.error() != QFileDevice::NoError) {
        written.error = fileError(in);
        return written;
    }
    if (!read.whole) {
        written.error = read.countRead
                ? QStringLiteral("%1: the file ends inside its list of %2 beats, so the page would play no music")
                          .arg(music).arg(read.count)
                : QStringLiteral("%1: too short for a beat count, so the page would play no music").arg(music);
        return written;
    }

    // The head as it stands: the count and every value, byte for byte.
    const qint64 headBytes = in.pos();
    QFile headOut(head);
    in.seek(0);
    const QByteArray headData = in.read(headBytes);
    if (headData.size() != headBytes) {
        written.error = fileError(in);
        return written;
    }
    if (!headOut.open(QIODevice::WriteOnly) || headOut.write(headData) != headData.size() || !headOut.flush()) {
        written.error = fileError(headOut);
        return written;
    }

    const Lame lame = newEncoder();
    if (!lame) {
        written.error = QStringLiteral("%1: the MP3 encoder did not start").arg(soundtrack);
        return written;
    }
    QFile out(soundtrack);
    if (!out.open(QIODevice::WriteOnly)) {
        written.error = fileError(out);
        return written;
    }
    // A trailing partial frame is silence on the desktop after its bytes;
    // here it is left out, as the show's frame count leaves it.
    const qint64 total = (in.size() - headBytes) / MusicFile::bytesPerFrame;
    std::vector<float> samples(std::size_t(framesPerRead) * MusicFile::channels);
    std::vector<unsigned char> mp3(std::size_t(mp3BytesFor(framesPerRead)));
    const auto put = [&](int bytes) {
        if (bytes < 0) {
            written.error = QStringLiteral("%1: the MP3 encoder failed (%2)").arg(soundtrack).arg(bytes);
            return false;
        }
        if (out.write(reinterpret_cast<const char *>(mp3.data()), bytes) != bytes) {
            written.error = fileError(out);
            return false;
        }
        return true;
    };
    for (qint64 done = 0; done < total;) {
        const int frames = int(qMin<qint64>(framesPerRead, total - done));
        const qint64 bytes = qint64(frames) * MusicFile::bytesPerFrame;
        if (in.read(reinterpret_cast<char *>(samples.data()), bytes) != bytes) {
            written.error = in.error() != QFileDevice::NoError ? fileError(in)
                                                               : QStringLiteral("%1: ended while read").arg(music);
            return written;
        }
        if (!put(lame_encode_buffer_interleaved_ieee_float(lame.get(), samples.data(), frames, mp3.data(),
                                                           int(mp3.size()))))
            return written;
        done += frames;
        if (progress)
            progress(done, total);
    }
    if (!put(lame_encode_flush(lame.get(), mp3.data(), int(mp3.size()))))
        return written;
    // The tag frame with the delay and padding, over the place LAME kept for
    // it at the start.
    const std::size_t tagBytes = lame_get_lametag_frame(lame.get(), mp3.data(), mp3.size());
    if (tagBytes > 0 && (!out.seek(0) || !put(int(tagBytes))))
        return written;
    if (!out.flush()) {
        written.error = fileError(out);
        return written;
    }
    written.frames = total;
    return written;
}

} // namespace WebMusic
