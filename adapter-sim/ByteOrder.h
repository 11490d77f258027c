#pragma once

// Explicit byte-order helpers: command packets carry lengths and NAND
// addresses little-endian and SPI addresses big-endian, so every field is
// read and written through one of these, never through a cast.

#include <cstddef>
#include <cstdint>

namespace xrsim {

inline uint64_t GetLE(const uint8_t *p, size_t count)
{
    uint64_t value = 0;
    for (size_t i = count; i > 0; --i)
        value = (value << 8) | p[i - 1];
    return value;
}

inline uint64_t GetBE(const uint8_t *p, size_t count)
{
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | p[i];
    return value;
}

inline void PutLE16(uint8_t *p, uint32_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

inline void PutLE32(uint8_t *p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

// Bytes needed to write a value: shift right by 8 until nothing is left.
inline int BytesFor(uint64_t value)
{
    int count = 0;
    while (value) {
        value >>= 8;
        ++count;
    }
    return count;
}

} // namespace xrsim
