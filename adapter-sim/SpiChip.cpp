#include "SpiChip.h"
#include "ByteOrder.h"
#include "SfdpTable.h"
#include "SimLog.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

namespace {

constexpr uint64_t ThreeByteSpan = 1ull << 24;
constexpr uint32_t At45Sector0aPages = 8;
constexpr uint32_t At45BlockPages = 8;
constexpr uint32_t EraseBusyFactor = 4;
constexpr uint32_t ChipEraseBusyFactor = 16;
constexpr size_t SfdpAddressBytes = 3;
constexpr size_t At45AddressBytes = 3;
constexpr uint8_t FlashWritableStatus = 0xBC;   // SRP, BP3-BP0
constexpr uint8_t EepromWritableStatus = 0x8C;  // WPEN, BP1, BP0
constexpr uint8_t FlagReady = 0x80;
constexpr uint8_t FlagFourByte = 0x01;

constexpr uint8_t ProtectAll = 0x1C;

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

bool IsStatusRead(ESpiKind kind, uint8_t opcode)
{
    if (kind == ESpiKind::At45)
        return opcode == spiop::At45ReadStatus;
    return opcode == spiop::ReadStatus || opcode == spiop::ReadStatus2 || opcode == spiop::ReadStatus3 ||
           opcode == spiop::ReadFlagStatus;
}

} // namespace

CSpiChip::CSpiChip(const CSpiConfig &config, std::unique_ptr<CImageFile> image, CStats &stats)
    : m_config(config), m_image(std::move(image)), m_stats(stats)
{
    if (m_config.kind == ESpiKind::At45) {
        m_pages = uint32_t(m_config.size / m_config.pageSize);
        m_at45ByteBits = At45ByteBits(m_config.pageSize);
        m_at45Buffer.assign(m_config.pageSize, 0xFF);
    }
    if (m_config.sfdp && m_config.kind != ESpiKind::Eeprom)
        m_sfdp = BuildSfdpTable(m_config);
    if (m_config.protect && m_config.kind != ESpiKind::At45)
        m_status = m_config.kind == ESpiKind::Eeprom ? 0x0C : ProtectAll;
    m_page.resize(m_config.pageSize);
    m_touched.resize(m_config.pageSize);
}

bool CSpiChip::Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount)
{
    if (in && readCount)
        std::memset(in, 0xFF, readCount);
    if (!out || writeCount == 0)
        return true;
    const CFrame frame{out, writeCount, in, in ? readCount : 0};
    if (m_busyPolls > 0 && !IsStatusRead(m_config.kind, out[0])) {
        // A busy part answers nothing but its status.
        ++m_stats.commandsWhileBusy;
        return true;
    }
    switch (m_config.kind) {
    case ESpiKind::Flash:
        FlashFrame(frame);
        break;
    case ESpiKind::At45:
        At45Frame(frame);
        break;
    case ESpiKind::Eeprom:
        EepromFrame(frame);
        break;
    }
    return true;
}

void CSpiChip::Unknown(uint8_t opcode)
{
    (void)opcode;
    ++m_stats.opcodeErrors;
}

void CSpiChip::StartBusy(uint32_t polls)
{
    m_busyPolls = polls;
}

bool CSpiChip::TakeWrite()
{
    // Without the latch the part ignores the instruction; a protected part
    // ignores it too and keeps the latch set.
    if (!m_writeEnabled)
        return false;
    if (Protected()) {
        ++m_stats.protectedWrites;
        return false;
    }
    return true;
}

// Data the chip drives from stream position `header` on; what it drove
// while the host was still writing is lost, and before it the line idles.
void CSpiChip::Output(const CFrame &frame, size_t header, const uint8_t *data, size_t count, bool repeat)
{
    for (size_t i = 0; i < frame.readCount; ++i) {
        const size_t position = frame.writeCount + i;
        if (position < header)
            continue;
        const size_t d = position - header;
        if (d < count)
            frame.in[i] = data[d];
        else if (repeat && count)
            frame.in[i] = data[d % count];
    }
}

