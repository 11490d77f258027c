#pragma once

// Where a NAND page lives: the chip-wide page number is chip enable times
// pages per chip enable plus the row, and the image holds the pages in that
// order, spare areas included.

#include "SimConfig.h"

#include <cstdint>
#include <optional>

namespace xrsim {

struct CNandGeometry
{
    uint32_t pageSize = 0;
    uint32_t dataSize = 0;   // the spare area starts here; its first byte is the bad-block marker
    uint32_t spareSize = 0;
    uint32_t pagesPerBlock = 0;
    uint32_t blocksPerCe = 0;
    uint32_t chipEnables = 0;
    uint64_t pagesPerCe = 0;
    uint64_t totalBlocks = 0;
    uint64_t blockBytes = 0;
    uint64_t totalBytes = 0;
    int columnBytes = 0;
    int rowBytes = 0;
    uint64_t rowMask = 0;    // row bits the chip decodes; higher bits are ignored

    static CNandGeometry From(const CNandConfig &config);

    uint64_t PageOffset(uint32_t ce, uint64_t row) const { return (ce * pagesPerCe + row) * pageSize; }
    uint64_t BlockOf(uint32_t ce, uint64_t row) const { return (ce * pagesPerCe + row) / pagesPerBlock; }
    uint64_t BlockOffset(uint64_t block) const { return block * blockBytes; }
    uint64_t MarkerOffset(uint64_t block) const { return block * blockBytes + dataSize; }
    // The row as the chip's address decoder sees it, or nothing when no
    // page answers there.
    std::optional<uint64_t> ResolveRow(uint64_t row) const;
};

} // namespace xrsim
