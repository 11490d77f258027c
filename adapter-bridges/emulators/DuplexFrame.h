#pragma once

// A full-duplex wire in front of a half-duplex chip model. On the wire the
// host clocks the instruction and its address, then idle 0xFF bytes while
// the chip answers; the model wants the two parts apart. For the
// instructions that answer (reads, IDs, status, self-description) the
// answer phase is the run of idle bytes at the end of the frame; every other
// frame is all written. The model treats bytes past the written part as the
// idle line, so where exactly inside that run the split falls does not
// change what it does.

#include "SpiBus.h"

#include <cstdint>
#include <vector>

namespace xremu {

// Runs one chip-select frame of `mosi` on `chip`; returns the MISO bytes
// (0xFF while the host writes).
std::vector<uint8_t> RunDuplexFrame(xrbus::ISpiBus &chip, const std::vector<uint8_t> &mosi);

} // namespace xremu
