#include "SfdpTable.h"
#include "ByteOrder.h"

#include <cstring>

namespace xrsim {

namespace sfdp {
constexpr size_t Signature = 0;
constexpr size_t MinorRevision = 4;
constexpr size_t MajorRevision = 5;
constexpr size_t HeaderCount = 6;      // number of parameter headers minus one
constexpr size_t AccessProtocol = 7;
constexpr size_t FirstHeader = 8;
constexpr size_t BasicTable = 0x30;
constexpr uint8_t BasicTableWords = 16;
constexpr uint8_t Revision = 0x06;     // JESD216B
} // namespace sfdp

uint32_t SfdpDensityWord(uint64_t sizeBytes)
{
    const uint64_t bits = sizeBytes * 8;
    if (bits <= (1ull << 31))
        return uint32_t(bits - 1);
    uint32_t power = 0;
    while ((1ull << power) < bits)
        ++power;
    return 0x80000000u | power;
}

namespace {

int Log2(uint64_t value)
{
    int power = 0;
    while ((1ull << power) < value)
        ++power;
    return power;
}

// Erase types: (size as a power of two, opcode).
struct CEraseType
{
    uint8_t power;
    uint8_t opcode;
};

void PutBasicTable(uint8_t *table, const CSpiConfig &config)
{
    const bool at45 = config.kind == ESpiKind::At45;
    const bool fourByte = config.size > (16u << 20);
    uint32_t word1 = 0xFF8000E0u;                    // reserved bits set
    word1 |= at45 ? 0x3u : 0x1u;                     // uniform 4 KiB erase, or none
    word1 |= 1u << 2;                                // write granularity of 64 bytes or more
    word1 |= uint32_t(at45 ? 0xFF : 0x20) << 8;      // 4 KiB erase opcode
    if (!at45)
        word1 |= (1u << 16) | (1u << 20) | (1u << 21) | (1u << 22);  // 1-1-2, 1-2-2, 1-4-4, 1-1-4 reads
    if (fourByte)
        word1 |= 1u << 17;                           // three- or four-byte addresses
    PutLE32(table + 0, word1);
    PutLE32(table + 4, SfdpDensityWord(config.size));
    if (!at45) {
        PutLE32(table + 8, 0x6B08EB44u);   // 1-4-4: 0xEB, 4 dummy + 2 mode clocks; 1-1-4: 0x6B, 8 dummy
        PutLE32(table + 12, 0xBB423B08u);  // 1-1-2: 0x3B, 8 dummy; 1-2-2: 0xBB, 2 mode clocks
    }
    PutLE32(table + 16, 0xFFFFFFEEu);      // no 2-2-2 or 4-4-4 reads
    PutLE32(table + 20, 0x0000FFFFu);
    PutLE32(table + 24, 0x0000FFFFu);
    const CEraseType flashTypes[4] = {{12, 0x20}, {15, 0x52}, {16, 0xD8}, {0, 0}};
    const CEraseType at45Types[4] = {{9, 0x81}, {12, 0x50}, {17, 0x7C}, {0, 0}};
    const CEraseType *types = at45 ? at45Types : flashTypes;
    for (int i = 0; i < 4; ++i) {
        table[28 + 2 * i] = types[i].power;
        table[29 + 2 * i] = types[i].opcode;
    }
    PutLE32(table + 40, uint32_t(Log2(config.pageSize) << 4) | 0x1u);  // page size
}

} // namespace

std::vector<uint8_t> BuildSfdpTable(const CSpiConfig &config)
{
    std::vector<uint8_t> data(SfdpReplyBytes, 0xFF);
    std::memcpy(&data[sfdp::Signature], "SFDP", 4);
    data[sfdp::MinorRevision] = sfdp::Revision;
    data[sfdp::MajorRevision] = 0x01;
    data[sfdp::HeaderCount] = 0x00;
    data[sfdp::AccessProtocol] = 0xFF;
    uint8_t *header = &data[sfdp::FirstHeader];
    header[0] = 0x00;  // basic flash parameter table, ID LSB
    header[1] = sfdp::Revision;
    header[2] = 0x01;
    header[3] = sfdp::BasicTableWords;
    header[4] = uint8_t(sfdp::BasicTable);
    header[5] = uint8_t(sfdp::BasicTable >> 8);
    header[6] = uint8_t(sfdp::BasicTable >> 16);
    header[7] = 0xFF;  // ID MSB
    std::memset(&data[sfdp::BasicTable], 0, size_t(sfdp::BasicTableWords) * 4);
    PutBasicTable(&data[sfdp::BasicTable], config);
    return data;
}

} // namespace xrsim