void CSpiChip::ReportStatus(const CFrame &frame, uint8_t status)
{
    // Every status poll brings a busy part one step nearer to ready.
    Output(frame, 1, &status, 1, true);
    if (m_busyPolls)
        --m_busyPolls;
}

void CSpiChip::LatchWriteEnable(uint8_t opcode)
{
    m_writeEnabled = opcode == spiop::WriteEnable;
}

void CSpiChip::ReadOut(const CFrame &frame, size_t header, uint64_t linear, uint64_t wrap)
{
    size_t i = 0;
    while (i < frame.readCount && frame.writeCount + i < header)
        ++i;
    if (i == frame.readCount)
        return;
    uint64_t pos = (linear + (frame.writeCount + i - header)) % wrap;
    while (i < frame.readCount) {
        const size_t n = size_t(std::min<uint64_t>(frame.readCount - i, wrap - pos));
        m_image->Read(pos, frame.in + i, n);
        i += n;
        pos = 0;
    }
}

// --- serial flash

uint8_t CSpiChip::FlashStatus() const
{
    return uint8_t((m_status & FlashWritableStatus) | (m_writeEnabled ? spiop::StatusWriteEnabled : 0) |
                   (m_busyPolls ? spiop::StatusBusy : 0));
}

void CSpiChip::FlashFrame(const CFrame &frame)
{
    const uint8_t opcode = frame.out[0];
    const bool large = m_config.size > ThreeByteSpan;
    const auto address = [&](int bytes) {
        uint64_t value = 0;
        for (int i = 1; i <= bytes; ++i)
            value = (value << 8) | frame.At(size_t(i));
        return value;
    };
    switch (opcode) {
    case spiop::ReadJedecId:
        Output(frame, 1, m_config.id.data(), m_config.id.size(), false);
        return;
    case spiop::ReadStatus:
    case spiop::ReadStatus2:
    case spiop::ReadStatus3:
    case spiop::ReadFlagStatus: {
        uint8_t value = FlashStatus();
        if (opcode == spiop::ReadStatus2)
            value = m_status2;
        else if (opcode == spiop::ReadStatus3)
            value = m_status3;
        else if (opcode == spiop::ReadFlagStatus)
            value = uint8_t((m_busyPolls ? 0 : FlagReady) | (m_fourByte ? FlagFourByte : 0));
        ReportStatus(frame, value);
        return;
    }
    case spiop::WriteEnable:
    case spiop::WriteDisable:
        LatchWriteEnable(opcode);
        return;
    case spiop::WriteStatus:
    case spiop::WriteStatus2:
    case spiop::WriteStatus3:
        if (!m_writeEnabled || frame.writeCount < 2)
            return;
        if (opcode == spiop::WriteStatus) {
            m_status = frame.out[1] & FlashWritableStatus;
            if (frame.writeCount >= 3)
                m_status2 = frame.out[2];
        } else if (opcode == spiop::WriteStatus2) {
            m_status2 = frame.out[1];
        } else {
            m_status3 = frame.out[1];
        }
        m_writeEnabled = false;
        StartBusy(m_config.busyPolls);
        return;
    case spiop::BankRegisterRead: {
        const uint8_t bank = m_fourByte ? spiop::BankRegisterFourByte : 0;
        Output(frame, 1, &bank, 1, true);
        return;
    }
    case spiop::BankRegisterWrite:
        if (!large)
            break;
        m_fourByte = frame.writeCount >= 2 && (frame.out[1] & spiop::BankRegisterFourByte);
        return;
    case spiop::Enter4ByteMode:
    case spiop::Exit4ByteMode:
        if (!large)
            break;
        m_fourByte = opcode == spiop::Enter4ByteMode;
        return;
    case spiop::ReadSfdp:
        // A part without the table leaves the line floating.
        if (!m_sfdp.empty()) {
            const uint64_t at = address(SfdpAddressBytes);
            if (at < m_sfdp.size())
                Output(frame, 1 + SfdpAddressBytes + 1, m_sfdp.data() + at, size_t(m_sfdp.size() - at), false);
        }
        return;
    case spiop::Read:
    case spiop::FastRead:
    case spiop::Read4:
    case spiop::FastRead4: {
        const bool four = opcode == spiop::Read4 || opcode == spiop::FastRead4;
        if (four && !large)
            break;
        const int width = four ? 4 : FlashAddressBytes();
        const size_t header = 1 + size_t(width) + size_t(ReadDummyBytes(opcode, false));
        // In three-byte mode a large part sees only its first 16 MiB, and
        // a read runs round inside them.
        const uint64_t wrap = width == 3 && large ? ThreeByteSpan : m_config.size;
        ReadOut(frame, header, address(width) % wrap, wrap);
        return;
    }
    case spiop::PageProgram:
    case spiop::PageProgram4: {
        const bool four = opcode == spiop::PageProgram4;
        if (four && !large)
            break;
        const int width = four ? 4 : FlashAddressBytes();
        const uint64_t wrap = width == 3 && large ? ThreeByteSpan : m_config.size;
        if (TakeWrite() && frame.writeCount > size_t(1 + width))
            FlashProgram(frame, size_t(1 + width), address(width) % wrap);
        return;
    }
    case spiop::ChipErase:
    case spiop::ChipErase2:
        // Chip select must rise right after the instruction.
        if (frame.writeCount == 1 && TakeWrite())
            FlashErase(0, m_config.size);
        return;
    default: {
        const bool four = FourByteOpcode(opcode);
        uint64_t bytes = 0;
        switch (opcode) {
        case 0x20: case 0x21:
            bytes = m_config.smallErases ? 4 * 1024 : 0;
            break;
        case 0x52: case 0x5C:
            bytes = m_config.smallErases ? 32 * 1024 : 0;
            break;
        case 0xD8: case 0xDC:
            bytes = m_config.blockErase;
            break;
        default:
            break;
        }
        if (!bytes || (four && !large))
            break;
        const int width = four ? 4 : FlashAddressBytes();
        if (frame.writeCount < size_t(1 + width))
            return;
        const uint64_t wrap = width == 3 && large ? ThreeByteSpan : m_config.size;
        if (TakeWrite())
            FlashErase(address(width) % wrap, bytes);
        return;
    }
    }
    Unknown(opcode);
}

