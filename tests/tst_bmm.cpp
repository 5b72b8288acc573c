// The bmm tool: music files packed from real audio files, read back, taken
// apart, made from nothing; and bad input turned away without a trace.

#include "datarows.h"
#include "musicfile.h"
#include "musicfiles.h"
#include "processrun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sndfile.h>

#include <cmath>

#include <sys/stat.h>

using MusicFiles::head;

namespace {

ProcessRun::Result bmm(const QStringList &arguments, const QString &folder = {})
{
    return ProcessRun::run(QStringLiteral(BMM_EXECUTABLE), arguments, {folder});
}

// A chord of sines, the same on every channel but for a small offset.
QVector<float> tone(int frames, int channels, int rate)
{
    QVector<float> samples(frames * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = float(0.3 * std::sin(2 * M_PI * 440.0 * i / rate)
                                              + 0.2 * std::sin(2 * M_PI * 660.0 * i / rate + c));
    return samples;
}

bool writeSound(const QString &path, int format, int channels, int rate, const QVector<float> &samples)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = samples.size() / channels;
    const bool written = sf_writef_float(file, samples.constData(), frames) == frames;
    return sf_close(file) == 0 && written;
}

QVector<float> readSound(const QString &path, SF_INFO &info)
{
    info = {};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return {};
    QVector<float> samples(int(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

// A music file as the show reads it: beats, then the stereo samples.
struct Music
{
    QList<int> beats;
    QVector<float> samples;
    bool open = false;
};

Music readMusic(const QString &path)
{
    Music music;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return music;
    music.open = true;
    music.beats = MusicFile::readBeatList(file);
    const QByteArray payload = file.readAll();
    music.samples.resize(payload.size() / 4);
    for (int i = 0; i < music.samples.size(); ++i)
        music.samples[i] = qFromLittleEndian<float>(payload.constData() + 4 * i);
    return music;
}

double rms(const QVector<float> &samples, int from, int count)
{
    double sum = 0.0;
    for (int i = qMax(0, from); i < qMin(samples.size(), from + count); ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / count);
}

} // namespace

class BmmTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void packInfoUnpackKeepSamplesAndBeats_data();
    void packInfoUnpackKeepSamplesAndBeats();
    void otherRatesAreResampledTo44100_data();
    void otherRatesAreResampledTo44100();
    void infoSaysWhichBeatsFireAndWhatIsWrongWithTheFile_data();
    void infoSaysWhichBeatsFireAndWhatIsWrongWithTheFile();
    void synthMakesA38SecondTrackWithAKickOnEveryBeat();
    void detectedBeatsFallOnTheKicks();
    void helpTellsTheCommandsAndEachCommandsLine_data();
    void helpTellsTheCommandsAndEachCommandsLine();
    void optionsGoAnywhereAmongTheArguments_data();
    void optionsGoAnywhereAmongTheArguments();
    void badCommandLineExitsWithTwoAndOneLine_data();
    void badCommandLineExitsWithTwoAndOneLine();
    void badInputFailsNamingTheFileAndLeavesNoOutput_data();
    void badInputFailsNamingTheFileAndLeavesNoOutput();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    bool writeText(const QString &name, const QByteArray &text) const { return MusicFiles::write(path(name), text); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BmmTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void BmmTest::packInfoUnpackKeepSamplesAndBeats_data()
{
    addRows<int, int, QString>({"format", "channels", "name"},
            {{"WAV, stereo float", int(SF_FORMAT_WAV | SF_FORMAT_FLOAT), 2, "in.wav"},
             {"WAV, mono 16-bit: both sides the same", int(SF_FORMAT_WAV | SF_FORMAT_PCM_16), 1, "in.wav"},
             {"FLAC, stereo 16-bit", int(SF_FORMAT_FLAC | SF_FORMAT_PCM_16), 2, "in.flac"}});
}

void BmmTest::packInfoUnpackKeepSamplesAndBeats()
{
    QFETCH(int, format);
    QFETCH(int, channels);
    QFETCH(QString, name);

    const int frames = 44100 + 123;
    QVERIFY(writeSound(path(name), format, channels, 44100, tone(frames, channels, 44100)));
    SF_INFO info;
    const QVector<float> decoded = readSound(path(name), info); // as libsndfile gives it
    QVERIFY(writeText(QStringLiteral("beats.txt"), "# the kicks\n0.5\n\n  1.0  # a comment\n1.002\n-0.25\n"));

    ProcessRun::Result run = bmm({QStringLiteral("pack"), path(name), path(QStringLiteral("song.bmm")),
                   QStringLiteral("--beats"), path(QStringLiteral("beats.txt"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));

    const Music music = readMusic(path(QStringLiteral("song.bmm")));
    QCOMPARE(music.beats, (QList<int>{250, 500, 501, -125}));
    QCOMPARE(music.samples.size(), frames * 2);
    for (int i = 0; i < frames; ++i) {
        QCOMPARE(music.samples[2 * i], decoded[i * channels]);
        QCOMPARE(music.samples[2 * i + 1], decoded[i * channels + channels - 1]);
    }

    run = bmm({QStringLiteral("info"), path(QStringLiteral("song.bmm"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    QVERIFY2(run.outText().contains(QLatin1String("beats: 4\n")), qPrintable(run.outText()));
    QVERIFY2(run.outText().contains(QStringLiteral("payload: %1 bytes, 1.003 s").arg(frames * 8)), qPrintable(run.outText()));

    run = bmm({QStringLiteral("unpack"), path(QStringLiteral("song.bmm")), path(QStringLiteral("out.wav")),
               QStringLiteral("--beats"), path(QStringLiteral("out.txt"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    const QVector<float> unpacked = readSound(path(QStringLiteral("out.wav")), info);
    // A WAV (RIFF) file, as the payload fits in one, of float samples.
    QFile wav(path(QStringLiteral("out.wav")));
    QVERIFY(wav.open(QIODevice::ReadOnly));
    const QByteArray riff = wav.read(12);
    QVERIFY2(riff.startsWith("RIFF") && riff.endsWith("WAVE"), riff.constData());
    QCOMPARE(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
    QCOMPARE(info.samplerate, 44100);
    QCOMPARE(info.channels, 2);
    QCOMPARE(unpacked, music.samples);

    // The beats come back as a file that packs to the same list.
    run = bmm({QStringLiteral("pack"), path(QStringLiteral("out.wav")), path(QStringLiteral("again.bmm")),
               QStringLiteral("--beats"), path(QStringLiteral("out.txt"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    const Music again = readMusic(path(QStringLiteral("again.bmm")));
    QCOMPARE(again.beats, music.beats);
    QCOMPARE(again.samples, music.samples);
}

void BmmTest::otherRatesAreResampledTo44100_data()
{
    addRows<int>({"rate"}, {{"48000 Hz", 48000}, {"22050 Hz", 22050}});
}

void BmmTest::otherRatesAreResampledTo44100()
{
    QFETCH(int, rate);

    const int frames = 2 * rate;
    QVERIFY(writeSound(path(QStringLiteral("in.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, rate, tone(frames, 2, rate)));
    const ProcessRun::Result run = bmm({QStringLiteral("pack"), path(QStringLiteral("in.flac")), path(QStringLiteral("song.bmm"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));

    const Music music = readMusic(path(QStringLiteral("song.bmm")));
    QVERIFY(music.beats.isEmpty());
    QVERIFY2(qAbs(music.samples.size() / 2 - 2 * 44100) <= 2, qPrintable(QString::number(music.samples.size() / 2)));
    // The same tone at the new rate, away from the edges.
    const QVector<float> expected = tone(2 * 44100, 2, 44100);
    double error = 0.0;
    for (int i = 2 * 4410; i < 2 * 80000; ++i)
        error = qMax(error, double(qAbs(music.samples[i] - expected[i])));
    QVERIFY2(error < 1e-3, qPrintable(QString::number(error)));
}

void BmmTest::infoSaysWhichBeatsFireAndWhatIsWrongWithTheFile_data()
{
    const QList<int> beats{-5, 0, 20, 50, 50, 100, 95, 130, 110, 30000};
    // Every value from 0 to 99999 twice in a row: the first fires whatever
    // the frame rate up to the show's end (clock 19100) and comes after it
    // from there; the second repeats it. Every beat is judged against the
    // earlier ones; on a list this long that must not take the square of its
    // length. Not timed: it has to finish.
    QList<int> twiceEach;
    for (int value = 0; value < 100000; ++value)
        twiceEach << value << value;
    addRows<QByteArray, QStringList>({"content", "says"},
            {{"which beats fire", head(quint32(beats.size()), beats) + MusicFiles::payload(100) + "xyz",
              {"beats: 10\n", "fire whatever the frame rate: 5\n",
               "never fire: 3\n"
               "  #1 -5 (-0.010 s): negative\n"
               "  #5 50 (0.100 s): repeats beat #4, already passed\n"
               "  #7 95 (0.190 s): behind the larger 100: the clock passes both in one step\n",
               "depending on the frame rate: 1\n"
               "  #9 110 (0.220 s): fires only if a frame sees the clock from 110 to 129, before the larger 130 fires\n",
               "end (clock 19100 at 38.200 s): 1\n  #10 30000", "trailing partial frame: 3 bytes"}},
             {"two hundred thousand beats", head(quint32(twiceEach.size()), twiceEach),
              {"beats: 200000\nfire whatever the frame rate: 19101\nnever fire: 100000\n"
               "  #2 0 (0.000 s): repeats beat #1, already passed\n",
               "  #200000 99999 (199.998 s): repeats beat #199999, already passed\n"
               "fire or not depending on the frame rate: 0\n"
               "come after the show's end (clock 19100 at 38.200 s): 80899\n"
               "  #38203 19101 (38.202 s): beyond the show's end\n"}},
             {"truncated list", head(5, {1, 2}) + QByteArray("\x01", 1),
              {"truncated list: the count says 5 beats, the file holds 2"}},
             {"count far beyond the file", head(0xFFFFFFFFu, {}),
              {"truncated list: the count says 4294967295 beats, the file holds 0"}},
             {"too short for a count", QByteArray("\x01\x02", 2), {"too short for a beat count"}},
             {"a payload past the show's end", head(0, {}) + MusicFiles::payload(44100 * 40),
              {"40.000 s against the show's 38.200 s; the last 1.800 s are never heard"}}});
}

void BmmTest::infoSaysWhichBeatsFireAndWhatIsWrongWithTheFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, says);
    QVERIFY(writeText(QStringLiteral("song.bmm"), content));
    const ProcessRun::Result run = bmm({QStringLiteral("info"), path(QStringLiteral("song.bmm"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    for (const QString &said : says)
        QVERIFY2(run.outText().contains(said), qPrintable(said + QStringLiteral("\n-- not in:\n") + run.outText().left(2000)));
}

void BmmTest::synthMakesA38SecondTrackWithAKickOnEveryBeat()
{
    const ProcessRun::Result run = bmm({QStringLiteral("synth"), path(QStringLiteral("music.bmm"))});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    const Music music = readMusic(path(QStringLiteral("music.bmm")));

    const double seconds = music.samples.size() / 2 / 44100.0;
    QVERIFY2(seconds >= 37.0 && seconds <= 38.2, qPrintable(QString::number(seconds)));
    QVERIFY(music.beats.size() >= 60);
    for (int i = 1; i < music.beats.size(); ++i)
        QCOMPARE(music.beats[i] - music.beats[i - 1], 250); // a steady 120 a minute

    float peak = 0.0f;
    for (const float sample : music.samples)
        peak = qMax(peak, qAbs(sample));
    QVERIFY(peak > 0.3f && peak < 1.0f);

    // Each beat is a kick: 20 ms after it is much louder than the 20 ms before.
    constexpr int window = 2 * 882;
    for (const int beat : qAsConst(music.beats)) {
        const int at = beat * 44100 / 500 * 2;
        QVERIFY2(rms(music.samples, at, window) > 2.0 * rms(music.samples, at - window, window),
                 qPrintable(QString::number(beat)));
    }
}

void BmmTest::detectedBeatsFallOnTheKicks()
{
#ifndef BMM_BEAT_DETECTION
    QSKIP("bmm is built without aubio here: --detect-beats is left out");
#endif
    QVERIFY(bmm({QStringLiteral("synth"), path(QStringLiteral("music.bmm"))}).exitCode == 0);
    QVERIFY(bmm({QStringLiteral("unpack"), path(QStringLiteral("music.bmm")), path(QStringLiteral("music.wav"))}).exitCode == 0);
    const ProcessRun::Result run = bmm({QStringLiteral("pack"), path(QStringLiteral("music.wav")), path(QStringLiteral("detected.bmm")),
                         QStringLiteral("--detect-beats")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));

    const QList<int> kicks = readMusic(path(QStringLiteral("music.bmm"))).beats;
    const QList<int> detected = readMusic(path(QStringLiteral("detected.bmm"))).beats;
    QVERIFY2(qAbs(detected.size() - kicks.size()) <= 10, qPrintable(QString::number(detected.size())));
    int onAKick = 0;
    for (const int beat : detected) {
        const bool near = std::any_of(kicks.cbegin(), kicks.cend(), [beat](int kick) { return qAbs(beat - kick) <= 20; });
        onAKick += near ? 1 : 0;
    }
    // Within 40 ms of a kick, the tracker's first guesses aside.
    QVERIFY2(onAKick >= detected.size() * 8 / 10, qPrintable(QStringLiteral("%1 of %2").arg(onAKick).arg(detected.size())));
}

void BmmTest::helpTellsTheCommandsAndEachCommandsLine_data()
{
    const QStringList commands{"  pack ", "  info ", "  unpack ", "  synth ", "bmm COMMAND --help"};
    addRows<QStringList, QStringList>({"arguments", "says"},
            {{"--help", QStringList{"--help"}, commands},
             {"-h", QStringList{"-h"}, commands},
             {"pack --help", QStringList{"pack", "--help"},
              QStringList{"Usage: bmm pack [options] AUDIO OUT.bmm\n", "--beats <FILE>", "--detect-beats"}},
             {"--help before the command", QStringList{"--help", "pack"},
              QStringList{"Usage: bmm pack [options] AUDIO OUT.bmm\n"}},
             {"info -h", QStringList{"info", "-h"}, QStringList{"Usage: bmm info [options] FILE.bmm\n"}},
             {"unpack --help among its arguments", QStringList{"unpack", "song.bmm", "--help", "out.wav"},
              QStringList{"Usage: bmm unpack [options] FILE.bmm OUT.wav\n", "--beats <OUT.txt>"}},
             {"synth --help", QStringList{"synth", "--help"}, QStringList{"Usage: bmm synth [options] OUT.bmm\n"}}});
}

void BmmTest::helpTellsTheCommandsAndEachCommandsLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, says);

    const ProcessRun::Result run = bmm(arguments, m_dir->path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errText(), QString());
    for (const QString &part : says)
        QVERIFY2(run.outText().contains(part), qPrintable(run.outText()));
    // Asking for help does nothing else.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void BmmTest::optionsGoAnywhereAmongTheArguments_data()
{
    addRows<QStringList, QStringList>({"packArguments", "unpackArguments"},
            {{"options last", QStringList{"pack", "in.wav", "out.bmm", "--beats", "beats.txt"},
              QStringList{"unpack", "out.bmm", "back.wav", "--beats", "back.txt"}},
             {"options first", QStringList{"pack", "--beats", "beats.txt", "in.wav", "out.bmm"},
              QStringList{"unpack", "--beats", "back.txt", "out.bmm", "back.wav"}},
             {"options between, with =", QStringList{"pack", "in.wav", "--beats=beats.txt", "out.bmm"},
              QStringList{"unpack", "out.bmm", "--beats=back.txt", "back.wav"}},
             {"a file named like an option, after --",
              QStringList{"pack", "--beats", "beats.txt", "--", "in.wav", "-out.bmm"},
              QStringList{"unpack", "--beats", "back.txt", "--", "-out.bmm", "back.wav"}}});
}

void BmmTest::optionsGoAnywhereAmongTheArguments()
{
    QFETCH(QStringList, packArguments);
    QFETCH(QStringList, unpackArguments);

    QVERIFY(writeSound(path(QStringLiteral("in.wav")), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, tone(4410, 2, 44100)));
    QVERIFY(writeText(QStringLiteral("beats.txt"), "0.5\n1.0\n"));
    const QString packed = path(packArguments.last().startsWith('-') ? "-out.bmm" : "out.bmm");

    ProcessRun::Result run = bmm(packArguments, m_dir->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    const Music music = readMusic(packed);
    QCOMPARE(music.beats, (QList<int>{250, 500}));
    QCOMPARE(music.samples.size(), 4410 * 2);

    run = bmm(unpackArguments, m_dir->path());
    QVERIFY2(run.exitCode == 0, qPrintable(run.errText()));
    SF_INFO info;
    QCOMPARE(readSound(path(QStringLiteral("back.wav")), info), music.samples);
    QFile text(path(QStringLiteral("back.txt")));
    QVERIFY(text.open(QIODevice::ReadOnly));
    QVERIFY(text.readAll().endsWith("0.500\n1.000\n"));
}

void BmmTest::badCommandLineExitsWithTwoAndOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList{} << "bmm: give a command: pack, info, unpack, synth (bmm --help";
    QTest::newRow("an unknown command") << QStringList{"play", "song.bmm"} << "bmm: no command 'play'";
    QTest::newRow("an option before the command") << QStringList{"--beats", "b.txt", "pack"} << "bmm: no command '--beats'";
    QTest::newRow("an unknown option") << QStringList{"pack", "in.wav", "out.bmm", "--loud"}
                                       << "bmm: unknown option 'loud' (bmm pack --help";
    QTest::newRow("an option of another command") << QStringList{"info", "song.bmm", "--detect-beats"}
                                                  << "bmm: unknown option 'detect-beats' (bmm info --help";
    QTest::newRow("an option without its value") << QStringList{"unpack", "song.bmm", "out.wav", "--beats"}
                                                 << "bmm: missing value after '--beats' (bmm unpack --help";
    QTest::newRow("a value for an option that takes none")
        << QStringList{"pack", "in.wav", "out.bmm", "--detect-beats=yes"} << "bmm: unexpected value after '--detect-beats'";
    QTest::newRow("both sources of beats") << QStringList{"pack", "in.wav", "out.bmm", "--detect-beats", "--beats", "b.txt"}
                                           << "bmm: give --beats FILE or --detect-beats, not both (bmm pack --help";
    QTest::newRow("too few arguments") << QStringList{"pack", "in.wav"}
                                       << "bmm: pack wants AUDIO OUT.bmm; 1 argument given (bmm pack --help";
    QTest::newRow("too many arguments") << QStringList{"info", "a.bmm", "b.bmm"}
                                        << "bmm: info wants FILE.bmm; 2 arguments given (bmm info --help";
    QTest::newRow("synth with nothing to write") << QStringList{"synth"} << "bmm: synth wants OUT.bmm; 0 arguments given";
}

void BmmTest::badCommandLineExitsWithTwoAndOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QVERIFY(writeSound(path(QStringLiteral("in.wav")), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, tone(441, 2, 44100)));
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    const ProcessRun::Result run = bmm(arguments, m_dir->path());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.outText(), QString());
    QCOMPARE(run.errText().count(QLatin1Char('\n')), 1);
    QVERIFY2(run.errText().startsWith(message), qPrintable(run.errText()));
    QVERIFY2(run.errText().contains(QLatin1String("--help tells more)")), qPrintable(run.errText()));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

void BmmTest::badInputFailsNamingTheFileAndLeavesNoOutput_data()
{
    addRows<QStringList, QString>({"arguments", "message"},
            {{"missing audio", QStringList{"pack", "missing.wav", "out.bmm"}, "bmm: missing.wav: no such file"},
             {"undecodable audio", QStringList{"pack", "garbage.wav", "out.bmm"}, "bmm: garbage.wav: cannot decode"},
             {"a beats line that is no time", QStringList{"pack", "in.wav", "out.bmm", "--beats", "bad-beats.txt"},
              "bmm: bad-beats.txt:3: not a time in seconds: \"1.5s\""},
             {"a beat time out of range", QStringList{"pack", "in.wav", "out.bmm", "--beats", "far-beats.txt"},
              "bmm: far-beats.txt:2: time out of range"},
             {"missing beats file", QStringList{"pack", "in.wav", "out.bmm", "--beats", "missing.txt"},
              "bmm: missing.txt: no such file"},
             {"a beats file that is a folder", QStringList{"pack", "in.wav", "out.bmm", "--beats", "folder"},
              "bmm: folder: not a regular file"},
             // Opened as a file, a FIFO nobody writes to would block bmm for good.
             {"a beats file that is a FIFO", QStringList{"pack", "in.wav", "out.bmm", "--beats", "fifo.txt"},
              "bmm: fifo.txt: not a regular file"},
             {"unwritable music file", QStringList{"pack", "in.wav", "no-such-folder/out.bmm"},
              "bmm: no-such-folder/out.bmm: cannot write"},
             {"unwritable synth output", QStringList{"synth", "no-such-folder/out.bmm"},
              "bmm: no-such-folder/out.bmm: cannot write"},
             {"info of a missing file", QStringList{"info", "missing.bmm"}, "bmm: missing.bmm: no such file"},
             {"info of a folder", QStringList{"info", "folder"}, "bmm: folder: not a regular file"},
             {"unpack of a missing file", QStringList{"unpack", "missing.bmm", "out.wav"},
              "bmm: missing.bmm: no such file"},
             {"unpack of a file too short for a beat count",
              QStringList{"unpack", "short.bmm", "out.wav", "--beats", "out.txt"},
              "bmm: short.bmm: too short for a beat count: the show finds no beats and no audio"},
             {"unpack of a truncated list", QStringList{"unpack", "truncated.bmm", "out.wav", "--beats", "out.txt"},
              "bmm: truncated.bmm: truncated list: the count says 5 beats, the file holds 2;"},
             {"unpack onto its own music file", QStringList{"unpack", "song.bmm", "./song.bmm"},
              "bmm: ./song.bmm: is the music file being unpacked"},
             {"unpack's beats onto its own music file",
              QStringList{"unpack", "song.bmm", "out.wav", "--beats", "song.bmm"},
              "bmm: song.bmm: is the music file being unpacked"},
             {"unpack's WAV and beats into one file",
              QStringList{"unpack", "song.bmm", "out.wav", "--beats", "out.wav"},
              "bmm: out.wav: given for both the WAV and the beats"},
             {"unpack of a count far beyond the file", QStringList{"unpack", "beyond.bmm", "out.wav"},
              "bmm: beyond.bmm: truncated list: the count says 4294967295 beats, the file holds 3;"},
             {"unwritable WAV", QStringList{"unpack", "song.bmm", "no-such-folder/out.wav"},
              "bmm: no-such-folder/out.wav: cannot write"},
             {"unwritable beats text",
              QStringList{"unpack", "song.bmm", "out.wav", "--beats", "no-such-folder/b.txt"},
              "bmm: no-such-folder/b.txt: cannot write"}});
}

void BmmTest::badInputFailsNamingTheFileAndLeavesNoOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QVERIFY(writeSound(path(QStringLiteral("in.wav")), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, tone(4410, 2, 44100)));
    QVERIFY(writeText(QStringLiteral("garbage.wav"), QByteArray(5000, '\x5a')));
    QVERIFY(writeText(QStringLiteral("bad-beats.txt"), "0.5\n# fine\n1.5s\n2.0\n"));
    QVERIFY(writeText(QStringLiteral("far-beats.txt"), "0.5\n1e10\n"));
    QVERIFY(writeText(QStringLiteral("song.bmm"), head(1, {250}) + MusicFiles::payload(100)));
    QVERIFY(writeText(QStringLiteral("short.bmm"), QByteArray("\x01\x00", 2)));
    QVERIFY(writeText(QStringLiteral("truncated.bmm"), head(5, {250, 500}) + QByteArray("\x01\x02", 2)));
    QVERIFY(writeText(QStringLiteral("beyond.bmm"), head(0xFFFFFFFFu, {250, 500, 750})));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(mkfifo(QFile::encodeName(path(QStringLiteral("fifo.txt"))).constData(), 0600), 0);
    // A file that a failed command must leave as it was.
    QVERIFY(writeText(QStringLiteral("out.bmm"), "old"));
    // Outputs are written under hidden names first: those count too.
    const auto entries = [this] {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    const QStringList before = entries();

    const ProcessRun::Result run = bmm(arguments, m_dir->path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.errText().count(QLatin1Char('\n')), 1);
    QVERIFY2(run.errText().startsWith(message), qPrintable(run.errText()));

    QCOMPARE(entries(), before);
    QFile old(path(QStringLiteral("out.bmm")));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    QFile song(path(QStringLiteral("song.bmm")));
    QVERIFY(song.open(QIODevice::ReadOnly));
    QCOMPARE(song.readAll(), head(1, {250}) + MusicFiles::payload(100));
}

QTEST_GUILESS_MAIN(BmmTest)
#include "tst_bmm.moc"
