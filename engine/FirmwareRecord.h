#pragma once

// The record format of the adapter's firmware images, and a walk over an
// image. Free of Qt so the simulated adapter can read images the same way.
//
// A record is 22 bytes:
//   0      data length (0 to 16)
//   1      padding, 0
//   2..3   load address, little-endian
//   4      type: 0 data, 1 end of image
//   5..20  data bytes
//   21     padding, 0
//
// The first data record of each image of ours names it: "NVPX", the kind
// (0 NAND, 1 SPI) and the image's index.

#include <cstdint>

namespace Firmware {

constexpr int kRecordSize = 22;
constexpr int kMaxDataLength = 16;
// A walk gives up after this many records without an end record.
constexpr int kMaxRecords = 4096;

constexpr int kLengthOffset = 0;
constexpr int kAddressOffset = 2;
constexpr int kTypeOffset = 4;
constexpr int kDataOffset = 5;

constexpr uint8_t kTypeData = 0;
constexpr uint8_t kTypeEnd = 1;

constexpr uint8_t kKindNand = 0;
constexpr uint8_t kKindSpi = 1;
constexpr char kMagic[4] = {'N', 'V', 'P', 'X'};
constexpr int kIdentityLength = 6; // magic, kind, index

struct Record
{
    uint8_t length = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    const uint8_t *data = nullptr;
};

constexpr Record ReadRecord(const uint8_t *record)
{
    Record r;
    r.length = record[kLengthOffset];
    r.address = uint16_t(record[kAddressOffset] | (record[kAddressOffset + 1] << 8));
    r.type = record[kTypeOffset];
    r.data = record + kDataOffset;
    return r;
}

struct ImageInfo
{
    bool wellFormed = false;  // every record valid, end record within kMaxRecords
    int recordCount = 0;      // records including the end record
    uint32_t dataBytes = 0;   // sum of the data lengths
    uint32_t addressEnd = 0;  // highest load address + length over all data records
    bool identified = false;  // first data record carries our identity
    uint8_t kind = 0;
    uint8_t index = 0;
};

// Walks the records up to the end record. The image must be readable for
// kRecordSize bytes per record up to its end record (or kMaxRecords records).
constexpr ImageInfo InspectImage(const uint8_t *image)
{
    ImageInfo info;
    if (!image)
        return info;
    bool seenData = false;
    for (int i = 0; i < kMaxRecords; ++i) {
        const Record r = ReadRecord(image + i * kRecordSize);
        if (r.length > kMaxDataLength || (r.type != kTypeData && r.type != kTypeEnd))
            return info;
        info.recordCount = i + 1;
        if (r.type == kTypeEnd) {
            info.wellFormed = true;
            return info;
        }
        info.dataBytes += r.length;
        if (uint32_t(r.address) + r.length > info.addressEnd)
            info.addressEnd = uint32_t(r.address) + r.length;
        if (!seenData) {
            seenData = true;
            if (r.length >= kIdentityLength && r.data[0] == kMagic[0] && r.data[1] == kMagic[1]
                && r.data[2] == kMagic[2] && r.data[3] == kMagic[3]) {
                info.identified = true;
                info.kind = r.data[4];
                info.index = r.data[5];
            }
        }
    }
    return info;
}

} // namespace Firmware