void CSpiChip::FlashProgram(const CFrame &frame, size_t header, uint64_t linear)
{
    const uint8_t *data = frame.out + header;
    size_t count = frame.writeCount - header;
    // Parts of the byte-program kind take one byte per instruction.
    if (m_config.byteProgram)
        count = 1;
    m_writeEnabled = !ProgramPage(linear, data, count, m_config.pageSize, false);
    StartBusy(m_config.busyPolls);
}

void CSpiChip::FlashErase(uint64_t linear, uint64_t bytes)
{
    const uint64_t start = linear / bytes * bytes;
    // An erase that did not reach the array leaves the latch set, so the
    // firmware sees the part did not take it.
    m_writeEnabled = !EraseRange(start, std::min(bytes, m_config.size - start));
    StartBusy(m_config.busyPolls * (bytes >= m_config.size ? ChipEraseBusyFactor : EraseBusyFactor));
}

// --- AT45 DataFlash

// Bit 7 ready, bit 6 the last compare differed, bits 5-2 the density, bit 0
// set for binary (power-of-two) pages.
uint8_t CSpiChip::At45Status() const
{
    const uint32_t binaryPage = m_at45ByteBits ? m_config.pageSize / 264 * 256 : m_config.pageSize;
    const uint32_t mbit = uint32_t(uint64_t(m_pages) * binaryPage * 8 >> 20);
    return uint8_t((m_busyPolls ? 0 : spiop::At45StatusReady) | (m_at45Mismatch ? spiop::At45StatusCompareMismatch : 0) |
                   (At45DensityCode(mbit) << 2) |
                   (m_at45ByteBits == 0 ? spiop::At45StatusBinaryPages : 0));
}

