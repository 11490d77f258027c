// Feeds arbitrary bytes to the SFDP decoder as the table a chip answered,
// and checks the size it promises for a valid table.

#include "SfdpInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> table(data, data + size);
    const CSfdpInfo info = DecodeSfdp(table.data(), table.size());
    if (info.valid && info.size == 0)
        __builtin_trap();
    if (size >= 4) {
        const uint32_t word = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                              uint32_t(data[3]) << 24;
        SfdpDensityBytes(word);
    }
    return 0;
}
