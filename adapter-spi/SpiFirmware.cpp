#include "SpiFirmware.h"

#include "SpiOpcodes.h"

#include <algorithm>
#include <cstring>

namespace xrspi {

using xrsim::CBytesReply;
using xrsim::CCommandResult;
using xrsim::CPacket;
using xrsim::CReply;
namespace cmd = xrsim::cmd;
namespace spipkt = xrsim::spipkt;
namespace spiop = xrsim::spiop;

namespace {

constexpr size_t IdReplyBytes = 3;
constexpr size_t SfdpReplyBytes = 2048;
constexpr size_t ConfigurePacketBytes = 64;
constexpr size_t ConfigureRecordCount = 2;
constexpr size_t ConfigureRecords = 3;
constexpr uint32_t FlashProgramUnit = 256;  // 0x1C counts serial flash data in 256-byte pages
constexpr uint32_t EepromDefaultPage = 256; // a page byte of 0 means 256
constexpr uint64_t NineBitSpan = 0x200;
constexpr uint64_t NineBitHigh = 0x100;
constexpr int AlgorithmAt45 = 3;
constexpr int AlgorithmEeprom = 4;
constexpr size_t At45AddressBytes = 3;
constexpr size_t TimingDivider = 2;  // d + 1
constexpr size_t TimingMode = 9;

// The reply of a read command: each piece the host asks for is one read
// transaction (or several, when the bus moves less at once).
class CFirmwareReadReply : public CReply
{
public:
    CFirmwareReadReply(CSpiFirmware &firmware, const CReadPlan &plan, uint64_t length)
        : CReply(length), m_firmware(firmware), m_plan(plan)
    {
    }

protected:
    void Fill(uint64_t pos, uint8_t *dst, size_t count) override { m_firmware.ReadPiece(m_plan, pos, dst, count); }

private:
    CSpiFirmware &m_firmware;
    CReadPlan m_plan;
};

// Collects the bulk data of a program command and programs each page as
// soon as it is complete.
class CFirmwareProgramSink : public xrsim::CDataSink
{
public:
    CFirmwareProgramSink(CSpiFirmware &firmware, const CProgramPlan &plan) : m_firmware(firmware), m_plan(plan) {}

