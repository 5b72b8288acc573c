// Any bytes as a music file: the beat-list reader must not crash, must give
// what the file's head says, must leave the file where the list ends, and
// must never allocate more than the values the file can hold.

#include "musicfile.h"

#include <QBuffer>
#include <QByteArray>
#include <QtEndian>

#include <sanitizer/allocator_interface.h>

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
    return 0;
}
