// Any bytes as a music file: the head reader must not crash, must give what
// the file's head says, must leave the file where the list ends, and must
// never allocate more than the values the file can hold. The same bytes as a
// stream of unknown size, in uneven pieces, give the same list, unless the
// count passes what a show can use: then nothing after the count is taken.

#include "musicfile.h"
#include "musichead.h"

#include <QBuffer>
#include <QByteArray>
#include <QtEndian>

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The largest single allocation while the reader runs.
bool s_watching = false;
size_t s_largest = 0;

void noteAllocation(const volatile void *, size_t size)
{
    if (s_watching && size > s_largest)
        s_largest = size;
}

void noteFree(const volatile void *) {}

[[noreturn]] void fail(const char *what, size_t size)
{
    std::fprintf(stderr, "fuzz_beatlist: %s (input of %zu bytes)\n", what, size);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    __sanitizer_install_malloc_and_free_hooks(noteAllocation, noteFree);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);

    s_largest = 0;
    s_watching = true;
    const QList<int> beats = MusicFile::readBeatList(file);
    s_watching = false;

    const size_t held = size >= 4 ? (size - 4) / 4 : 0;
    const quint32 count = size >= 4 ? qFromLittleEndian<quint32>(data) : 0;

    // A list slot costs a pointer's size; a device's read buffer and the
    // stream's own state come on top.
    constexpr size_t fixedCost = 16384 + 1024;
    if (s_largest > fixedCost + held * sizeof(void *))
        fail("allocated more than the file's values", size);

    if (count <= held) {
        if (beats.size() != int(count))
            fail("a complete list came back with another length", size);
        for (quint32 i = 0; i < count; ++i)
            if (beats[int(i)] != qFromLittleEndian<qint32>(data + 4 + 4 * i))
                fail("a value came back changed", size);
        if (file.pos() != qint64(size >= 4 ? 4 + 4 * count : size))
            fail("the file is not left right after the list", size);
    } else {
        if (!beats.isEmpty())
            fail("an incomplete list came back with values", size);
        if (file.pos() != qint64(size))
            fail("an incomplete list did not consume the file", size);
    }

    MusicFile::HeadParser stream;
    size_t at = 0;
    for (size_t piece = 1; at < size && stream.state() == MusicFile::HeadParser::State::Reading; piece = piece % 7 + 1) {
        const size_t length = piece < size - at ? piece : size - at;
        at += stream.feed(data + at, length);
    }
    stream.finish();
    const bool complete = stream.state() == MusicFile::HeadParser::State::Complete;
    if (size >= 4 && count > MusicFile::HeadParser::mostBeatsUnsized) {
        if (complete || at != 4)
            fail("a stream's count beyond the bound was not refused at the count", size);
    } else {
        if (complete != (count <= held && size >= 4))
            fail("a stream's head ended otherwise than the file's", size);
        if (complete && (at != size_t(4 + 4 * count)
                         || !std::equal(beats.cbegin(), beats.cend(), stream.beats().cbegin(), stream.beats().cend())))
            fail("a stream's list differs from the file's", size);
    }
    return 0;
}
