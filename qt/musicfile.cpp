#include "musicfile.h"

#include <QIODevice>

namespace {

// Reads and drops the rest of a device that cannot seek, in bounded memory.
void skipToEnd(QIODevice &file)
{
    char buffer[16384];
    while (file.read(buffer, sizeof(buffer)) > 0 || file.waitForReadyRead(-1)) {
    }
}

} // namespace

namespace MusicFile {

Head readHead(QIODevice &file)
{
    // A pipe's size is what it holds yet, not the file's.
    HeadParser parser(file.isSequential() ? -1 : qMax<qint64>(0, file.size() - file.pos()));
    // Read no further than the head as far as the parser knows it: the file
    // is left right after it, with no byte of the audio taken.
    unsigned char buffer[16384];
    while (parser.state() == HeadParser::State::Reading) {
        const qint64 want = qint64(qMin<quint64>(sizeof(buffer), parser.bytesWanted()));
        const qint64 got = file.read(reinterpret_cast<char *>(buffer), want);
        if (got > 0)
            parser.feed(buffer, std::size_t(got));
        else if (got < 0 || !file.isSequential() || !file.waitForReadyRead(-1))
            parser.finish();
    }

    Head head;
    head.whole = parser.state() == HeadParser::State::Complete;
    head.fault = parser.fault();
    head.countRead = parser.countRead();
    head.count = parser.count();
    if (head.whole) {
        head.beats.reserve(int(parser.beats().size()));
        for (const int beat : parser.beats())
            head.beats.append(beat);
    } else if (file.isSequential()) {
        skipToEnd(file);
    } else {
        file.seek(file.size());
    }
    return head;
}

QList<int> readBeatList(QIODevice &file)
{
    return readHead(file).beats;
}

} // namespace MusicFile
