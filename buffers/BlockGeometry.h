#pragma once

// Where a NAND verify may skip bad blocks: the chip's block geometry and the
// length of the bad-block state list it goes with.

#include <cstdint>

class CDeviceItem;

struct CBlockGeometry
{
    uint32_t pageSize = 0;      // bytes per page, spare area included
    uint32_t pagesPerBlock = 0;
    uint64_t blockCount = 0;    // entries in the bad-block state list

    uint64_t BlockBytes() const { return uint64_t(pageSize) * pagesPerBlock; }
};

// Block state values of a bad-block state list.
constexpr uint32_t BlockStateBad = 2;

// The geometry of a NAND device entry with a state list of stateCount
// entries; no geometry (nothing is skipped) for any other device or none.
CBlockGeometry NandBlockGeometry(const CDeviceItem *device, uint64_t stateCount);
