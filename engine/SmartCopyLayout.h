#pragma once

// Where each block of a source image goes on a chip whose bad blocks differ
// from the source chip's. The result is the list of target steps, one per
// target block of the window: a source block index (relative to the image),
// ZeroBlock (a block of 0x00 standing in a bad target block) or PadBlock (a
// block of 0xFF). Kept apart from the engine so the layout rules can be
// checked without an adapter.

#include <cstdint>
#include <functional>
#include <vector>

namespace SmartCopy {

constexpr int32_t ZeroBlock = -1;
constexpr int32_t PadBlock = -2;

struct CLayoutInput
{
    uint32_t startBlock = 0;  // first block of the window (chip-wide)
    uint32_t blockCount = 0;  // blocks in the window
    uint32_t sourceBlocks = 0; // blocks held by the image
    bool copySourceBadBlocks = false;
    // Chip-wide block states of the two tables (CBadBlockTable codes).
    std::function<uint32_t(uint32_t)> sourceState;
    std::function<uint32_t(uint32_t)> targetState;
    // True when the image's block (index relative to the image) is all 0xFF.
    std::function<bool(uint32_t)> sourceBlockBlank;
};

struct CLayout
{
    std::vector<int32_t> steps;
    // A run of bad target blocks reached the end of the window.
    bool overflow = false;
};

CLayout LayOut(const CLayoutInput &input);

} // namespace SmartCopy
