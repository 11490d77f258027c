#pragma once

// How the adapter addresses a NAND chip: pages of data plus spare area,
// grouped in blocks, spread over one or more chip enables. Every array
// command carries a column address (always 0 here) and the row address of a
// page inside its chip enable, each in as many little-endian bytes as the
// largest value needs.

#include <algorithm>
#include <cstdint>
#include <optional>

class CDeviceItemNand;

// The chip enable value that means "none to select".
constexpr uint8_t NoChipEnable = 255;

// Bytes needed to write value: shift right by 8 until zero and count the
// steps (0 needs none, 65536 needs 3).
uint8_t AddressBytesFor(uint64_t value);

// Column address bytes of a page size. Small-page chips (pages below 1024
// bytes: 512 data bytes and a 16-byte spare area) take one column cycle, as
// their column address never passes 255 (the read command picks the half of
// the page); larger pages need the bytes of their size.
uint8_t ColumnBytesFor(uint32_t pageSize);

// Byte offset of the spare area inside a page, where the bad-block marker of
// a block's first page sits; empty for a page size without a spare area or
// one too large ("Unsupported page size").
std::optional<uint32_t> MarkerOffsetFor(uint32_t pageSize);
// Bytes from that offset on that are all 0xFF in an image's good block.
inline constexpr uint32_t ImageMarkerBytes = 4;
// A block is good when the first count bytes of its marker area are all 0xFF.
inline bool MarkerIsErased(const uint8_t *marker, uint32_t count)
{
    return std::all_of(marker, marker + count, [](uint8_t byte) { return byte == 0xFF; });
}

struct CNandGeometry
{
    uint32_t pageSize = 0;       // bytes, spare area included
    uint32_t pagesPerBlock = 0;
    uint64_t chipBytes = 0;      // whole chip, all chip enables, spare areas included
    int chipEnables = 1;
    uint64_t blockBytes = 0;     // pageSize x pagesPerBlock
    uint32_t blockCount = 0;     // chipBytes / blockBytes
    uint32_t pagesPerChip = 0;   // pages behind one chip enable
    uint8_t columnBytes = 0;
    uint8_t rowBytes = 0;

    // The geometry of a device entry with chipEnables chip enables (the
    // entry's own count when 0 or less).
    static CNandGeometry FromDevice(const CDeviceItemNand &device, int chipEnables = 0);

    // Chip enable behind a page; NoChipEnable when it cannot be computed.
    uint8_t ChipEnableOf(uint64_t page) const;
    // Row address of a page: its number inside its chip enable.
    uint32_t RowOf(uint64_t page) const;
    // Pages from page to the end of its chip enable (at least 1).
    uint64_t PagesLeftInChip(uint64_t page) const;
    // Block holding a chip byte address.
    uint32_t BlockOf(uint64_t address) const;
};
