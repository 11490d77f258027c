#include "SpiChip.h"
#include "ByteOrder.h"
#include "SfdpTable.h"
#include "SimLog.h"
#include "SpiOpcodes.h"
#include "SpiTransfers.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

namespace {

constexpr size_t IdReplyBytes = 3;
constexpr uint32_t FlashProgramUnit = 256;  // 0x1C counts serial flash data in 256-byte pages
constexpr uint32_t At45SectorPages = 256;
constexpr uint32_t At45Sector0aPages = 8;
constexpr uint32_t At45BlockPages = 8;

// AT45 pages of 264, 528 or 1056 bytes are addressed as page << bits | byte
// with 9, 10 or 11 byte bits; the power-of-two pages linearly (0 bits).
int At45ByteBits(uint32_t pageSize)
{
    if ((pageSize & (pageSize - 1)) == 0)
        return 0;
    int bits = 0;
    while ((1u << bits) < pageSize)
        ++bits;
    return bits;
}

// A sink for data the chip will not take (an instruction it does not have).
class CIgnoreSink : public CDataSink
{
public:
    void Write(const uint8_t *, size_t) override {}
    void Finish() override {}
};

} // namespace

CSpiChip::CSpiChip(const CSpiConfig &config, std::unique_ptr<CImageFile> image, CStats &stats)
    : CChip(stats), m_config(config), m_image(std::move(image))
{
    if (m_config.kind == ESpiKind::At45) {
        m_pages = uint32_t(m_config.size / m_config.pageSize);
        m_at45ByteBits = At45ByteBits(m_config.pageSize);
    }
    m_page.resize(m_config.pageSize);
    m_latch.resize(m_config.pageSize);
    m_touched.resize(m_config.pageSize);
}

bool CSpiChip::Command(const CPacket &packet, CCommandResult &result)
{
    switch (packet.Code()) {
    case cmd::ReadId:
        result.reply = IdReply(packet.At(1));
        return true;
    case cmd::ReadParameterPage:
        result.reply = std::make_unique<CBytesReply>(
            m_config.sfdp && m_config.kind != ESpiKind::Eeprom ? BuildSfdpTable(m_config) : std::vector<uint8_t>(),
            SfdpReplyBytes);
        return true;
    case cmd::At45Status:
        result.reply = StatusRegisterReply(packet);
        return true;
    case cmd::SpiConfigure:
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
    default:
        return false;
    }
}

std::unique_ptr<CReply> CSpiChip::IdReply(uint8_t opcode)
{
    // 0x00: the firmware's default ID instruction, the JEDEC one.
    if (opcode == spiop::ReadJedecId || opcode == 0x00)
        return std::make_unique<CBytesReply>(std::vector<uint8_t>(m_config.id.begin(), m_config.id.end()));
    ++m_stats.opcodeErrors;
    return std::make_unique<CBytesReply>(std::vector<uint8_t>(), IdReplyBytes);
}

// Bit 7 ready, bits 5-2 the density, bit 0 set for binary (power-of-two) pages.
uint8_t CSpiChip::At45Status() const
{
    int density = 3;
    for (uint64_t nominal = 128 * 1024; nominal < uint64_t(m_pages) * 512 && density < 15; nominal *= 2)
        density += 2;
    return uint8_t(0x80 | (density << 2) | (m_at45ByteBits == 0 ? 0x01 : 0x00));
}

// What a status instruction reads on a chip at rest; 0xFF (a floating bus)
// for an instruction the part does not have.
uint8_t CSpiChip::StatusFor(uint8_t opcode) const
{
    switch (m_config.kind) {
    case ESpiKind::At45:
        return opcode == spiop::At45ReadStatus ? At45Status() : 0xFF;
    case ESpiKind::Eeprom:
        return opcode == spiop::ReadStatus ? 0x00 : 0xFF;
    case ESpiKind::Flash:
        if (opcode == spiop::ReadStatus || opcode == spiop::ReadStatus2 || opcode == spiop::ReadStatus3)
            return 0x00;
        return opcode == spiop::ReadFlagStatus ? 0x80 : 0xFF;  // flag status: bit 7 ready
    }
    return 0xFF;
}

// The firmware polls the status instruction of the packet until the busy
// bits read the ready value; a chip that never reads ready times it out.
bool CSpiChip::StatusReady(const CPacket &packet, size_t at) const
{
    const uint8_t status = StatusFor(packet.At(at));
    if ((status & packet.At(at + 1)) == packet.At(at + 2))
        return true;
    ++m_stats.statusTimeouts;
    return false;
}

std::unique_ptr<CReply> CSpiChip::StatusRegisterReply(const CPacket &packet)
{
    const uint8_t opcode = packet.At(spipkt::StatusOpcode);
    const uint8_t status = StatusFor(opcode);
    if (status == 0xFF)
        ++m_stats.opcodeErrors;
    const size_t length = std::clamp<size_t>(packet.At(spipkt::StatusLength), 1, 64);
    return std::make_unique<CBytesReply>(std::vector<uint8_t>(length, status));
}

