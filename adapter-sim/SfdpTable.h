#pragma once

// The SFDP data a serial flash answers: a JESD216 header with one basic
// flash parameter table whose density matches the configured size.

#include "SimConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xrsim {

constexpr size_t SfdpReplyBytes = 2048;

// The density word: size in bits minus one up to 2 Gbit, else bit 31 with
// the power of two of the size in bits.
uint32_t SfdpDensityWord(uint64_t sizeBytes);

std::vector<uint8_t> BuildSfdpTable(const CSpiConfig &config);

} // namespace xrsim
