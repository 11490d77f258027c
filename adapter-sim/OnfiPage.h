#pragma once

// The parameter page a chip with ONFI support answers: the geometry of one
// chip enable, the names from the configuration, and the CRC that makes a
// host trust it.

#include "NandGeometry.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xrsim {

constexpr size_t OnfiPageBytes = 256;

// CRC-16 over the page: polynomial 0x8005, initial value 0x4F4E, MSB first.
uint16_t OnfiCrc16(const uint8_t *data, size_t count);

// One 256-byte copy of the parameter page.
std::vector<uint8_t> BuildOnfiParameterPage(const CNandGeometry &geometry, const CNandConfig &config);

} // namespace xrsim
