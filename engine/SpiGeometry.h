#pragma once

// How an SPI device entry is addressed on the wire: the number of address
// bytes, the transfer units of reads and programs, the page organisation of
// AT45 DataFlash parts and the address bit that nine-bit EEPROMs carry in
// their instruction. Plain arithmetic, no state beyond the entry's values.

#include <cstdint>

class CDeviceItemSPIFlash;

class CSpiGeometry
{
public:
    // Algorithm selectors of the device entries.
    static constexpr uint32_t AlgoAt45 = 3;
    static constexpr uint32_t AlgoNoErase = 4;
    // An AT45 sector of 256 pages of 528 bytes: the mark of that organisation.
    static constexpr uint32_t At45Sector528 = 0x21000;
    // AT45 sector 0 is erased as 0a (pages 0-7) and 0b (from page 8).
    static constexpr uint32_t At45Sector0bPage = 8;

    // transferUnit: the bulk packet size (a value below 1 counts as 512).
    CSpiGeometry(const CDeviceItemSPIFlash &device, int32_t transferUnit);

    uint64_t ChipSize() const { return m_chipSize; }
    // Never 0: an entry without a sector size counts as one sector.
    uint32_t SectorSize() const { return m_sectorSize; }
    bool IsAt45() const { return m_algo == AlgoAt45; }
    bool HasNoErase() const { return m_algo == AlgoNoErase; }

    // The unit of reads, message and progress addresses: the packet size.
    uint32_t TransferUnit() const { return m_transferUnit; }
    // The unit of programs: an AT45 page, else the packet size.
    uint32_t ProgramUnit() const { return IsAt45() ? m_at45Page : m_transferUnit; }

    // AT45 page bytes (256, 264, 512, 528, 1024 or 1056).
    uint32_t At45PageBytes() const { return m_at45Page; }
    // Pages of 264, 528 or 1056 bytes are addressed as page << bits | byte.
    bool At45ExtendedPages() const { return m_at45ByteBits != 0; }

    // The page an EEPROM writes at once, 1 to 256 bytes; the program
    // command carries it in one byte (256 goes out as 0).
    uint32_t EepromPageBytes() const;
    // 512-byte EEPROMs take one address byte and carry address bit 8 in bit 3
    // of the instruction, as their datasheets give it (READ 0000 A8 011,
    // WRITE 0000 A8 010): byte addresses, never a page or unit number.
    bool IsNineBitEeprom() const;

    int AddressBytes() const { return m_addressBytes; }
    // The address field for a byte address of the chip.
    uint32_t AddressField(uint64_t byteAddress) const;
    // The instruction for an access at a byte address: nine-bit EEPROMs
    // take address bit 8 in bit 3 of it.
    uint8_t Opcode(uint8_t instruction, uint64_t byteAddress) const;

private:
    static uint32_t At45Page(const CDeviceItemSPIFlash &device);

    uint64_t m_chipSize = 0;
    uint32_t m_sectorSize = 1;
    uint32_t m_algo = 0;
    uint32_t m_transferUnit = 512;
    uint32_t m_pageSize = 0;
    uint32_t m_at45Page = 0;
    int m_at45ByteBits = 0;
    int m_addressBytes = 1;
};
