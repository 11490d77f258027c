#include "SfdpInfo.h"

#include <QtEndian>

namespace {

constexpr size_t OFS_SIGNATURE = 0;
constexpr size_t OFS_HEADER_COUNT = 6; // number of parameter headers minus 1
constexpr size_t OFS_FIRST_HEADER = 8;
constexpr size_t HEADER_BYTES = 8;

// Inside a parameter header.
constexpr size_t HDR_ID_LSB = 0;
constexpr size_t HDR_LENGTH_WORDS = 3;
constexpr size_t HDR_TABLE_POINTER = 4; // 24-bit little-endian
constexpr size_t HDR_ID_MSB = 7;

constexpr uint8_t BASIC_TABLE_ID_LSB = 0x00;
constexpr uint8_t BASIC_TABLE_ID_MSB = 0xFF;
constexpr uint32_t MAX_TABLE_POINTER = 2048;
constexpr size_t DENSITY_WORD_OFFSET = 4; // second 32-bit word of the table
constexpr size_t DENSITY_WORD_INDEX = 1;

constexpr uint32_t DENSITY_POWER_OF_TWO = 0x80000000u;
constexpr uint32_t BITS_PER_BYTE_SHIFT = 3;
constexpr uint32_t MAX_BYTE_EXPONENT = 31;

uint32_t TablePointer(const uint8_t *header)
{
    return header[HDR_TABLE_POINTER] | (uint32_t(header[HDR_TABLE_POINTER + 1]) << 8)
           | (uint32_t(header[HDR_TABLE_POINTER + 2]) << 16);
}

} // namespace

uint32_t SfdpDensityBytes(uint32_t densityWord)
{
    if (densityWord & DENSITY_POWER_OF_TWO) {
        // 2^N bits; N below 3 is under a byte and N above 34 does not fit the
        // 32-bit size, so neither gives a size.
        const uint32_t bitExponent = densityWord & ~DENSITY_POWER_OF_TWO;
        if (bitExponent < BITS_PER_BYTE_SHIFT || bitExponent - BITS_PER_BYTE_SHIFT > MAX_BYTE_EXPONENT)
            return 0;
        return 1u << (bitExponent - BITS_PER_BYTE_SHIFT);
    }
    // The size in bits minus one.
    return (densityWord + 1) >> BITS_PER_BYTE_SHIFT;
}

CSfdpInfo DecodeSfdp(const uint8_t *data, size_t length)
{
    CSfdpInfo info;
    if (!data || length < OFS_FIRST_HEADER)
        return info;
    if (data[OFS_SIGNATURE] != 'S' || data[OFS_SIGNATURE + 1] != 'F' || data[OFS_SIGNATURE + 2] != 'D'
        || data[OFS_SIGNATURE + 3] != 'P')
        return info;

    const size_t headers = size_t(data[OFS_HEADER_COUNT]) + 1;
    for (size_t h = 0; h < headers; ++h) {
        const size_t at = OFS_FIRST_HEADER + h * HEADER_BYTES;
        if (at + HEADER_BYTES > length)
            break;
        const uint8_t *header = data + at;
        if (header[HDR_ID_LSB] != BASIC_TABLE_ID_LSB || header[HDR_ID_MSB] != BASIC_TABLE_ID_MSB)
            continue;
        const uint32_t pointer = TablePointer(header);
        // The density word must lie inside the table and inside what was read.
        if (pointer > MAX_TABLE_POINTER || header[HDR_LENGTH_WORDS] <= DENSITY_WORD_INDEX
            || pointer + DENSITY_WORD_OFFSET + sizeof(uint32_t) > length)
            continue;
        info.size = SfdpDensityBytes(qFromLittleEndian<quint32>(data + pointer + DENSITY_WORD_OFFSET));
    }
    info.valid = info.size != 0;
    return info;
}
