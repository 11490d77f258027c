#include "DuplexFrame.h"

#include <algorithm>
#include <set>

namespace xremu {

namespace {

const std::set<uint8_t> Answering = {
    0x03, 0x0B, 0x13, 0x0C, 0x3B, 0xBB, 0x3C, 0xBC, 0x6B, 0xEB, 0x6C, 0xEC,  // reads
    0x9F, 0x90, 0xAB, 0x83, 0x4B, 0x48, 0x5A,                                 // IDs, SFDP
    0x05, 0x35, 0x15, 0x70, 0xD7,                                             // status
    0x1B, 0xE8, 0xD2,                                                         // DataFlash reads
};

} // namespace

std::vector<uint8_t> RunDuplexFrame(xrbus::ISpiBus &chip, const std::vector<uint8_t> &mosi)
{
    std::vector<uint8_t> miso(mosi.size(), 0xFF);
    if (mosi.empty())
        return miso;
    size_t written = mosi.size();
    if (Answering.count(mosi[0])) {
        while (written > 1 && mosi[written - 1] == 0xFF)
            --written;
    }
    chip.Transfer(mosi.data(), written, miso.data() + written, mosi.size() - written);
    return miso;
}

} // namespace xremu
