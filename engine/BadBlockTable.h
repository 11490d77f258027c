#pragma once

// One state per NAND block of a chip or an image: what the bad-block markers
// said when the blocks were last scanned.

#include <cstdint>
#include <vector>

class CDeviceItemNand;

class CBadBlockTable
{
public:
    enum State : uint32_t { Unknown = 0, Good = 1, Bad = 2 };

    // Sized from the device geometry; every block starts unknown.
    explicit CBadBlockTable(const CDeviceItemNand *device);
    CBadBlockTable(uint64_t chipBytes, uint32_t blockBytes);

    void reset();

    uint32_t count() const { return m_count; }
    uint32_t blockBytes() const { return m_blockBytes; }

    // Out-of-range blocks read as unknown and ignore writes.
    uint32_t state(uint32_t block) const { return block < m_count ? m_status[block] : Unknown; }
    void setState(uint32_t block, uint32_t state);
    bool isBad(uint32_t block) const { return state(block) == Bad; }

    // The raw states, one per block, as the buffer compare and the views take them.
    const uint32_t *states() const { return m_status.data(); }

private:
    uint32_t m_count = 0;
    uint32_t m_blockBytes = 0;
    std::vector<uint32_t> m_status;
};
