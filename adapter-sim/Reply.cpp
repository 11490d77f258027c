#include "Reply.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

size_t CReply::Take(uint8_t *dst, size_t count)
{
    const size_t n = size_t(std::min<uint64_t>(count, Remaining()));
    if (n)
        Fill(m_pos, dst, n);
    m_pos += n;
    return n;
}

size_t CReply::Skip(size_t count)
{
    const size_t n = size_t(std::min<uint64_t>(count, Remaining()));
    m_pos += n;
    return n;
}

CBytesReply::CBytesReply(std::vector<uint8_t> bytes) : CReply(bytes.size()), m_bytes(std::move(bytes)) {}

CBytesReply::CBytesReply(std::vector<uint8_t> bytes, uint64_t size)
    : CReply(size), m_bytes(std::move(bytes))
{
}

void CBytesReply::Fill(uint64_t pos, uint8_t *dst, size_t count)
{
    size_t done = 0;
    if (pos < m_bytes.size()) {
        done = std::min<size_t>(count, size_t(m_bytes.size() - pos));
        std::memcpy(dst, m_bytes.data() + pos, done);
    }
    std::memset(dst + done, 0xFF, count - done);
}

} // namespace xrsim
