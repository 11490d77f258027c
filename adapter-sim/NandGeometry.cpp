#include "NandGeometry.h"
#include "ByteOrder.h"

namespace xrsim {

namespace {
constexpr uint32_t SmallPageData = 512;
} // namespace

CNandGeometry CNandGeometry::From(const CNandConfig &config)
{
    CNandGeometry g;
    g.pageSize = config.pageSize;
    g.dataSize = 1;
    while (g.dataSize * 2 <= g.pageSize)
        g.dataSize *= 2;
    g.spareSize = g.pageSize - g.dataSize;
    g.pagesPerBlock = config.pagesPerBlock;
    g.blocksPerCe = config.blocks;
    g.chipEnables = config.chipEnables;
    g.pagesPerCe = uint64_t(g.pagesPerBlock) * g.blocksPerCe;
    g.totalBlocks = uint64_t(g.blocksPerCe) * g.chipEnables;
    g.blockBytes = uint64_t(g.pageSize) * g.pagesPerBlock;
    g.totalBytes = g.blockBytes * g.totalBlocks;
    // Small-page chips (512 data bytes) take one column cycle: their column
    // address never passes 255, the read command picks the half page.
    g.columnBytes = g.dataSize <= SmallPageData ? 1 : BytesFor(g.pageSize);
    g.rowBytes = BytesFor(g.pagesPerCe);
    uint64_t span = 1;
    while (span < g.pagesPerCe)
        span <<= 1;
    g.rowMask = span - 1;
    return g;
}

std::optional<uint64_t> CNandGeometry::ResolveRow(uint64_t row) const
{
    const uint64_t decoded = row & rowMask;
    if (decoded >= pagesPerCe)
        return std::nullopt;
    return decoded;
}

} // namespace xrsim
