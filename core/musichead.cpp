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
        // A count is only a claim: a file that cannot hold its values ends
        // in an empty list however it is read, so none are kept.
        if (m_fileSize >= 0 && headBytes(m_count) > m_fileSize) {
            breakDown();
            return;
        }
        // Room for no more values than the file can hold, when its size is known.
        if (m_fileSize >= 0)
            m_beats.reserve(m_count);
    } else {
        m_beats.push_back(std::int32_t(value));
    }
    if (m_beats.size() == m_count)
        m_state = State::Complete;
}

void HeadParser::finish()
{
    if (m_state == State::Reading)
        breakDown();
}

void HeadParser::breakDown()
{
    m_state = State::Broken;
    m_beats.clear();
    m_beats.shrink_to_fit();
}

std::int64_t HeadParser::payloadOffset() const
{
    return headBytes(m_count);
}

} // namespace MusicFile
