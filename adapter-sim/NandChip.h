#pragma once

// A NAND chip behind one to four chip enables. Programming only clears bits,
// erase restores 0xFF except on bad blocks, factory bad blocks keep their
// marker, worn blocks go bad at a set erase, and reads may be disturbed.

#include "Chip.h"
#include "ImageFile.h"
#include "NandGeometry.h"
#include "ReadDisturb.h"

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace xrsim {

struct CNandSpan;

class CNandChip : public CChip
{
public:
    CNandChip(const CNandConfig &config, std::unique_ptr<CImageFile> image, CStats &stats, uint32_t packetSize);

    bool Command(const CPacket &packet, CCommandResult &result) override;

    const CNandGeometry &Geometry() const { return m_geometry; }
    bool ChipEnablePresent(uint32_t ce) const { return ce < m_geometry.chipEnables; }
    // Array data as a read command returns it, read disturb included.
    void ReadArray(uint64_t offset, uint8_t *dst, size_t count);
    // Programs `pages` pages of `pageBytes` bytes each from `column` on.
    void ProgramPages(uint32_t ce, uint64_t row, uint32_t column, uint32_t pageBytes, const uint8_t *data,
                      uint32_t pages);

private:
    struct CAddress
    {
        uint32_t column = 0;
        uint64_t row = 0;
    };

    std::optional<CAddress> DecodeAddress(const CPacket &packet) const;
    std::unique_ptr<CReply> IdReply() const;
    std::unique_ptr<CReply> ParameterPageReply() const;
    std::optional<CNandSpan> DecodeTransfer(const CPacket &packet);
    bool Read(const CPacket &packet, CCommandResult &result);
    bool Program(const CPacket &packet, CCommandResult &result);
    std::unique_ptr<CReply> Erase(const CPacket &packet);
    bool MarkerRead(const CPacket &packet, CCommandResult &result);

    bool BlockBad(uint64_t block) const { return m_factoryBad.count(block) || m_grownBad.count(block); }
    bool EraseBlock(uint64_t block);
    void ClearMarker(uint64_t block);
    void ProgramRun(uint32_t ce, uint64_t row, uint32_t pages, uint32_t start, uint32_t length, const uint8_t *data,
                    uint32_t stride);
    bool Store(uint64_t offset, const uint8_t *data, size_t count);

    CNandConfig m_config;
    CNandGeometry m_geometry;
    std::unique_ptr<CImageFile> m_image;
    CReadDisturb m_disturb;
    uint32_t m_packetSize;
    uint32_t m_ce = 0;
    std::set<uint64_t> m_factoryBad;
    std::set<uint64_t> m_grownBad;
    std::map<uint64_t, uint32_t> m_eraseCounts;
    std::vector<uint8_t> m_scratch;
    bool m_warnedReadOnly = false;
};

} // namespace xrsim
