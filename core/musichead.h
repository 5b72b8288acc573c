#ifndef MUSICHEAD_H
#define MUSICHEAD_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace MusicFile {

// Reads the beat list at the head of a music file from its bytes as they
// arrive, in pieces of any size, for hosts that receive the file as a stream
// (the web build) rather than read it through Qt. Plain C++, no Qt. It makes
// of every file what readBeatList makes of it: the same list, and the audio
// from the same byte on.
class HeadParser
{
public:
    enum class State {
        Reading,  // the head has not all arrived yet
        Complete, // the list is whole; the bytes after it are the audio
        Broken,   // the file ends inside the head or cannot hold its count: no beats, no audio
    };

    // The file's whole size when known, or -1. Knowing it, a count the file
    // cannot hold is found broken at once instead of at the file's end.
    explicit HeadParser(std::int64_t fileSize = -1) : m_fileSize(fileSize) {}

    // Takes the file's next bytes and returns how many of them belong to the
    // head; once the state is Complete, the rest are the audio's first bytes.
    // Takes nothing once the state is not Reading.
    std::size_t feed(const unsigned char *bytes, std::size_t length);

    // The file has ended: a head still being read is broken.
    void finish();

    State state() const { return m_state; }
    // The beat times in file order; empty unless Complete.
    const std::vector<int> &beats() const { return m_beats; }
    // The declared beat count, once its four bytes have arrived.
    bool countRead() const { return m_haveCount; }
    std::uint32_t count() const { return m_count; }
    // Where the audio starts in the file (valid once Complete).
    std::int64_t payloadOffset() const;

private:
    void takeValue(std::uint32_t value);
    void breakDown();

    std::int64_t m_fileSize;
    State m_state = State::Reading;
    std::vector<int> m_beats;
    std::uint32_t m_count = 0;
    bool m_haveCount = false;
    unsigned char m_partial[4] = {}; // a value split between two pieces
    int m_partialBytes = 0;
};

} // namespace MusicFile

#endif // MUSICHEAD_H