    void Write(const uint8_t *data, size_t count) override
    {
        while (count && m_done < m_plan.pages) {
            const size_t take = std::min<size_t>(count, m_plan.pageBytes - m_partial.size());
            m_partial.insert(m_partial.end(), data, data + take);
            data += take;
            count -= take;
            if (m_partial.size() == m_plan.pageBytes) {
                if (!m_firmware.ProgramPage(m_plan, m_done, m_partial.data()))
                    m_firmware.NoteProgramFailure();
                ++m_done;
                m_partial.clear();
            }
        }
    }
    void Finish() override
    {
        if (m_done < m_plan.pages)
            m_firmware.NoteIncompleteProgram();
        m_done = m_plan.pages;
    }

private:
    CSpiFirmware &m_firmware;
    CProgramPlan m_plan;
    uint32_t m_done = 0;
    std::vector<uint8_t> m_partial;
};

class CIgnoreSink : public xrsim::CDataSink
{
public:
    void Write(const uint8_t *, size_t) override {}
    void Finish() override {}
};

void PutBE(std::vector<uint8_t> &out, uint64_t value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        out.push_back(uint8_t(value >> (8 * i)));
}

bool AddressBytesValid(size_t count)
{
    return count >= 1 && count <= spipkt::MaxAddressBytes;
}

CPoll PollAt(const CPacket &packet, size_t at)
{
    return {packet.At(at), packet.At(at + 1), packet.At(at + 2)};
}

} // namespace

EAlgorithm AlgorithmOf(int index)
{
    switch (index) {
    case AlgorithmAt45:
        return EAlgorithm::At45;
    case AlgorithmEeprom:
        return EAlgorithm::Eeprom;
    default:
        return EAlgorithm::Flash;
    }
}

CSpiFirmware::CSpiFirmware(std::unique_ptr<xrbus::ISpiBus> bus, xrsim::CStats &stats, const CPollLimits &limits)
    : CChip(stats), m_bus(std::move(bus)), m_limits(limits)
{
}

std::unique_ptr<CSpiFirmware> MakeSpiFirmware(std::unique_ptr<xrbus::ISpiBus> bus, xrsim::CStats &stats,
                                              const CPollLimits &limits)
{
    return std::make_unique<CSpiFirmware>(std::move(bus), stats, limits);
}

bool CSpiFirmware::Command(const CPacket &packet, CCommandResult &result)
{
    switch (packet.Code()) {
    case cmd::ReadId:
        result.reply = IdReply(packet);
        return true;
    case cmd::ReadParameterPage:
        result.reply = SfdpReply();
        return true;
    case cmd::At45Status:
        result.reply = StatusRegisterReply(packet);
        return true;
    case cmd::SpiConfigure:
        Configure(packet);
        return true;
    case cmd::Read:
        result.reply = Read(packet);
        return true;
    case cmd::Program:
        return Program(packet, result);
    case cmd::Erase:
        result.reply = Erase(packet);
        return true;
    case cmd::ProgramDone:
        result.reply = ProgramDoneReply();
        return true;
    case cmd::Timing:
        m_clockHz = m_bus->SetClockHz(ClockOfTiming(packet));
        return true;
    default:
        return false;
    }
}

// {0x30, 0x00, d + 1, 0x20, d + 1, 0x01, c, 0x21, c, m}: the divider d and
// the mode m of the host's speed table give the SPI clock, from 24 MHz at
// the fastest setting down to 2 MHz.
uint32_t ClockOfTiming(const CPacket &packet)
{
    constexpr uint32_t BaseClockHz = 48000000;
    const uint32_t divider = std::max<uint32_t>(packet.At(TimingDivider), 1);
    const uint32_t mode = std::min<uint32_t>(packet.At(TimingMode), 2);
    return BaseClockHz / (2 * divider) >> mode;
}

// --- bus helpers

bool CSpiFirmware::Transfer(const std::vector<uint8_t> &out, uint8_t *in, size_t readCount)
{
    if (m_bus->Transfer(out.data(), out.size(), in, readCount))
        return true;
    if (!m_busFailed)
        m_busError = m_bus->LastError();
    m_busFailed = true;
    if (in && readCount)
        std::memset(in, 0xFF, readCount);
    return false;
}

// The latch must read set before a program or erase goes out: a part that
// is still busy, or not answering, ignores the write enable.
bool CSpiFirmware::WriteEnable()
{
    return Transfer({spiop::WriteEnable}) && (ReadStatus(spiop::ReadStatus) & spiop::StatusWriteEnabled) != 0;
}

uint8_t CSpiFirmware::ReadStatus(uint8_t opcode)
{
    uint8_t status = 0xFF;
    Transfer({opcode}, &status, 1);
    return status;
}

bool CSpiFirmware::WaitReady(const CPoll &poll, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (uint64_t polls = 1;; ++polls) {
        const uint8_t status = ReadStatus(poll.opcode);
        if (m_busFailed)
            return false;
        if ((status & poll.mask) == poll.ready)
            return true;
        if ((m_limits.maxPolls && polls >= m_limits.maxPolls) || std::chrono::steady_clock::now() > deadline) {
            ++m_stats.statusTimeouts;
            return false;
        }
    }
}

bool CSpiFirmware::WriteLatchCleared()
{
    if ((ReadStatus(spiop::ReadStatus) & spiop::StatusWriteEnabled) == 0)
        return !m_busFailed;
    Transfer({spiop::WriteDisable});
    return false;
}

// --- identification, self-description, status, configuration

std::unique_ptr<CReply> CSpiFirmware::IdReply(const CPacket &packet)
{
    // 0x00: the firmware's default ID instruction, the JEDEC one.
    const uint8_t opcode = packet.At(1) ? packet.At(1) : spiop::ReadJedecId;
    std::vector<uint8_t> id(IdReplyBytes, 0xFF);
    Transfer({opcode}, id.data(), id.size());
    return std::make_unique<CBytesReply>(std::move(id));
}

std::unique_ptr<CReply> CSpiFirmware::SfdpReply()
{
    std::vector<uint8_t> table(SfdpReplyBytes, 0xFF);
    Transfer({spiop::ReadSfdp, 0, 0, 0, 0}, table.data(), table.size());
    return std::make_unique<CBytesReply>(std::move(table));
}

std::unique_ptr<CReply> CSpiFirmware::StatusRegisterReply(const CPacket &packet)
{
    const size_t length = std::clamp<size_t>(packet.At(spipkt::StatusLength), 1, 64);
    std::vector<uint8_t> status(length, 0xFF);
    Transfer({packet.At(spipkt::StatusOpcode)}, status.data(), status.size());
    return std::make_unique<CBytesReply>(std::move(status));
}

// Records of {write-enable marker, instruction, data count, data}: status
// register writes, four-byte mode and the like, each after a write enable.
void CSpiFirmware::Configure(const CPacket &packet)
{
    const size_t records = packet.At(ConfigureRecordCount);
    size_t at = ConfigureRecords;
    bool wrote = false;
    for (size_t r = 0; r < records && at + 2 < ConfigurePacketBytes; ++r) {
        const uint8_t marker = packet.At(at);
        const uint8_t instruction = packet.At(at + 1);
        const size_t count = packet.At(at + 2);
        if (at + 3 + count > ConfigurePacketBytes)
            break;
        if (marker == spiop::WriteEnable && m_algorithm != EAlgorithm::At45)
            WriteEnable();
        std::vector<uint8_t> out{instruction};
        for (size_t i = 0; i < count; ++i)
            out.push_back(packet.At(at + 3 + i));
        if (Transfer(out))
            NoteFourByteEntry(instruction, out);
        if (m_algorithm != EAlgorithm::At45)
            WaitReady(CPoll(), m_limits.configure);
        wrote = true;
        at += 3 + count;
    }
    // A record that does not use the write enable leaves it set: clear it,
    // so nothing stays armed for a stray instruction.
    if (wrote && m_algorithm != EAlgorithm::At45)
        Transfer({spiop::WriteDisable});
}

void CSpiFirmware::NoteFourByteEntry(uint8_t instruction, const std::vector<uint8_t> &out)
{
    if (m_algorithm != EAlgorithm::Flash)
        return;
    if (instruction == spiop::Enter4ByteMode)
        m_fourByteEntry = EFourByteEntry::Instruction;
    else if (instruction == spiop::Exit4ByteMode)
        m_fourByteEntry = EFourByteEntry::None;
    else if (instruction == spiop::BankRegisterWrite && out.size() > 1)
        m_fourByteEntry = (out[1] & spiop::BankRegisterFourByte) ? EFourByteEntry::BankRegister : EFourByteEntry::None;
}

void CSpiFirmware::Release()
{
    if (m_fourByteEntry == EFourByteEntry::None || m_busFailed)
        return;
    // Some parts take the mode change only with the write latch set; the
    // others ignore the latch here.
    Transfer({spiop::WriteEnable});
    if (m_fourByteEntry == EFourByteEntry::Instruction)
        Transfer({spiop::Exit4ByteMode});
    else
        Transfer({spiop::BankRegisterWrite, 0x00});
    Transfer({spiop::WriteDisable});
    m_fourByteEntry = EFourByteEntry::None;
}

// --- addresses

CSpiFirmware::CAt45Layout CSpiFirmware::At45Layout()
{
    const uint8_t status = ReadStatus(spiop::At45ReadStatus);
    const bool binary = (status & spiop::At45StatusBinaryPages) != 0;
    CAt45Layout layout;
    layout.pageBytes = xrsim::At45PageOfDensity(xrsim::At45DensityMbit(status), binary);
    layout.byteBits = 0;
    if (!binary)
        while ((1u << layout.byteBits) < layout.pageBytes)
            ++layout.byteBits;
    m_at45 = layout;
    return layout;
}

uint64_t CSpiFirmware::LinearOffset(uint8_t opcode, int addressBytes, uint64_t field) const
{
    if (m_algorithm == EAlgorithm::At45 && m_at45.byteBits) {
        const uint64_t page = field >> m_at45.byteBits;
        const uint64_t byte = field & ((1u << m_at45.byteBits) - 1);
        return page * m_at45.pageBytes + byte;
    }
    if (m_algorithm == EAlgorithm::Eeprom && addressBytes == 1)
        return field | ((opcode & spiop::EepromA8) ? NineBitHigh : 0);
    return field;
}

// The address field of a linear offset, in `addressBytes` bytes; a one-byte
// EEPROM carries address bit 8 in the instruction.
void CSpiFirmware::PutAddress(std::vector<uint8_t> &out, uint8_t &opcode, int addressBytes, uint64_t linear) const
{
    uint64_t field = linear;
    if (m_algorithm == EAlgorithm::At45 && m_at45.byteBits) {
        field = (linear / m_at45.pageBytes) << m_at45.byteBits | (linear % m_at45.pageBytes);
    } else if (m_algorithm == EAlgorithm::Eeprom && addressBytes == 1) {
        linear %= NineBitSpan;
        opcode = uint8_t((opcode & ~spiop::EepromA8) | ((linear & NineBitHigh) ? spiop::EepromA8 : 0));
        field = linear;
    }
    out[0] = opcode;
    PutBE(out, field, addressBytes);
}

// --- read

std::unique_ptr<CReply> CSpiFirmware::Read(const CPacket &packet)
{
    const uint8_t opcode = packet.At(spipkt::ReadOpcode);
    const size_t addressBytes = packet.At(spipkt::ReadAddressBytes);
    const uint64_t length = packet.LE(spipkt::ReadLength, 4);
    const int mode = packet.At(spipkt::ReadMode);
    if (length == 0)
        return nullptr;
    CReadPlan plan;
    plan.opcode = opcode;
    plan.addressBytes = int(addressBytes);
    bool known = AddressBytesValid(addressBytes);
    switch (m_algorithm) {
    case EAlgorithm::Flash:
        known = known && xrsim::FlashReadMode(opcode) == mode;
        plan.opcode = xrsim::SingleLineRead(opcode);
        plan.dummyBytes = xrsim::ReadDummyBytes(plan.opcode, false);
        break;
    case EAlgorithm::At45:
        known = known && xrsim::At45ReadOpcode(opcode) && mode == xrsim::SingleLine;
        plan.dummyBytes = xrsim::ReadDummyBytes(opcode, true);
        if (known)
            At45Layout();
        break;
    case EAlgorithm::Eeprom:
        known = known && (opcode & ~spiop::EepromA8) == spiop::EepromRead && mode == xrsim::SingleLine;
        break;
    }
    if (!known) {
        ++m_stats.opcodeErrors;
        return std::make_unique<CBytesReply>(std::vector<uint8_t>(), length);
    }
    plan.start = LinearOffset(opcode, plan.addressBytes, packet.BE(spipkt::ReadAddress, addressBytes));
    return std::make_unique<CFirmwareReadReply>(*this, plan, length);
}

void CSpiFirmware::ReadPiece(const CReadPlan &plan, uint64_t offset, uint8_t *dst, size_t count)
{
    const size_t maxRead = m_bus->MaxRead() ? m_bus->MaxRead() : count;
    while (count) {
        const size_t n = std::min(count, maxRead);
        std::vector<uint8_t> out(1);
        uint8_t opcode = plan.opcode;
        PutAddress(out, opcode, plan.addressBytes, plan.start + offset);
        out.insert(out.end(), size_t(plan.dummyBytes), 0x00);
        if (m_busFailed)
            std::memset(dst, 0xFF, n);
        else
            Transfer(out, dst, n);
        dst += n;
        offset += n;
        count -= n;
    }
}

// --- program

bool CSpiFirmware::Program(const CPacket &packet, CCommandResult &result)
{
    const uint8_t opcode = packet.At(spipkt::ProgramOpcode);
    const size_t addressBytes = packet.At(spipkt::ProgramAddressBytes);
    const auto pages = packet.PageCount(spipkt::ProgramCount);
    const uint8_t modeOrPage = packet.At(spipkt::ProgramMode);
    if (!pages) {
        ++m_stats.malformedCommands;
        return true;
    }
    CProgramPlan plan;
    plan.addressBytes = int(addressBytes);
    plan.pages = *pages;
    plan.poll = PollAt(packet, spipkt::ProgramStatus);
    bool known = AddressBytesValid(addressBytes);
    switch (m_algorithm) {
    case EAlgorithm::Flash:
        known = known && xrsim::FlashProgramMode(opcode) == int(modeOrPage);
        plan.opcode = xrsim::SingleLineProgram(opcode);
        plan.pageBytes = FlashProgramUnit;
        break;
    case EAlgorithm::At45: {
        // The firmware's buffer program takes the page size's low byte.
        const CAt45Layout layout = At45Layout();
        known = known && addressBytes == At45AddressBytes && opcode == uint8_t(layout.pageBytes & 0xFF) &&
                modeOrPage == xrsim::SingleLine;
        plan.opcode = spiop::At45ProgramThroughBuffer1;
        plan.pageBytes = layout.pageBytes;
        break;
    }
    case EAlgorithm::Eeprom:
        known = known && (opcode & ~spiop::EepromA8) == spiop::EepromWrite;
        plan.opcode = opcode;
        plan.pageBytes = modeOrPage ? modeOrPage : EepromDefaultPage;
        break;
    }
    if (!known) {
        ++m_stats.opcodeErrors;
        NoteProgramFailure();
        result.sink = std::make_unique<CIgnoreSink>();
        return true;
    }
    plan.start = LinearOffset(opcode, plan.addressBytes, packet.BE(spipkt::ProgramAddress, addressBytes));
    if (plan.pages)
        result.sink = std::make_unique<CFirmwareProgramSink>(*this, plan);
    return true;
}

bool CSpiFirmware::ProgramPage(const CProgramPlan &plan, uint32_t index, const uint8_t *data)
{
    if (m_busFailed)
        return false;
    const uint64_t linear = plan.start + uint64_t(index) * plan.pageBytes;
    const size_t header = 1 + size_t(plan.addressBytes);
    if (m_algorithm == EAlgorithm::At45)
        return ProgramAt45Page(plan, linear, data);
    // Serial flash and EEPROMs: write enable, program, wait, and check the
    // part took it; a bus that moves less at once gets shorter programs.
    const size_t most = m_bus->MaxWrite() > header ? m_bus->MaxWrite() - header : plan.pageBytes;
    bool ok = true;
    for (size_t done = 0; done < plan.pageBytes && ok;) {
        const size_t n = std::min<size_t>(most, plan.pageBytes - done);
        std::vector<uint8_t> out(1);
        uint8_t opcode = plan.opcode;
        PutAddress(out, opcode, plan.addressBytes, linear + done);
        out.insert(out.end(), data + done, data + done + n);
        ok = WriteEnable() && Transfer(out) && WaitReady(plan.poll, m_limits.program) && WriteLatchCleared();
        done += n;
    }
    return ok;
}

// One transaction: the page is erased and programmed from buffer 1 when chip
// select rises, so it cannot be split. The part has no program-failed bit:
// the page is compared with the buffer it was programmed from, and a page
// that did not take its data reads back as a mismatch.
bool CSpiFirmware::ProgramAt45Page(const CProgramPlan &plan, uint64_t linear, const uint8_t *data)
{
    const size_t header = 1 + size_t(plan.addressBytes);
    if (m_bus->MaxWrite() && m_bus->MaxWrite() < header + plan.pageBytes)
        return false;
    std::vector<uint8_t> out(1);
    uint8_t opcode = plan.opcode;
    PutAddress(out, opcode, plan.addressBytes, linear);
    out.insert(out.end(), data, data + plan.pageBytes);
    if (!Transfer(out) || !WaitReady(plan.poll, m_limits.program))
        return false;
    std::vector<uint8_t> compare(1);
    uint8_t compareOpcode = spiop::At45CompareBuffer1;
    PutAddress(compare, compareOpcode, plan.addressBytes, linear);
    return Transfer(compare) && WaitReady(plan.poll, m_limits.program) &&
           (ReadStatus(spiop::At45ReadStatus) & spiop::At45StatusCompareMismatch) == 0 && !m_busFailed;
}

// --- erase

std::unique_ptr<CReply> CSpiFirmware::Erase(const CPacket &packet)
{
    const bool writeEnable = packet.At(spipkt::EraseWriteEnable) == spiop::WriteEnable;
    const uint8_t opcode = packet.At(spipkt::EraseOpcode);
    const size_t addressBytes = packet.At(spipkt::EraseAddressBytes);
    const CPoll poll = PollAt(packet, spipkt::EraseStatus);
    bool ok = AddressBytesValid(addressBytes);
    const bool chip = opcode == spiop::ChipErase || opcode == spiop::ChipErase2;
    std::vector<uint8_t> out{opcode};
    if (m_algorithm == EAlgorithm::At45 && opcode == spiop::ChipErase)
        out.assign(std::begin(spiop::At45ChipErase), std::end(spiop::At45ChipErase));
    else if (!chip)
        PutBE(out, packet.BE(spipkt::EraseAddress, addressBytes), int(addressBytes));
    // AT45 parts have no write latch.
    const bool latched = writeEnable && m_algorithm != EAlgorithm::At45;
    if (ok) {
        ok = (!latched || WriteEnable()) && Transfer(out) &&
             WaitReady(poll, chip ? m_limits.chipErase : m_limits.erase);
        if (latched && !m_busFailed)
            ok = WriteLatchCleared() && ok;
    } else {
        ++m_stats.malformedCommands;
    }
    if (!ok)
        ++m_stats.eraseFailures;
    return std::make_unique<CBytesReply>(xrsim::StatusReply(ok));
}

} // namespace xrspi
