#include "Packet.h"

namespace xrsim {

uint64_t CPacket::LE(size_t offset, size_t count) const
{
    uint64_t value = 0;
    for (size_t i = count; i > 0; --i)
        value = (value << 8) | At(offset + i - 1);
    return value;
}

uint64_t CPacket::BE(size_t offset, size_t count) const
{
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | At(offset + i);
    return value;
}

std::optional<uint32_t> CPacket::PageCount(size_t offset) const
{
    const uint32_t low = At(offset);
    const uint32_t high = At(offset + 1);
    if (low == 0)
        return high << 8;
    if (high == 0)
        return std::nullopt;
    return ((high - 1) << 8) | low;
}

std::vector<uint8_t> StatusReply(bool ok)
{
    return {uint8_t(ok ? 0x00 : 0x01), 0x00};
}

} // namespace xrsim
