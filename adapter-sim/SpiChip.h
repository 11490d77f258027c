#pragma once

// A serial flash, AT45 DataFlash or serial EEPROM. The chip keeps its bytes
// in linear order; an AT45 part with 264-, 528- or 1056-byte pages is
// addressed by page number and byte within the page.

#include "Chip.h"
#include "ImageFile.h"
#include "SimConfig.h"
#include "SpiOpcodes.h"

#include <optional>
#include <vector>

namespace xrsim {

class CSpiChip : public CChip
{
public:
    CSpiChip(const CSpiConfig &config, std::unique_ptr<CImageFile> image, CStats &stats);

    bool Command(const CPacket &packet, CCommandResult &result) override;

    uint64_t Size() const { return m_config.size; }
    // Reads with the address wrapping at the end of the array.
    void ReadLinear(uint64_t address, uint8_t *dst, size_t count);
    // One page program: the bytes wrap within the page of `address`.
    void ProgramPage(uint64_t address, const uint8_t *data, size_t count);
    uint8_t StatusFor(uint8_t opcode) const;

private:
    std::optional<uint64_t> DecodeAddress(uint8_t opcode, size_t addressBytes, uint64_t raw) const;
    bool AddressWidthFits(size_t addressBytes) const;
    bool StatusReady(const CPacket &packet, size_t at) const;
    std::unique_ptr<CReply> IdReply(uint8_t opcode);
    std::unique_ptr<CReply> StatusRegisterReply(const CPacket &packet);
    std::unique_ptr<CReply> Read(const CPacket &packet);
    bool Program(const CPacket &packet, CCommandResult &result);
    std::unique_ptr<CReply> Erase(const CPacket &packet);
    bool EraseRange(uint64_t offset, uint64_t count);
    bool Protected(uint64_t offset, uint64_t count) const;
    bool At45Erase(EAt45Erase kind, uint64_t address);
    uint8_t At45Status() const;
    bool Store(uint64_t offset, const uint8_t *data, size_t count);
    void WarnNotStored();
    // 512-byte parts with one address byte: A8 travels in the instruction.
    bool NineBitEeprom() const { return m_config.kind == ESpiKind::Eeprom && m_config.size > 256 && m_config.size <= 512; }

    CSpiConfig m_config;
    std::unique_ptr<CImageFile> m_image;
    uint32_t m_pages = 0;  // AT45 pages
    int m_at45ByteBits = 0; // AT45 pages of 264, 528 or 1056 bytes: 9, 10 or 11
    std::vector<uint8_t> m_page;
    std::vector<uint8_t> m_latch;
    std::vector<uint8_t> m_touched;
    bool m_warnedReadOnly = false;
};

} // namespace xrsim
