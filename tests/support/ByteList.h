#pragma once

// Bus frames written as lists of byte values, for the bridge tests.

#include <cstdint>
#include <initializer_list>
#include <vector>

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(uint8_t(v));
    return bytes;
}
