#pragma once

// The adapter's command packets: codes and field positions in one place.
// A packet shorter than a layout reads as zero beyond its end, as the
// firmware's fixed-size command buffer would.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace xrsim {

namespace cmd {
constexpr uint8_t SetTarget = 0x10;
constexpr uint8_t Status = 0x12;
constexpr uint8_t Identify = 0x18;
constexpr uint8_t Erase = 0x1B;
constexpr uint8_t Program = 0x1C;
constexpr uint8_t Parameter = 0x1D;
constexpr uint8_t Read = 0x27;
constexpr uint8_t ReadId = 0x29;
constexpr uint8_t ReadParameterPage = 0x2A;
constexpr uint8_t Timing = 0x30;
constexpr uint8_t At45Status = 0x31;
constexpr uint8_t ProgramDone = 0x32;
constexpr uint8_t EndOperation = 0x33;
constexpr uint8_t SpiConfigure = 0x34;
constexpr uint8_t NandPins = 0x35;
constexpr uint8_t SelectChip = 0x36;
constexpr uint8_t MarkerRead = 0x37;
} // namespace cmd

// Set target 0x10: adapter kind, family (0 NAND, 1 SPI), high-speed flag.
namespace settarget {
constexpr size_t Family = 2;
constexpr uint8_t FamilyNand = 0;
constexpr uint8_t FamilySpi = 1;
constexpr size_t Algorithm = 4;  // SPI: the firmware image index of the part's kind
} // namespace settarget

// NAND array commands 0x27 / 0x1C / 0x37 share the address layout; 0x1B
// carries only the row.
namespace nandpkt {
constexpr size_t AddressCycles = 1;  // column + row address bytes
constexpr size_t Address = 2;        // column (LE), then row (LE)
constexpr size_t AddressEnd = 8;     // the address never reaches byte 8
constexpr size_t PageSize = 8;       // LE16, 0x27 / 0x1C
constexpr size_t PageCount = 10;     // low byte, high byte with carry
constexpr size_t MarkerLength = 8;   // LE32, 0x37
constexpr size_t EraseRowBytes = 1;  // 0x1B
constexpr size_t EraseRow = 2;
constexpr size_t ChipEnable = 1;     // 0x36
} // namespace nandpkt

// SPI array commands; addresses big-endian.
namespace spipkt {
constexpr size_t ReadOpcode = 1;
constexpr size_t ReadAddressBytes = 2;
constexpr size_t ReadAddress = 3;
constexpr size_t ReadLength = 7;      // LE32
constexpr size_t ReadMode = 15;       // 0 single, 1 dual, 2 quad
constexpr size_t EraseWriteEnable = 1;
constexpr size_t EraseOpcode = 2;
constexpr size_t EraseAddressBytes = 3;
constexpr size_t EraseAddress = 4;
constexpr size_t EraseStatus = 8;     // status opcode, busy mask, ready value
constexpr size_t ProgramOpcode = 1;
constexpr size_t ProgramAddressBytes = 2;
constexpr size_t ProgramAddress = 3;
constexpr size_t ProgramCount = 10;   // low byte, high byte with carry
constexpr size_t ProgramMode = 15;    // mode, or an EEPROM's page size
constexpr size_t ProgramStatus = 16;
constexpr size_t StatusOpcode = 2;    // 0x31
constexpr size_t StatusLength = 3;
constexpr size_t MaxAddressBytes = 4;
} // namespace spipkt

// Identification reply 0x18: serial number and firmware type code.
namespace ident {
constexpr uint32_t TypeMatching = 0x170640DD;
constexpr uint32_t TypeOtherNandImage = 0xDD400617;
constexpr uint32_t TypeUnknown = 0;
} // namespace ident

class CPacket
{
public:
    CPacket(const uint8_t *data, size_t length) : m_data(data), m_length(length) {}

    uint8_t Code() const { return At(0); }
    size_t Size() const { return m_length; }
    uint8_t At(size_t index) const { return index < m_length ? m_data[index] : 0; }
    uint64_t LE(size_t offset, size_t count) const;
    uint64_t BE(size_t offset, size_t count) const;
    // A page count written as low byte, then high byte plus one when the low
    // byte is not zero; nothing when the high byte cannot carry that one.
    std::optional<uint32_t> PageCount(size_t offset) const;

private:
    const uint8_t *m_data;
    size_t m_length;
};

// Reply words are built into byte vectors with these.
std::vector<uint8_t> StatusReply(bool ok);

} // namespace xrsim
