#pragma once

// Firmware images as the host hands them over: 22-byte records ending with a
// type-1 record. The first data record of a Norvaplex image starts with
// "NVPX", a kind byte (0 NAND, 1 SPI) and the image index.

#include <cstdint>

namespace xrsim {

namespace fwrecord {
constexpr int RecordBytes = 22;
constexpr int Length = 0;
constexpr int Type = 4;
constexpr int Data = 5;
constexpr int MaxData = 16;
constexpr uint8_t TypeData = 0;
constexpr uint8_t TypeEnd = 1;
constexpr int MaxRecords = 4096;  // data records before the end record
constexpr int KindNand = 0;
constexpr int KindSpi = 1;
} // namespace fwrecord

struct CFirmwareImage
{
    bool wellFormed = false;
    bool tagged = false;   // the first data record starts with "NVPX"
    int kind = -1;
    int index = -1;
    uint64_t identity = 0; // hash of every record, end record included
};

CFirmwareImage ReadFirmwareImage(const uint8_t *image);

// The type code the identification reply carries for a running image.
uint32_t FirmwareTypeCode(const CFirmwareImage &image, int nandImageNeeded);

} // namespace xrsim
