#pragma once

// Read errors for testing verify tolerance and multiple-read correction:
// random single-bit flips at a mean rate per MiB read, and weak bits that
// read back at random. They change the reply only, never the stored data,
// and repeat exactly for the same seed and the same reads.

#include "SimConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xrsim {

class CReadDisturb
{
public:
    CReadDisturb(double flipsPerMib, std::vector<CWeakBit> weakBits, uint64_t seed);

    bool Active() const { return m_meanGap > 0 || !m_weakBits.empty(); }
    // Disturbs `count` bytes read from chip offset `offset`; returns the
    // number of bits that came out different.
    uint64_t Apply(uint8_t *data, size_t count, uint64_t offset);

private:
    uint64_t Next();
    uint64_t DrawGap();

    double m_meanGap = 0;   // bytes between flips, 0 = no flips
    std::vector<CWeakBit> m_weakBits;
    uint64_t m_state;
    uint64_t m_untilFlip = 0;
};

} // namespace xrsim
