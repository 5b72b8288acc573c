// bmm synth: the show's default soundtrack, made from nothing. 38 s at
// 120 beats a minute in A minor (Am F C G): a pad, an off-beat bass, hats,
// a plucked arpeggio in the middle, and a kick on every beat from the second
// bar to the second last, which is where the beat list puts its beats.

#include "commands.h"
#include "musicfile.h"
#include "musicwriter.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int rate = MusicFile::sampleRate;
constexpr double beatSeconds = 0.5; // 120 beats a minute
constexpr int beatsPerBar = 4;
constexpr double barSeconds = beatsPerBar * beatSeconds;
constexpr int bars = 19;
constexpr double trackSeconds = bars * barSeconds;
constexpr double twoPi = 6.283185307179586;

// Which bars each part plays in (from, to inclusive).
constexpr int kickFrom = 1, kickTo = 17;
constexpr int bassFrom = 2, bassTo = 17;
constexpr int hatsFrom = 3, hatsTo = 17;
constexpr int arpFrom = 9, arpTo = 16;

struct Chord
{
    int root;                  // bass note, MIDI number
    std::array<int, 3> voices; // pad notes, MIDI numbers
};

constexpr std::array<Chord, 4> progression{{
    {45, {57, 60, 64}}, // A minor
    {41, {57, 60, 65}}, // F major
    {48, {55, 60, 64}}, // C major
    {43, {55, 59, 62}}, // G major
}};

// The last bar goes home to A minor instead of going round again.
const Chord &chordOf(int bar)
{
    return bar == bars - 1 ? progression[0] : progression[size_t(bar % 4)];
}

double frequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// A stereo buffer the parts are added into.
class Bus
{
public:
    explicit Bus(qint64 frames) : m_samples(size_t(frames * 2), 0.0f) {}

    qint64 frames() const { return qint64(m_samples.size() / 2); }
    float &left(qint64 frame) { return m_samples[size_t(frame * 2)]; }
    float &right(qint64 frame) { return m_samples[size_t(frame * 2 + 1)]; }

    void add(qint64 frame, double value, double pan)
    {
        if (frame < 0 || frame >= frames())
            return;
        // Equal-power pan: 0 is left, 0.5 the middle, 1 right.
        left(frame) += float(value * std::cos(pan * twoPi / 4));
        right(frame) += float(value * std::sin(pan * twoPi / 4));
    }

    // Runs fn(frame, seconds since start) over a sound of the given length.
    template<typename Fn>
    void render(double start, double seconds, double pan, Fn fn)
    {
        const qint64 first = qint64(start * rate);
        const qint64 count = qint64(seconds * rate);
        for (qint64 i = 0; i < count; ++i)
            add(first + i, fn(double(i) / rate), pan);
    }

    std::vector<float> &samples() { return m_samples; }

private:
    std::vector<float> m_samples;
};

// Deterministic white noise, so that every run makes the same file.
class Noise
{
public:
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 24) * 2.0 - 1.0;
    }

private:
    quint32 m_state = 22222u;
};

void kick(Bus &bus, double start, Noise &noise)
{
    double phase = 0.0;
    bus.render(start, 0.45, 0.5, [&](double t) {
        // A falling pitch gives the thump, a few milliseconds of noise the click.
        phase += twoPi * (48.0 + 120.0 * std::exp(-t * 35.0)) / rate;
        const double click = t < 0.003 ? 0.25 * noise.next() : 0.0;
        return 0.95 * std::sin(phase) * std::exp(-t * 7.0) + click;
    });
}

void hat(Bus &bus, double start, double gain, Noise &noise)
{
    double low = 0.0;
    bus.render(start, 0.12, 0.62, [&](double t) {
        // Noise minus its low part: only the hiss is left.
        const double x = noise.next();
        low += 0.45 * (x - low);
        return gain * (x - low) * std::exp(-t * 55.0);
    });
}

void bass(Bus &bus, double start, int note)
{
    const double f = frequency(note);
    constexpr double length = 0.22;
    bus.render(start, length, 0.5, [&](double t) {
        const double attack = std::min(1.0, t / 0.005);
        const double release = std::min(1.0, (length - t) / 0.03);
        const double body = std::sin(twoPi * f * t) + 0.3 * std::sin(2 * twoPi * f * t) + 0.12 * std::sin(3 * twoPi * f * t);
        return 0.32 * std::tanh(1.4 * body) * attack * release * (0.75 + 0.25 * std::exp(-t * 12.0));
    });
}

