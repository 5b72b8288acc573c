// bmm unpack: a music file's audio as a WAV file, and its beats as text.

#include "beatstext.h"
#include "commands.h"
#include "failure.h"
#include "headcheck.h"
#include "musicfile.h"
#include "outputfile.h"
#include "soundfile.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <optional>
#include <vector>

namespace {

// Where a path leads: links followed where the file is there already.
QString place(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Each output must be a file of its own: one taking the name of the other,
// or of the music file, would leave only one of them whole.
void checkOutputsApart(const QString &path, const QString &wavPath, const QString &beatsPath)
{
    const QString music = place(path);
    for (const QString &output : {wavPath, beatsPath})
        if (!output.isEmpty() && place(output) == music)
            throw Failure(QStringLiteral("%1: is the music file being unpacked; give the output another name")
                                  .arg(output));
    if (!beatsPath.isEmpty() && place(wavPath) == place(beatsPath))
        throw Failure(QStringLiteral("%1: given for both the WAV and the beats").arg(beatsPath));
}

} // namespace

void unpack(const QString &path, const QString &wavPath, const QString &beatsPath)
{
    QFile file(path);
    openInput(file);
    checkOutputsApart(path, wavPath, beatsPath);
    // A head the show cannot read holds no beats and no audio: there is
    // nothing to take apart, and empty outputs would pass for a silent track.
    const MusicFile::Head head = readCheckedHead(file);
    const QString problem = headProblem(head, file.size());
    if (!problem.isEmpty())
        throw Failure(QStringLiteral("%1: %2").arg(path, problem));
    const QList<int> &beats = head.beats;

    // Both outputs take their names at the end, when both are whole.
    OutputFile wavFile(wavPath);
    std::optional<OutputFile> beatsFile;
    if (!beatsPath.isEmpty()) {
        beatsFile.emplace(beatsPath);
        beatsFile->file().write(beatsText(beats, QFileInfo(path).fileName()).toUtf8());
    }

    SF_INFO format = {};
    format.samplerate = MusicFile::sampleRate;
    format.channels = MusicFile::channels;
    // A plain WAV counts its bytes in 32 bits and libsndfile wraps the count
    // past 4 GiB without a word: such a payload goes out as RF64, the WAV
    // with 64-bit sizes, and every shorter one as a plain WAV.
    format.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
    SoundFile wav(wavFile.file().handle(), format, wavPath);
    sf_command(wav.handle(), SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);

    QDataStream payload(&file);
    payload.setByteOrder(QDataStream::LittleEndian);
    payload.setFloatingPointPrecision(QDataStream::SinglePrecision);
    constexpr qint64 chunkFrames = 4096;
    std::vector<float> samples(size_t(chunkFrames * MusicFile::channels));
    qint64 frames = file.bytesAvailable() / MusicFile::bytesPerFrame;
    const qint64 partial = file.bytesAvailable() % MusicFile::bytesPerFrame;
    while (frames > 0) {
        const qint64 now = qMin(frames, chunkFrames);
        for (qint64 i = 0; i < now * MusicFile::channels; ++i)
            payload >> samples[size_t(i)];
        if (payload.status() != QDataStream::Ok)
            throw Failure(QStringLiteral("%1: cannot read: %2").arg(path, file.errorString()));
        if (sf_writef_float(wav.handle(), samples.data(), now) != now)
            throw Failure(QStringLiteral("%1: cannot write: %2").arg(wavPath, QString::fromUtf8(sf_strerror(wav.handle()))));
        frames -= now;
    }
    if (!wav.close())
        throw Failure(QStringLiteral("%1: cannot write").arg(wavPath));

    if (beatsFile)
        beatsFile->commit();
    wavFile.commit();

    if (partial)
        QTextStream(stderr) << "bmm: " << path << ": the trailing " << partial
                            << " bytes are less than a frame and are not in " << wavPath << '\n';
}