bool CSpiChip::AddressWidthFits(size_t addressBytes) const
{
    switch (m_config.kind) {
    case ESpiKind::Flash:
        return addressBytes >= 1 && addressBytes <= spipkt::MaxAddressBytes;
    case ESpiKind::At45:
        return addressBytes == 3;
    case ESpiKind::Eeprom:
        // The datasheets' widths: one byte up to 512 bytes (the ninth bit
        // rides in the instruction), else what the highest address needs.
        return addressBytes == size_t(m_config.size <= 512 ? 1 : BytesFor(m_config.size - 1));
    }
    return false;
}

// The linear byte offset an address names, or nothing when the part cannot
// be addressed that way. `opcode` is the instruction as sent, so the
// EEPROM's ninth address bit can be taken from it.
std::optional<uint64_t> CSpiChip::DecodeAddress(uint8_t opcode, size_t addressBytes, uint64_t raw) const
{
    if (!AddressWidthFits(addressBytes))
        return std::nullopt;
    if (m_config.kind == ESpiKind::At45 && m_at45ByteBits != 0) {
        const uint64_t page = (raw >> m_at45ByteBits) % m_pages;
        const uint64_t byte = raw & ((1u << m_at45ByteBits) - 1);
        return page * m_config.pageSize + byte % m_config.pageSize;
    }
    if (NineBitEeprom())
        raw |= uint64_t((opcode & spiop::EepromA8) ? 1 : 0) << 8;
    return raw % m_config.size;
}

std::unique_ptr<CReply> CSpiChip::Read(const CPacket &packet)
{
    const uint8_t opcode = packet.At(spipkt::ReadOpcode);
    const size_t addressBytes = packet.At(spipkt::ReadAddressBytes);
    const uint64_t length = packet.LE(spipkt::ReadLength, 4);
    const int mode = packet.At(spipkt::ReadMode);
    if (length == 0)
        return nullptr;
    bool known = false;
    switch (m_config.kind) {
    case ESpiKind::Flash:
        known = FlashReadMode(opcode) == mode;
        break;
    case ESpiKind::At45:
        known = At45ReadOpcode(opcode) && mode == SingleLine;
        break;
    case ESpiKind::Eeprom:
        known = (opcode & ~spiop::EepromA8) == spiop::EepromRead && mode == SingleLine &&
                (opcode == spiop::EepromRead || NineBitEeprom());
        break;
    }
    const auto address = addressBytes <= spipkt::MaxAddressBytes
                             ? DecodeAddress(opcode, addressBytes, packet.BE(spipkt::ReadAddress, addressBytes))
                             : std::nullopt;
    if (!known || !address) {
        ++m_stats.opcodeErrors;
        return std::make_unique<CBytesReply>(std::vector<uint8_t>(), length);
    }
    return std::make_unique<CSpiReadReply>(*this, *address, length);
}

bool CSpiChip::Program(const CPacket &packet, CCommandResult &result)
{
    const uint8_t opcode = packet.At(spipkt::ProgramOpcode);
    const size_t addressBytes = packet.At(spipkt::ProgramAddressBytes);
    const auto pages = packet.PageCount(spipkt::ProgramCount);
    const uint8_t modeOrPage = packet.At(spipkt::ProgramMode);
    if (!pages) {
        ++m_stats.malformedCommands;
        return true;
    }
    bool known = false;
    uint32_t pageBytes = 0;
    switch (m_config.kind) {
    case ESpiKind::Flash:
        known = FlashProgramMode(opcode) == int(modeOrPage);
        pageBytes = FlashProgramUnit;
        break;
    case ESpiKind::At45:
        // The firmware's buffer program takes the page size's low byte.
        known = opcode == uint8_t(m_config.pageSize & 0xFF) && modeOrPage == SingleLine;
        pageBytes = m_config.pageSize;
        break;
    case ESpiKind::Eeprom:
        known = (opcode & ~spiop::EepromA8) == spiop::EepromWrite &&
                (opcode == spiop::EepromWrite || NineBitEeprom());
        pageBytes = modeOrPage ? modeOrPage : 256;
        break;
    }
    const auto address = addressBytes <= spipkt::MaxAddressBytes
                             ? DecodeAddress(opcode, addressBytes, packet.BE(spipkt::ProgramAddress, addressBytes))
                             : std::nullopt;
    if (!known || !address) {
        ++m_stats.opcodeErrors;
        NoteProgramFailure();
        result.sink = std::make_unique<CIgnoreSink>();
        return true;
    }
    if (!StatusReady(packet, spipkt::ProgramStatus))
        NoteProgramFailure();
    if (*pages)
        result.sink = std::make_unique<CSpiProgramSink>(*this, *address, pageBytes, *pages);
    return true;
}