// A soft saw: a few harmonics falling off steeply, two voices a little apart,
// one on each side.
void pad(Bus &bus, double start, double length, int note)
{
    constexpr double release = 0.6;
    constexpr double detuneCents = 6.0;
    for (const double side : {-1.0, 1.0}) {
        const double f = frequency(note) * std::pow(2.0, side * detuneCents / 1200.0);
        bus.render(start, length + release, side < 0 ? 0.2 : 0.8, [&](double t) {
            double wave = 0.0;
            for (int n = 1; n <= 6; ++n)
                wave += std::sin(n * twoPi * f * t) / std::pow(n, 1.6);
            const double attack = 0.5 - 0.5 * std::cos(std::min(1.0, t / 0.4) * twoPi / 2);
            const double fade = t < length ? 1.0 : 1.0 - (t - length) / release;
            return 0.045 * wave * attack * fade;
        });
    }
}

void pluck(Bus &bus, double start, int note, double pan)
{
    const double f = frequency(note);
    bus.render(start, 0.4, pan, [&](double t) {
        const double bright = 0.5 * std::sin(2 * twoPi * f * t) * std::exp(-t * 25.0);
        return 0.11 * (std::sin(twoPi * f * t) + bright) * std::exp(-t * 9.0) * std::min(1.0, t / 0.002);
    });
}

// Echoes bouncing between the sides.
void pingPong(Bus &bus, double delaySeconds, double feedback, double mix)
{
    const qint64 delay = qint64(delaySeconds * rate);
    std::vector<float> left(size_t(bus.frames())), right(size_t(bus.frames()));
    for (qint64 i = 0; i < bus.frames(); ++i) {
        const double fromRight = i >= delay ? right[size_t(i - delay)] : 0.0;
        const double fromLeft = i >= delay ? left[size_t(i - delay)] : 0.0;
        left[size_t(i)] = float(bus.right(i) + feedback * fromRight);
        right[size_t(i)] = float(bus.left(i) + feedback * fromLeft);
        bus.left(i) += float(mix * fromRight);
        bus.right(i) += float(mix * fromLeft);
    }
}

} // namespace

void synth(const QString &outPath)
{
    const qint64 frames = qint64(trackSeconds * rate);
    Bus drums(frames), music(frames), echoes(frames);
    Noise noise;
    QList<int> beats;

    for (int bar = 0; bar < bars; ++bar) {
        const double barStart = bar * barSeconds;
        const Chord &chord = chordOf(bar);
        const bool last = bar == bars - 1;

        for (const int note : chord.voices)
            pad(music, barStart, last ? barSeconds - 0.6 : barSeconds, note);

        for (int b = 0; b < beatsPerBar; ++b) {
            const double beat = barStart + b * beatSeconds;
            if (bar >= kickFrom && bar <= kickTo) {
                kick(drums, beat, noise);
                beats << int(std::lround(MusicFile::clockAtSeconds(beat)));
            }
            if (bar >= bassFrom && bar <= bassTo)
                bass(music, beat + beatSeconds / 2, b == 2 ? chord.root + 12 : chord.root);
            if (bar >= hatsFrom && bar <= hatsTo) {
                hat(drums, beat + beatSeconds / 2, 0.22, noise);
                if (bar >= arpFrom) {
                    hat(drums, beat + beatSeconds / 4, 0.07, noise);
                    hat(drums, beat + 3 * beatSeconds / 4, 0.07, noise);
                }
            }
            if (bar >= arpFrom && bar <= arpTo) {
                for (int step = 0; step < 4; ++step) {
                    const int index = b * 4 + step;
                    const int note = chord.voices[size_t(index % 3)] + 12 * (index % 6 < 3 ? 1 : 2);
                    pluck(echoes, beat + step * beatSeconds / 4, note, step % 2 ? 0.3 : 0.7);
                }
            }
        }
    }
    pingPong(echoes, 3 * beatSeconds / 4, 0.35, 0.4);

    // Pad, bass and plucks duck under each kick, so the kick comes through and the
    // music breathes with the beat.
    std::vector<float> &out = drums.samples();
    const qint64 kickStart = qint64(kickFrom * barSeconds * rate);
    const qint64 kickEnd = qint64((kickTo + 1) * barSeconds * rate);
    const qint64 beatFrames = qint64(beatSeconds * rate);
    for (qint64 i = 0; i < frames; ++i) {
        double duck = 1.0;
        if (i >= kickStart && i < kickEnd)
            duck = 1.0 - 0.45 * std::exp(-double((i - kickStart) % beatFrames) / rate * 9.0);
        const double t = double(i) / rate;
        const double fade = std::min(1.0, (trackSeconds - t) / 1.5);
        for (int c = 0; c < 2; ++c) {
            const size_t s = size_t(i * 2 + c);
            const double mixed = out[s] + duck * (music.samples()[s] + echoes.samples()[s]);
            out[s] = float(std::tanh(mixed * fade));
        }
    }

    MusicWriter writer(outPath, beats);
    writer.writeFrames(out.data(), frames);
    writer.commit();
}
