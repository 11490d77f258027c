#pragma once

// The parameter page a self-describing NAND chip reports, decoded into the
// values a device entry needs.

#include <QString>

#include <cstddef>
#include <cstdint>

struct COnfiInfo
{
    bool valid = false;
    QString version;      // highest revision announced, "1.0" to "4.0"; empty when none
    QString manufacturer; // trailing blanks removed
    QString model;        // trailing blanks removed
    uint32_t dataBytesPerPage = 0;
    uint16_t spareBytesPerPage = 0;
    uint32_t pagesPerBlock = 0;
    uint32_t blocksPerUnit = 0;
    uint8_t units = 0;
    uint8_t columnCycles = 0;
    uint8_t rowCycles = 0;
    int chipEnables = 0;
    uint64_t size = 0; // whole chip, spare areas included

    uint32_t pageSize() const { return dataBytesPerPage + spareBytesPerPage; }
};

// Bytes of the page the decoder reads; a shorter page is not valid.
inline constexpr size_t ONFI_PAGE_MIN_BYTES = 102;

// Decodes `length` bytes of a parameter page for a chip with `chipEnables`
// chip enables. Valid only with the "ONFI" signature and a size that is
// neither 0 nor too large for 64 bits (and a page size that fits 32 bits).
COnfiInfo DecodeOnfi(const uint8_t *page, size_t length, int chipEnables);