uint64_t CSpiChip::At45Linear(uint64_t field) const
{
    if (m_at45ByteBits != 0) {
        const uint64_t page = (field >> m_at45ByteBits) % m_pages;
        const uint64_t byte = field & ((1u << m_at45ByteBits) - 1);
        return page * m_config.pageSize + byte % m_config.pageSize;
    }
    return field % m_config.size;
}

// The sector of the real part of this density: 128 pages on the 1 and
// 2 Mbit parts and on the 32 Mbit part, 256 on the others.
uint32_t CSpiChip::At45SectorPages() const
{
    const bool halfSectors = m_pages <= 1024 || (m_pages == 8192 && m_config.pageSize <= 528);
    return halfSectors ? 128 : 256;
}

void CSpiChip::At45Frame(const CFrame &frame)
{
    const uint8_t opcode = frame.out[0];
    const auto field = [&]() {
        uint64_t value = 0;
        for (size_t i = 1; i <= At45AddressBytes; ++i)
            value = (value << 8) | frame.At(i);
        return value;
    };
    if (opcode == spiop::ReadJedecId) {
        Output(frame, 1, m_config.id.data(), m_config.id.size(), false);
        return;
    }
    if (opcode == spiop::At45ReadStatus) {
        ReportStatus(frame, At45Status());
        return;
    }
    if (opcode == spiop::ReadSfdp) {
        const uint64_t at = field();
        if (!m_sfdp.empty() && at < m_sfdp.size())
            Output(frame, 1 + SfdpAddressBytes + 1, m_sfdp.data() + at, size_t(m_sfdp.size() - at), false);
        return;
    }
    if (At45ReadOpcode(opcode)) {
        ReadOut(frame, 1 + At45AddressBytes + size_t(ReadDummyBytes(opcode, true)), At45Linear(field()),
                m_config.size);
        return;
    }
    if (opcode == spiop::At45ProgramThroughBuffer1 || opcode == spiop::At45ProgramThroughBuffer2) {
        const uint64_t linear = At45Linear(field());
        const size_t header = 1 + At45AddressBytes;
        if (frame.writeCount > header) {
            ProgramPage(linear, frame.out + header, frame.writeCount - header, m_config.pageSize, true);
            // The buffer keeps the page as it was meant to be, whether or
            // not the array took it.
            m_at45Buffers[opcode == spiop::At45ProgramThroughBuffer2] = m_page;
        }
        StartBusy(m_config.busyPolls);
        return;
    }
    if (opcode == spiop::At45CompareBuffer1 || opcode == spiop::At45CompareBuffer2) {
        if (frame.writeCount >= 1 + At45AddressBytes)
            At45Compare(m_at45Buffers[opcode == spiop::At45CompareBuffer2], At45Linear(field()));
        return;
    }
    if (opcode == spiop::At45ChipErase[0]) {
        if (frame.writeCount == 4 && std::equal(frame.out, frame.out + 4, spiop::At45ChipErase))
            At45Erase(EAt45Erase::Chip, 0);
        else
            Unknown(opcode);
        return;
    }
    if (const auto kind = At45EraseKind(opcode)) {
        if (frame.writeCount >= 1 + At45AddressBytes)
            At45Erase(*kind, At45Linear(field()));
        return;
    }
    Unknown(opcode);
}

void CSpiChip::At45Compare(const std::vector<uint8_t> &buffer, uint64_t linear)
{
    const uint64_t base = linear / m_config.pageSize * m_config.pageSize;
    std::vector<uint8_t> page(m_config.pageSize);
    m_image->Read(base, page.data(), page.size());
    m_at45Mismatch = buffer != page;
    StartBusy(m_config.busyPolls);
}

void CSpiChip::At45Erase(EAt45Erase kind, uint64_t linear)
{
    const uint32_t page = uint32_t(linear / m_config.pageSize);
    const uint32_t sectorPages = At45SectorPages();
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
            count = At45Sector0aPages;
        } else if (page < sectorPages) {
            first = At45Sector0aPages;
            count = sectorPages - At45Sector0aPages;
        } else {
            first = page / sectorPages * sectorPages;
            count = sectorPages;
        }
        break;
    case EAt45Erase::Chip:
        count = m_pages;
        break;
    }
    EraseRange(uint64_t(first) * m_config.pageSize, uint64_t(count) * m_config.pageSize);
    StartBusy(m_config.busyPolls * (kind == EAt45Erase::Chip ? ChipEraseBusyFactor : EraseBusyFactor));
}