std::unique_ptr<CReply> CSpiChip::Erase(const CPacket &packet)
{
    const uint8_t opcode = packet.At(spipkt::EraseOpcode);
    const size_t addressBytes = packet.At(spipkt::EraseAddressBytes);
    const auto address = addressBytes <= spipkt::MaxAddressBytes
                             ? DecodeAddress(opcode, addressBytes, packet.BE(spipkt::EraseAddress, addressBytes))
                             : std::nullopt;
    bool known = false;
    bool stored = true;
    if (address) {
        switch (m_config.kind) {
        case ESpiKind::Flash: {
            // Without the write enable the chip ignores the erase.
            const uint64_t bytes = FlashEraseBytes(opcode, m_config.size);
            if (bytes && packet.At(spipkt::EraseWriteEnable) == spiop::WriteEnable) {
                known = true;
                const uint64_t start = *address / bytes * bytes;
                stored = EraseRange(start, std::min(bytes, m_config.size - start));
            }
            break;
        }
        case ESpiKind::At45:
            if (const auto kind = At45EraseKind(opcode)) {
                known = true;
                stored = At45Erase(*kind, *address);
            }
            break;
        case ESpiKind::Eeprom:  // no erase instruction
            break;
        }
    }
    if (!known)
        ++m_stats.opcodeErrors;
    // An instruction the chip ignored still leaves it ready, as on real parts.
    const bool ok = StatusReady(packet, spipkt::EraseStatus) && stored;
    if (!ok)
        ++m_stats.eraseFailures;
    return std::make_unique<CBytesReply>(xrsim::StatusReply(ok));
}

bool CSpiChip::At45Erase(EAt45Erase kind, uint64_t address)
{
    const uint32_t page = uint32_t(address / m_config.pageSize);
    uint32_t first = 0;
    uint32_t count = 0;
    switch (kind) {
    case EAt45Erase::Page:
        first = page;
        count = 1;
        break;
    case EAt45Erase::Block:
        first = page / At45BlockPages * At45BlockPages;
        count = At45BlockPages;
        break;
    case EAt45Erase::Sector:
        // Sector 0 is split: 0a holds the first eight pages, 0b the rest.
        if (page < At45Sector0aPages) {
            first = 0;
            count = At45Sector0aPages;
        } else if (page < At45SectorPages) {
            first = At45Sector0aPages;
            count = At45SectorPages - At45Sector0aPages;
        } else {
            first = page / At45SectorPages * At45SectorPages;
            count = At45SectorPages;
        }
        break;
    case EAt45Erase::Chip:
        first = 0;
        count = m_pages;
        break;
    }
    return EraseRange(uint64_t(first) * m_config.pageSize, uint64_t(count) * m_config.pageSize);
}

bool CSpiChip::Protected(uint64_t offset, uint64_t count) const
{
    for (const auto &[start, length] : m_config.protectedRanges) {
        if (offset < start + length && start < offset + count)
            return true;
    }
    return false;
}

bool CSpiChip::EraseRange(uint64_t offset, uint64_t count)
{
    ++m_stats.erases;
    if (Protected(offset, count))
        return false; // the part ignores an erase of a protected area
    if (m_image->Erase(offset, count))
        return true;
    WarnNotStored();
    return false;
}

void CSpiChip::ReadLinear(uint64_t address, uint8_t *dst, size_t count)
{
    while (count) {
        const size_t n = size_t(std::min<uint64_t>(count, m_config.size - address));
        m_image->Read(address, dst, n);
        dst += n;
        count -= n;
        address = 0;
    }
}

// The page latch takes the bytes in order, wrapping at the page end; then
// serial flash ANDs it into the array while AT45 and EEPROM parts replace
// the latched bytes.
void CSpiChip::ProgramPage(uint64_t address, const uint8_t *data, size_t count)
{
    const uint32_t pageSize = m_config.pageSize;
    const uint64_t base = address / pageSize * pageSize;
    const uint32_t start = uint32_t(address - base);
    if (Protected(base, pageSize)) {
        NoteProgramFailure();
        return;
    }
    std::fill(m_touched.begin(), m_touched.end(), 0);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t at = uint32_t((start + i) % pageSize);
        m_latch[at] = data[i];
        m_touched[at] = 1;
    }
    m_image->Read(base, m_page.data(), pageSize);
    bool erased = true;
    bool changed = false;
    for (uint32_t i = 0; i < pageSize; ++i) {
        if (!m_touched[i])
            continue;
        erased &= m_page[i] == 0xFF;
        const uint8_t value = m_config.kind == ESpiKind::Flash ? uint8_t(m_page[i] & m_latch[i]) : m_latch[i];
        changed |= value != m_page[i];
        m_page[i] = value;
    }
    if (m_config.kind == ESpiKind::Flash && !erased)
        ++m_stats.programsNotErased;
    ++m_stats.pagesProgrammed;
    m_stats.bytesProgrammed += count;
    if (changed && !Store(base, m_page.data(), pageSize))
        NoteProgramFailure();
}

bool CSpiChip::Store(uint64_t offset, const uint8_t *data, size_t count)
{
    if (m_image->Write(offset, data, count))
        return true;
    WarnNotStored();
    return false;
}

void CSpiChip::WarnNotStored()
{
    if (!m_warnedReadOnly) {
        Warn("cannot write the chip image " + m_image->Path() + "; programs and erases of this chip fail");
        m_warnedReadOnly = true;
    }
}

} // namespace xrsim
