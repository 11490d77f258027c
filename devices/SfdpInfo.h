#pragma once

// The serial flash discoverable parameters a self-describing SPI chip reports,
// reduced to what a device entry needs: its size.

#include <cstddef>
#include <cstdint>

struct CSfdpInfo
{
    bool valid = false;
    uint32_t size = 0; // flash size in bytes
};

// Decodes `length` bytes of SFDP data. Valid only with the "SFDP" signature
// and a basic flash parameter table that gives a size from 1 byte to 2 GiB.
CSfdpInfo DecodeSfdp(const uint8_t *data, size_t length);

// The flash size in bytes from the density word of the basic parameter table;
// 0 when the word describes a size that does not fit 32 bits (or under a byte).
uint32_t SfdpDensityBytes(uint32_t densityWord);
