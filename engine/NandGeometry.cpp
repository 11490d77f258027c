#include "NandGeometry.h"

#include "DeviceItemNand.h"

#include <array>

namespace {

struct CSpareLayout
{
    uint32_t pageSize;
    uint32_t dataBytes;
};

// Page sizes of real chips with their data area.
constexpr std::array<CSpareLayout, 13> KnownLayouts{{
    {528, 512},
    {2112, 2048},
    {2176, 2048},
    {4224, 4096},
    {4314, 4096},
    {4320, 4096},
    {8568, 8192},
    {8628, 8192},
    {8640, 8192},
    {8704, 8192},
    {8936, 8192},
    {9216, 8192},
    {17664, 16384},
}};

// Any other page size: the data area is the power of two below it, for the
// sizes between two powers of two that a spare area can make.
struct CSpareRange
{
    uint32_t first;
    uint32_t last;
    uint32_t dataBytes;
};

constexpr std::array<CSpareRange, 4> OtherSizes{{
    {513, 2047, 512},
    {2049, 4095, 2048},
    {4097, 8191, 4096},
    {8193, 16383, 8192},
}};

} // namespace

uint8_t AddressBytesFor(uint64_t value)
{
    uint8_t count = 0;
    for (; value; value >>= 8)
        ++count;
    return count;
}

uint8_t ColumnBytesFor(uint32_t pageSize)
{
    constexpr uint32_t LargePageMin = 1024;
    return pageSize < LargePageMin ? 1 : AddressBytesFor(pageSize);
}

std::optional<uint32_t> MarkerOffsetFor(uint32_t pageSize)
{
    for (const CSpareLayout &layout : KnownLayouts) {
        if (layout.pageSize == pageSize)
            return layout.dataBytes;
    }
    for (const CSpareRange &range : OtherSizes) {
        if (pageSize >= range.first && pageSize <= range.last)
            return range.dataBytes;
    }
    return std::nullopt;
}

CNandGeometry CNandGeometry::FromDevice(const CDeviceItemNand &device, int chipEnables)
{
    CNandGeometry g;
    g.pageSize = device.m_pageSize;
    g.pagesPerBlock = device.m_pagesPerBlock;
    g.chipBytes = device.m_size;
    g.chipEnables = chipEnables > 0 ? chipEnables : (device.m_ceCount > 0 ? device.m_ceCount : 1);
    g.blockBytes = uint64_t(g.pageSize) * g.pagesPerBlock;
    g.blockCount = g.blockBytes ? uint32_t(g.chipBytes / g.blockBytes) : 0;
    const uint64_t chipEnableBytes = uint64_t(g.chipEnables) * g.pageSize;
    g.pagesPerChip = chipEnableBytes ? uint32_t(g.chipBytes / chipEnableBytes) : 0;
    g.columnBytes = ColumnBytesFor(g.pageSize);
    g.rowBytes = AddressBytesFor(g.pagesPerChip);
    return g;
}

uint8_t CNandGeometry::ChipEnableOf(uint64_t page) const
{
    if (pagesPerChip == 0)
        return NoChipEnable;
    const uint64_t chipEnable = page / pagesPerChip;
    return chipEnable < NoChipEnable ? uint8_t(chipEnable) : NoChipEnable;
}

uint32_t CNandGeometry::RowOf(uint64_t page) const
{
    return pagesPerChip ? uint32_t(page % pagesPerChip) : uint32_t(page);
}

uint64_t CNandGeometry::PagesLeftInChip(uint64_t page) const
{
    if (pagesPerChip == 0)
        return 1;
    return pagesPerChip - page % pagesPerChip;
}

uint32_t CNandGeometry::BlockOf(uint64_t address) const
{
    return blockBytes ? uint32_t(address / blockBytes) : 0;
}
