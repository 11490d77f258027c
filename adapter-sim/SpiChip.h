#pragma once

// A serial flash, AT45 DataFlash or serial EEPROM as it behaves on its SPI
// pins: every transaction is one chip-select frame of instruction, address
// and data. It keeps a write-enable latch, stays busy for a while after a
// program or erase (answering only status reads meanwhile), wraps programs
// inside its page, erases what each instruction erases on the real part,
// starts parts above 16 MiB in three-byte address mode, honours its block
// protect bits and answers SFDP. The adapter's firmware layer drives it
// through the same bus interface as a real programmer.

#include "ImageFile.h"
#include "SimConfig.h"
#include "SpiBus.h"
#include "SpiOpcodes.h"
#include "Trace.h"

#include <memory>
#include <vector>

namespace xrsim {

class CSpiChip : public xrbus::ISpiBus
{
public:
    CSpiChip(const CSpiConfig &config, std::unique_ptr<CImageFile> image, CStats &stats);

    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override;

    uint64_t Size() const { return m_config.size; }
    bool FourByteMode() const { return m_fourByte; }

private:
    // One frame as the chip sees it: the bytes clocked out, then the bytes
    // clocked in (the host drives 0xFF meanwhile).
    struct CFrame
    {
        const uint8_t *out;
        size_t writeCount;
        uint8_t *in;
        size_t readCount;
        // Byte i of the instruction stream; past the written bytes the chip
        // sees the idle line.
        uint8_t At(size_t i) const { return i < writeCount ? out[i] : 0xFF; }
    };

    void FlashFrame(const CFrame &frame);
    void At45Frame(const CFrame &frame);
    void EepromFrame(const CFrame &frame);

    // Reads from `linear` on; the data appears after `header` bytes
    // (instruction, address, dummies).
    void ReadOut(const CFrame &frame, size_t header, uint64_t linear, uint64_t wrap);
    void Output(const CFrame &frame, size_t header, const uint8_t *data, size_t count, bool repeat);
    // A status byte, repeated for as long as the frame reads.
    void ReportStatus(const CFrame &frame, uint8_t status);
    // Sets or clears the write-enable latch (write enable or write disable).
    void LatchWriteEnable(uint8_t opcode);
    void FlashProgram(const CFrame &frame, size_t header, uint64_t linear);
    void FlashErase(uint64_t linear, uint64_t bytes);
    void At45Compare(const std::vector<uint8_t> &buffer, uint64_t linear);
    void At45Erase(EAt45Erase kind, uint64_t linear);
    uint64_t At45Linear(uint64_t field) const;
    uint32_t At45SectorPages() const;
    uint8_t FlashStatus() const;
    uint8_t At45Status() const;
    int FlashAddressBytes() const { return m_fourByte ? 4 : 3; }
    int EepromAddressBytes() const;
    bool NineBitEeprom() const { return m_config.size > 256 && m_config.size <= 512; }
    bool Protected() const { return (m_status & spiop::StatusProtectBits) != 0; }
    // Takes a write-enabled instruction: false (and the instruction is
    // ignored) without the latch, or while protected.
    bool TakeWrite();
    void StartBusy(uint32_t polls);
    void Unknown(uint8_t opcode);

    // Writes `count` bytes into the page of `linear`, wrapping inside it:
    // flash ANDs them in, AT45 and EEPROM parts replace them.
    // False when the image could not be written.
    bool ProgramPage(uint64_t linear, const uint8_t *data, size_t count, uint32_t pageBytes, bool replace);
    bool EraseRange(uint64_t offset, uint64_t count);
    bool Store(uint64_t offset, const uint8_t *data, size_t count);
    void WarnNotStored();

    CSpiConfig m_config;
    std::unique_ptr<CImageFile> m_image;
    CStats &m_stats;
    std::vector<uint8_t> m_sfdp;
    uint32_t m_pages = 0;      // AT45 pages
    std::vector<uint8_t> m_at45Buffers[2]; // the SRAM buffers 1 and 2, as last programmed from
    bool m_at45Mismatch = false;
    int m_at45ByteBits = 0;    // AT45 pages of 264, 528 or 1056 bytes: 9, 10 or 11
    std::vector<uint8_t> m_page;
    std::vector<uint8_t> m_touched;
    std::vector<uint8_t> m_at45Buffer;
    bool m_writeEnabled = false;
    bool m_fourByte = false;
    uint8_t m_status = 0;      // block protect and the other writable status bits
    uint8_t m_status2 = 0;
    uint8_t m_status3 = 0;
    uint32_t m_busyPolls = 0;
    bool m_warnedReadOnly = false;
};

} // namespace xrsim
