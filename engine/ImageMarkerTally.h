#pragma once

// The bad-block markers of an image, taken from the bytes of a read while
// they arrive. After a whole read the source table is filled from them, so
// the window never reads the markers back out of a file of a gigabyte in
// one burst of thousands of small file reads.

#include <QString>

#include <cstdint>
#include <vector>

class CImageMarkerTally
{
public:
    struct CLayout
    {
        uint64_t firstAddress = 0;  // chip address of the image's first byte
        uint64_t blockBytes = 0;
        uint32_t blockCount = 0;
        uint32_t markerOffset = 0;  // of the marker bytes inside a block
        uint32_t markerBytes = 0;   // all 0xFF: the block is good
    };

    // Starts over for an image being read into the file at path.
    void Begin(const CLayout &layout, const QString &path);
    void Clear();
    // The chip bytes [chipAddress, chipAddress + length) as they went into
    // the image. A marker split between two calls is not seen.
    void Take(uint64_t chipAddress, const uint8_t *data, uint64_t length);
    // Every block of that image, starting at that chip address, was seen.
    bool Covers(uint64_t firstAddress, uint32_t blockCount, const QString &path) const;
    bool IsGood(uint32_t block) const { return block < m_state.size() && m_state[block] == Good; }

private:
    enum : uint8_t { Unseen, Good, Bad };

    CLayout m_layout;
    QString m_path;
    std::vector<uint8_t> m_state;
    uint32_t m_seen = 0;
};
