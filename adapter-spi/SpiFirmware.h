#pragma once

// The adapter's SPI firmware: it takes the SPI module's command packets (ID
// reads, the self-description table, the AT45 status, device configuration,
// read, erase, program and "program finished") and turns them into SPI
// memory transactions on a bus: write enable, instruction and address in the
// width the packet names, status polling until the part is ready (with a
// time-out), page-sized programming and reads split to what the bus moves at
// once. The same layer runs over a simulated chip and over a real programmer.

#include "Chip.h"
#include "SpiBus.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace xrspi {

// How long the firmware waits for a part to become ready. A poll budget of 0
// means "time only"; the simulated bus answers at once, so it gets a poll
// budget and the time-outs of a real part.
struct CPollLimits
{
    uint64_t maxPolls = 0;
    std::chrono::milliseconds program{50};
    std::chrono::milliseconds erase{10000};
    std::chrono::milliseconds chipErase{400000};
    std::chrono::milliseconds configure{1000};
};

// The algorithm the firmware runs, as the firmware image index and the
// set-target packet name it.
enum class EAlgorithm { Flash, At45, Eeprom };
EAlgorithm AlgorithmOf(int index);

// The status poll a packet carries: instruction, busy mask, ready value.
struct CPoll
{
    uint8_t opcode = 0x05;
    uint8_t mask = 0x01;
    uint8_t ready = 0x00;
};

// A read in progress: where it started and how its addresses run on.
struct CReadPlan
{
    uint8_t opcode = 0;      // as sent on the bus (one line)
    int addressBytes = 3;
    int dummyBytes = 0;
    uint64_t start = 0;      // linear byte offset
};

// A program in progress: `pages` programs of `pageBytes` each from `start`.
struct CProgramPlan
{
    uint8_t opcode = 0;
    int addressBytes = 3;
    uint64_t start = 0;
    uint32_t pageBytes = 256;
    uint32_t pages = 0;
    CPoll poll;
};

class CSpiFirmware : public xrsim::CChip
{
public:
    CSpiFirmware(std::unique_ptr<xrbus::ISpiBus> bus, xrsim::CStats &stats, const CPollLimits &limits);

    ~CSpiFirmware() override { Release(); }

    bool Command(const xrsim::CPacket &packet, xrsim::CCommandResult &result) override;
    void SelectAlgorithm(int index) override { m_algorithm = AlgorithmOf(index); }
    // A part that an init record put into four-byte mode is returned to
    // three-byte mode: the boot code of many boards reads its flash with
    // three-byte addresses and would not start from a part left in the other.
    void Release() override;

    // A transfer failed: the programmer is gone or timed out.
    bool BusFailed() const { return m_busFailed; }
    const std::string &BusError() const { return m_busError; }
    xrbus::ISpiBus &Bus() { return *m_bus; }
    // The clock the bus reported for the last speed packet (0: unknown or fixed).
    uint32_t ClockHz() const { return m_clockHz; }

    // Used by the lazy read reply and the program sink.
    void ReadPiece(const CReadPlan &plan, uint64_t offset, uint8_t *dst, size_t count);
    bool ProgramPage(const CProgramPlan &plan, uint32_t index, const uint8_t *data);

private:
    bool ProgramAt45Page(const CProgramPlan &plan, uint64_t linear, const uint8_t *data);
    struct CAt45Layout
    {
        uint32_t pageBytes = 528;
        int byteBits = 10;  // 0: binary pages, addressed linearly
    };

    bool Transfer(const std::vector<uint8_t> &out, uint8_t *in = nullptr, size_t readCount = 0);
    bool WriteEnable();
    // Polls until (status AND mask) = ready; false on a time-out.
    bool WaitReady(const CPoll &poll, std::chrono::milliseconds timeout);
    // After a write-enabled command the latch is clear again; still set
    // means the part did not take the command (protected, or no such
    // instruction). The latch is then cleared so nothing is left armed.
    bool WriteLatchCleared();
    uint8_t ReadStatus(uint8_t opcode);

    std::unique_ptr<xrsim::CReply> IdReply(const xrsim::CPacket &packet);
    std::unique_ptr<xrsim::CReply> SfdpReply();
    std::unique_ptr<xrsim::CReply> StatusRegisterReply(const xrsim::CPacket &packet);
    void Configure(const xrsim::CPacket &packet);
    std::unique_ptr<xrsim::CReply> Read(const xrsim::CPacket &packet);
    bool Program(const xrsim::CPacket &packet, xrsim::CCommandResult &result);
    std::unique_ptr<xrsim::CReply> Erase(const xrsim::CPacket &packet);

    CAt45Layout At45Layout();
    // Linear offset <-> address field (and instruction) for the running algorithm.
    uint64_t LinearOffset(uint8_t opcode, int addressBytes, uint64_t field) const;
    void PutAddress(std::vector<uint8_t> &out, uint8_t &opcode, int addressBytes, uint64_t linear) const;

    std::unique_ptr<xrbus::ISpiBus> m_bus;
    CPollLimits m_limits;
    EAlgorithm m_algorithm = EAlgorithm::Flash;
    // How the init records entered four-byte mode, so it can be left the same way.
    enum class EFourByteEntry { None, Instruction, BankRegister };
    EFourByteEntry m_fourByteEntry = EFourByteEntry::None;
    void NoteFourByteEntry(uint8_t instruction, const std::vector<uint8_t> &out);
    CAt45Layout m_at45;
    bool m_busFailed = false;
    std::string m_busError;
    uint32_t m_clockHz = 0;
};

// The SPI clock a speed packet (0x30) asks for.
uint32_t ClockOfTiming(const xrsim::CPacket &packet);

// The firmware layer over any bus: what the library's exports build for an
// SPI module, simulated or real.
std::unique_ptr<CSpiFirmware> MakeSpiFirmware(std::unique_ptr<xrbus::ISpiBus> bus, xrsim::CStats &stats,
                                              const CPollLimits &limits = CPollLimits());

} // namespace xrspi
