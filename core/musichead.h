#ifndef MUSICHEAD_H
#define MUSICHEAD_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace MusicFile {

// Reads the beat list at the head of a music file from its bytes as they
// arrive, in pieces of any size: the show's one reader of the head, fed by
// the web page as the file streams in and by readHead (musicfile.h) from a
// file. Plain C++, no Qt.
//
// It keeps no more values than the file can hold. With the file's size known,
// a count beyond it is broken at once. Without it, a count is held to what a
// show can use at all (mostBeatsUnsized): otherwise a broken or hostile
// stream with a count of 2^32 - 1 would have 16 GiB of values kept.
class HeadParser
{
public:
    enum class State {
        Reading,  // the head has not all arrived yet
        Complete, // the list is whole; the bytes after it are the audio
        Broken,   // the file ends inside the head or cannot hold its count: no beats, no audio
    };

    enum class Fault {
        None,
        NoCount,        // fewer than 4 bytes in the file
        EndsInsideList, // fewer values than the count, or a size known too short for them
        TooManyBeats,   // without a size, a count beyond mostBeatsUnsized
    };

    // A beat for every callback, for as long as the audio clock counts its
    // callbacks exactly (2^24 units of a float, 9 h 19 min of music): more
    // beats than this cannot all fire apart. 1677721 values, 6.7 MB.
    static constexpr std::uint32_t mostBeatsUnsized = (std::uint32_t(1) << 24) / 10;

    // The file's size from the head's first byte when known, or -1. Knowing
    // it, a count the file cannot hold is found broken at once instead of at
    // the file's end.
    explicit HeadParser(std::int64_t fileSize = -1) : m_fileSize(fileSize) {}

    // Takes the file's next bytes and returns how many of them belong to the
    // head; once the state is Complete, the rest are the audio's first bytes.
    // Takes nothing once the state is not Reading.
    std::size_t feed(const unsigned char *bytes, std::size_t length);

    // The file has ended: a head still being read is broken.
    void finish();

    State state() const { return m_state; }
    Fault fault() const { return m_fault; }
    // The bytes the head still lacks as far as is known yet: the rest of the
    // count, then the rest of its values. 0 unless Reading.
    std::uint64_t bytesWanted() const;
    // The beat times in file order; empty unless Complete.
    const std::vector<int> &beats() const { return m_beats; }
    // The declared beat count, once its four bytes have arrived.
    bool countRead() const { return m_haveCount; }
    std::uint32_t count() const { return m_count; }
    // Where the audio starts in the file (valid once Complete).
    std::int64_t payloadOffset() const;

private:
    void takeValue(std::uint32_t value);
    void breakDown(Fault fault);

    std::int64_t m_fileSize;
    State m_state = State::Reading;
    Fault m_fault = Fault::None;
    std::vector<int> m_beats;
    std::uint32_t m_count = 0;
    bool m_haveCount = false;
    unsigned char m_partial[4] = {}; // a value split between two pieces
    int m_partialBytes = 0;
};

} // namespace MusicFile

#endif // MUSICHEAD_H
