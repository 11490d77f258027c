#include "ReadDisturb.h"

#include <algorithm>
#include <cmath>

namespace xrsim {

CReadDisturb::CReadDisturb(double flipsPerMib, std::vector<CWeakBit> weakBits, uint64_t seed)
    : m_weakBits(std::move(weakBits)), m_state(seed)
{
    if (flipsPerMib > 0) {
        m_meanGap = 1048576.0 / flipsPerMib;
        m_untilFlip = DrawGap();
    }
}

// splitmix64: small, fast and the same on every platform, so a seed replays
// the same flips everywhere.
uint64_t CReadDisturb::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Gaps between independent flips are exponentially distributed.
uint64_t CReadDisturb::DrawGap()
{
    const double uniform = double(Next() >> 11) * (1.0 / 9007199254740992.0);
    return uint64_t(-std::log1p(-uniform) * m_meanGap);
}

uint64_t CReadDisturb::Apply(uint8_t *data, size_t count, uint64_t offset)
{
    uint64_t flips = 0;
    if (m_meanGap > 0) {
        uint64_t pos = 0;
        // m_untilFlip counts the bytes to pass before the next flipped one.
        while (m_untilFlip < count - pos) {
            pos += m_untilFlip;
            data[pos++] ^= uint8_t(1u << (Next() & 7));
            ++flips;
            m_untilFlip = DrawGap();
        }
        m_untilFlip -= count - pos;
    }
    auto weak = std::lower_bound(m_weakBits.begin(), m_weakBits.end(), offset,
                                 [](const CWeakBit &bit, uint64_t value) { return bit.offset < value; });
    for (; weak != m_weakBits.end() && weak->offset < offset + count; ++weak) {
        if (Next() & 1) {
            data[weak->offset - offset] ^= uint8_t(1u << weak->bit);
            ++flips;
        }
    }
    return flips;
}

} // namespace xrsim
