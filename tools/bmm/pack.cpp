// bmm pack: any audio file libsndfile decodes, resampled to the show's
// 44100 Hz stereo float, behind a beat list.

#include "beatdetection.h"
#include "beatstext.h"
#include "commands.h"
#include "failure.h"
#include "musicfile.h"
#include "musicwriter.h"
#include "soundfile.h"

#include <samplerate.h>

#include <memory>
#include <vector>

namespace {

constexpr sf_count_t chunkFrames = 4096;

// Stereo from any channel count: mono goes to both sides, and of more than two
// channels the first two (front left and right) are kept.
void toStereo(const float *in, int channels, sf_count_t frames, float *out)
{
    for (sf_count_t i = 0; i < frames; ++i) {
        const float *frame = in + i * channels;
        out[2 * i] = frame[0];
        out[2 * i + 1] = channels > 1 ? frame[1] : frame[0];
    }
}

// Streams the file through, already at the show's rate.
void copyFrames(const SoundFile &sound, const QString &path, MusicWriter &writer)
{
    const int channels = sound.info().channels;
    std::vector<float> raw(size_t(chunkFrames * channels));
    std::vector<float> stereo(size_t(chunkFrames * 2));
    sf_count_t got = 0;
    while ((got = sf_readf_float(sound.handle(), raw.data(), chunkFrames)) > 0) {
        toStereo(raw.data(), channels, got, stereo.data());
        writer.writeFrames(stereo.data(), got);
    }
    sound.checkDecoded(path);
}

// Streams the file through libsamplerate's best converter.
void resampleFrames(const SoundFile &sound, const QString &path, MusicWriter &writer)
{
    const int channels = sound.info().channels;
    const double ratio = double(MusicFile::sampleRate) / sound.info().samplerate;

    int error = 0;
    const std::unique_ptr<SRC_STATE, decltype(&src_delete)> converter(
        src_new(SRC_SINC_BEST_QUALITY, 2, &error), &src_delete);
    if (!converter)
        throw Failure(QStringLiteral("%1: cannot resample: %2").arg(path, QString::fromUtf8(src_strerror(error))));

    std::vector<float> raw(size_t(chunkFrames * channels));
    std::vector<float> stereo(size_t(chunkFrames * 2));
    const long outCapacity = long(chunkFrames * ratio) + 256;
    std::vector<float> resampled(size_t(outCapacity * 2));

    bool ended = false;
    while (!ended) {
        const sf_count_t got = qMax<sf_count_t>(0, sf_readf_float(sound.handle(), raw.data(), chunkFrames));
        ended = got == 0;
        toStereo(raw.data(), channels, got, stereo.data());

        SRC_DATA data = {};
        data.data_in = stereo.data();
        data.input_frames = long(got);
        data.end_of_input = ended ? 1 : 0;
        data.src_ratio = ratio;
        do {
            data.data_out = resampled.data();
            data.output_frames = outCapacity;
            error = src_process(converter.get(), &data);
            if (error)
                throw Failure(QStringLiteral("%1: cannot resample: %2").arg(path, QString::fromUtf8(src_strerror(error))));
            writer.writeFrames(resampled.data(), data.output_frames_gen);
            data.data_in += data.input_frames_used * 2;
            data.input_frames -= data.input_frames_used;
        } while (data.input_frames > 0 || (ended && data.output_frames_gen > 0));
    }
    sound.checkDecoded(path);
}

} // namespace

void pack(const QString &audioPath, const QString &outPath, BeatSource beatSource, const QString &beatsPath)
{
    // Every input is checked before the output is begun.
    QList<int> beats;
    if (beatSource == BeatSource::TextFile)
        beats = readBeatsText(beatsPath);

    const SoundFile sound(audioPath);
    if (sound.info().channels < 1 || sound.info().samplerate < 1)
        throw Failure(QStringLiteral("%1: cannot decode: no channels or no sample rate").arg(audioPath));

    if (beatSource == BeatSource::Detect)
        beats = detectBeats(audioPath);

    MusicWriter writer(outPath, beats);
    if (sound.info().samplerate == MusicFile::sampleRate)
        copyFrames(sound, audioPath, writer);
    else
        resampleFrames(sound, audioPath, writer);
    writer.commit();
}