// --- serial EEPROM

int CSpiChip::EepromAddressBytes() const
{
    // The datasheets' widths: one byte up to 512 bytes (the ninth bit rides
    // in the instruction), else what the highest address needs.
    return m_config.size <= 512 ? 1 : BytesFor(m_config.size - 1);
}

void CSpiChip::EepromFrame(const CFrame &frame)
{
    const uint8_t opcode = frame.out[0];
    const uint8_t base = uint8_t(opcode & ~spiop::EepromA8);
    const bool highHalf = (opcode & spiop::EepromA8) != 0;
    switch (opcode) {
    case spiop::ReadJedecId:
        Output(frame, 1, m_config.id.data(), m_config.id.size(), false);
        return;
    case spiop::ReadStatus: {
        const uint8_t status = uint8_t((m_status & EepromWritableStatus) |
                                       (m_writeEnabled ? spiop::StatusWriteEnabled : 0) |
                                       (m_busyPolls ? spiop::StatusBusy : 0));
        ReportStatus(frame, status);
        return;
    }
    case spiop::WriteEnable:
    case spiop::WriteDisable:
        LatchWriteEnable(opcode);
        return;
    case spiop::WriteStatus:
        if (m_writeEnabled && frame.writeCount >= 2) {
            m_status = frame.out[1] & EepromWritableStatus;
            m_writeEnabled = false;
            StartBusy(m_config.busyPolls);
        }
        return;
    case spiop::ReadSfdp:  // no table: the line floats
        return;
    default:
        break;
    }
    const bool read = base == spiop::EepromRead;
    const bool write = base == spiop::EepromWrite;
    if ((!read && !write) || (highHalf && !NineBitEeprom())) {
        Unknown(opcode);
        return;
    }
    const int width = EepromAddressBytes();
    uint64_t linear = 0;
    for (int i = 1; i <= width; ++i)
        linear = (linear << 8) | frame.At(size_t(i));
    if (highHalf)
        linear |= 0x100;
    linear %= m_config.size;
    const size_t header = 1 + size_t(width);
    if (read) {
        ReadOut(frame, header, linear, m_config.size);
        return;
    }
    if (!TakeWrite())
        return;
    m_writeEnabled = frame.writeCount > header &&
                     !ProgramPage(linear, frame.out + header, frame.writeCount - header, m_config.pageSize, true);
    StartBusy(m_config.busyPolls);
}

// --- the array

bool CSpiChip::ProgramPage(uint64_t linear, const uint8_t *data, size_t count, uint32_t pageBytes, bool replace)
{
    const uint64_t base = linear / pageBytes * pageBytes;
    const uint32_t start = uint32_t(linear - base);
    std::fill(m_touched.begin(), m_touched.end(), 0);
    m_image->Read(base, m_page.data(), pageBytes);
    const bool worn = base / pageBytes == m_config.wornPage;
    bool erased = true;
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t at = uint32_t((start + i) % pageBytes);
        if (!m_touched[at])
            erased &= m_page[at] == 0xFF;
        m_touched[at] = 1;
        const uint8_t value = replace ? data[i] : uint8_t(m_page[at] & data[i]);
        changed |= value != m_page[at];
        m_page[at] = value;
    }
    if (!replace && !erased)
        ++m_stats.programsNotErased;
    ++m_stats.pagesProgrammed;
    m_stats.bytesProgrammed += count;
    // A worn page takes nothing and says nothing, as worn cells do: only a
    // read-back finds it.
    return !changed || worn || Store(base, m_page.data(), pageBytes);
}

bool CSpiChip::EraseRange(uint64_t offset, uint64_t count)
{
    ++m_stats.erases;
    if (m_image->Erase(offset, count))
        return true;
    WarnNotStored();
    return false;
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
