#include "musichead.h"
#include "musiclayout.h"

#include <algorithm>

namespace {

std::uint32_t littleEndian32(const unsigned char *bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16
         | std::uint32_t(bytes[3]) << 24;
}

} // namespace

namespace MusicFile {

static_assert(HeadParser::mostBeatsUnsized == (1 << 24) / int(clockPerCallback),
              "a beat a callback over the float clock's exact range");

std::size_t HeadParser::feed(const unsigned char *bytes, std::size_t length)
{
    std::size_t used = 0;
    while (m_state == State::Reading && used < length) {
        const std::size_t take = std::min<std::size_t>(std::size_t(4 - m_partialBytes), length - used);
        std::copy(bytes + used, bytes + used + take, m_partial + m_partialBytes);
        m_partialBytes += int(take);
        used += take;
        if (m_partialBytes == 4) {
            m_partialBytes = 0;
            takeValue(littleEndian32(m_partial));
        }
    }
    return used;
}

void HeadParser::takeValue(std::uint32_t value)
{
    if (!m_haveCount) {
        m_haveCount = true;
        m_count = value;
        if (m_fileSize >= 0) {
            // A count is only a claim: a file that cannot hold its values
            // ends in an empty list however it is read, so none are kept.
            if (headBytes(m_count) > m_fileSize) {
                breakDown(Fault::EndsInsideList);
                return;
            }
            m_beats.reserve(m_count);
        } else if (m_count > mostBeatsUnsized) {
            breakDown(Fault::TooManyBeats);
            return;
        }
    } else {
        m_beats.push_back(std::int32_t(value));
    }
    if (m_beats.size() == m_count)
        m_state = State::Complete;
}

void HeadParser::finish()
{
    if (m_state == State::Reading)
        breakDown(m_haveCount ? Fault::EndsInsideList : Fault::NoCount);
}

std::uint64_t HeadParser::bytesWanted() const
{
    if (m_state != State::Reading)
        return 0;
    if (!m_haveCount)
        return std::uint64_t(4 - m_partialBytes);
    return 4 * (std::uint64_t(m_count) - m_beats.size()) - std::uint64_t(m_partialBytes);
}

void HeadParser::breakDown(Fault fault)
{
    m_state = State::Broken;
    m_fault = fault;
    m_beats.clear();
    m_beats.shrink_to_fit();
}

std::int64_t HeadParser::payloadOffset() const
{
    return headBytes(m_count);
}

} // namespace MusicFile
