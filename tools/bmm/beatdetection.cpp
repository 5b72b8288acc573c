// pack --detect-beats: beat times found in the music by aubio's beat tracker.

#include "beatdetection.h"

#include "beatstext.h"
#include "failure.h"
#include "soundfile.h"

#include <aubio/aubio.h>

#include <memory>
#include <vector>

// Beat times from aubio's beat tracker, run on the mono mix at the file's own rate.
QList<int> detectBeats(const QString &path)
{
    SoundFile sound(path);
    const int channels = sound.info().channels;
    constexpr uint_t window = 1024;
    constexpr uint_t hop = 512;

    const std::unique_ptr<aubio_tempo_t, decltype(&del_aubio_tempo)> tempo(
        new_aubio_tempo("default", window, hop, uint_t(sound.info().samplerate)), &del_aubio_tempo);
    const std::unique_ptr<fvec_t, decltype(&del_fvec)> in(new_fvec(hop), &del_fvec);
    const std::unique_ptr<fvec_t, decltype(&del_fvec)> out(new_fvec(1), &del_fvec);
    if (!tempo || !in || !out)
        throw Failure(QStringLiteral("%1: the beat tracker does not take this sample rate").arg(path));

    std::vector<float> chunk(hop * size_t(channels));
    QList<int> beats;
    for (;;) {
        const sf_count_t got = sf_readf_float(sound.handle(), chunk.data(), hop);
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < sf_count_t(hop); ++i) {
            float sum = 0.0f;
            for (int c = 0; i < got && c < channels; ++c)
                sum += chunk[size_t(i * channels + c)];
            in->data[i] = sum / float(channels);
        }
        aubio_tempo_do(tempo.get(), in.get(), out.get());
        if (out->data[0] != 0.0f) {
            if (const std::optional<int> clock = clockFromSeconds(aubio_tempo_get_last_s(tempo.get())))
                beats << *clock;
        }
    }
    sound.checkDecoded(path);
    return beats;
}
