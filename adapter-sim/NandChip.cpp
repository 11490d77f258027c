#include "NandChip.h"
#include "NandTransfers.h"
#include "OnfiPage.h"
#include "SimLog.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

namespace {

constexpr size_t IdReplyBytes = 6;
constexpr size_t ParameterPageReplyBytes = 512;  // two copies of the page
constexpr uint8_t BadMarker = 0x00;

bool AllErased(const uint8_t *data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (data[i] != 0xFF)
            return false;
    return true;
}

} // namespace

CNandChip::CNandChip(const CNandConfig &config, std::unique_ptr<CImageFile> image, CStats &stats, uint32_t packetSize)
    : CChip(stats), m_config(config), m_geometry(CNandGeometry::From(config)), m_image(std::move(image)),
      m_disturb(config.bitflipsPerMib, config.weakBits, config.seed), m_packetSize(packetSize),
      m_factoryBad(config.badBlocks.begin(), config.badBlocks.end())
{
    // A new chip leaves the factory with its bad blocks marked.
    if (m_image->Created())
        for (uint64_t block : m_factoryBad)
            ClearMarker(block);
}

bool CNandChip::Command(const CPacket &packet, CCommandResult &result)
{
    switch (packet.Code()) {
    case cmd::SelectChip:
        m_ce = packet.At(nandpkt::ChipEnable);
        return true;
    case cmd::NandPins:
        return true;
    case cmd::ReadId:
        result.reply = IdReply();
        return true;
    case cmd::ReadParameterPage:
        result.reply = ParameterPageReply();
        return true;
    case cmd::Read:
        return Read(packet, result);
    case cmd::Program:
        return Program(packet, result);
    case cmd::Erase:
        result.reply = Erase(packet);
        return true;
    case cmd::MarkerRead:
        return MarkerRead(packet, result);
    case cmd::ProgramDone:
        result.reply = ProgramDoneReply();
        return true;
    default:
        return false;
    }
}

// Real chips repeat their ID bytes when read past their length.
std::unique_ptr<CReply> CNandChip::IdReply() const
{
    std::vector<uint8_t> id(IdReplyBytes, 0xFF);
    if (ChipEnablePresent(m_ce))
        for (size_t i = 0; i < id.size(); ++i)
            id[i] = m_config.id[i % m_config.id.size()];
    return std::make_unique<CBytesReply>(id);
}

std::unique_ptr<CReply> CNandChip::ParameterPageReply() const
{
    std::vector<uint8_t> reply;
    if (m_config.onfi && ChipEnablePresent(m_ce)) {
        const std::vector<uint8_t> page = BuildOnfiParameterPage(m_geometry, m_config);
        while (reply.size() < ParameterPageReplyBytes)
            reply.insert(reply.end(), page.begin(), page.end());
    }
    return std::make_unique<CBytesReply>(reply, ParameterPageReplyBytes);
}

// The chip takes as many column cycles as its page needs; the rest of the
// address cycles the host announced are the row.
std::optional<CNandChip::CAddress> CNandChip::DecodeAddress(const CPacket &packet) const
{
    const size_t cycles = packet.At(nandpkt::AddressCycles);
    const size_t columnBytes = size_t(m_geometry.columnBytes);
    if (cycles < columnBytes || nandpkt::Address + cycles > nandpkt::AddressEnd) {
        ++m_stats.malformedCommands;
        return std::nullopt;
    }
    CAddress address;
    address.column = uint32_t(packet.LE(nandpkt::Address, columnBytes));
    address.row = packet.LE(nandpkt::Address + columnBytes, cycles - columnBytes);
    return address;
}

// The address, page count and page size that read and program commands share.
// Nothing when the address does not decode or the page count is malformed.
std::optional<CNandSpan> CNandChip::DecodeTransfer(const CPacket &packet)
{
    const auto address = DecodeAddress(packet);
    const auto pages = packet.PageCount(nandpkt::PageCount);
    const uint32_t pageBytes = uint32_t(packet.LE(nandpkt::PageSize, 2));
    if (!address)
        return std::nullopt;
    if (!pages) {
        ++m_stats.malformedCommands;
        return std::nullopt;
    }
    return CNandSpan{m_ce, address->row, address->column, pageBytes, *pages};
}

bool CNandChip::Read(const CPacket &packet, CCommandResult &result)
{
    const auto span = DecodeTransfer(packet);
    if (!span)
        return true;
    const uint64_t bytes = uint64_t(span->pages) * span->pageBytes;
    if (bytes == 0)
        return true;
    const uint64_t padded = (bytes + m_packetSize - 1) / m_packetSize * m_packetSize;
    result.reply = std::make_unique<CNandReadReply>(*this, *span, padded);
    return true;
}

bool CNandChip::Program(const CPacket &packet, CCommandResult &result)
{
    const auto span = DecodeTransfer(packet);
    if (!span || span->pages == 0 || span->pageBytes == 0)
        return true;
    result.sink = std::make_unique<CNandProgramSink>(*this, *span);
    return true;
}

std::unique_ptr<CReply> CNandChip::Erase(const CPacket &packet)
{
    const size_t rowBytes = packet.At(nandpkt::EraseRowBytes);
    if (rowBytes == 0 || nandpkt::EraseRow + rowBytes > nandpkt::AddressEnd) {
        ++m_stats.malformedCommands;
        return std::make_unique<CBytesReply>(StatusReply(false));
    }
    const auto row = m_geometry.ResolveRow(packet.LE(nandpkt::EraseRow, rowBytes));
    bool ok = false;
    if (ChipEnablePresent(m_ce) && row)
        ok = EraseBlock(m_geometry.BlockOf(m_ce, *row));
    else
        ++m_stats.eraseFailures;
    return std::make_unique<CBytesReply>(StatusReply(ok));
}

bool CNandChip::EraseBlock(uint64_t block)
{
    ++m_stats.erases;
    bool fails = m_factoryBad.count(block) || m_grownBad.count(block);
    const auto worn = m_config.wornBlocks.find(block);
    if (!fails && worn != m_config.wornBlocks.end() && ++m_eraseCounts[block] >= worn->second) {
        m_grownBad.insert(block);
        fails = true;
    }
    if (fails) {
        ClearMarker(block);
        ++m_stats.eraseFailures;
        return false;
    }
    if (!m_image->Erase(m_geometry.BlockOffset(block), m_geometry.blockBytes)) {
        ++m_stats.eraseFailures;
        return false;
    }
    return true;
}

void CNandChip::ClearMarker(uint64_t block)
{
    if (m_geometry.spareSize == 0)
        return;
    const uint8_t marker = BadMarker;
    Store(m_geometry.MarkerOffset(block), &marker, 1);
}

bool CNandChip::MarkerRead(const CPacket &packet, CCommandResult &result)
{
    const auto address = DecodeAddress(packet);
    if (!address)
        return true;
    const uint64_t length = packet.LE(nandpkt::MarkerLength, 4);
    std::vector<uint8_t> spare;
    const auto row = m_geometry.ResolveRow(address->row);
    if (ChipEnablePresent(m_ce) && row) {
        const uint64_t block = m_geometry.BlockOf(m_ce, *row);
        spare.resize(m_geometry.spareSize);
        m_image->Read(m_geometry.MarkerOffset(block), spare.data(), spare.size());
    }
    result.reply = std::make_unique<CBytesReply>(spare, length);
    return true;
}

void CNandChip::ReadArray(uint64_t offset, uint8_t *dst, size_t count)
{
    m_image->Read(offset, dst, count);
    if (m_disturb.Active())
        m_stats.bitflips += m_disturb.Apply(dst, count, offset);
}

void CNandChip::ProgramPages(uint32_t ce, uint64_t row, uint32_t column, uint32_t pageBytes, const uint8_t *data,
                             uint32_t pages)
{
    if (!ChipEnablePresent(ce)) {
        NoteProgramFailure();
        return;
    }
    const uint32_t pageSize = m_geometry.pageSize;
    const bool wholePages = column == 0 && pageBytes == pageSize;
    for (uint32_t i = 0; i < pages;) {
        const auto resolved = m_geometry.ResolveRow(row + i);
        if (!resolved || column >= pageSize) {
            NoteProgramFailure();
            ++i;
            continue;
        }
        uint32_t run = 1;
        if (wholePages)
            while (i + run < pages && m_geometry.ResolveRow(row + i + run) == *resolved + run)
                ++run;
        const uint32_t length = std::min(pageBytes, pageSize - column);
        ProgramRun(ce, *resolved, run, column, length, data + size_t(i) * pageBytes, pageBytes);
        i += run;
    }
}

// Reads the run once, ANDs each page in, and writes back only the pages
// whose bits changed, so programming blank pages keeps the image sparse.
void CNandChip::ProgramRun(uint32_t ce, uint64_t row, uint32_t pages, uint32_t start, uint32_t length,
                           const uint8_t *data, uint32_t stride)
{
    const uint32_t pageSize = m_geometry.pageSize;
    const uint64_t offset = m_geometry.PageOffset(ce, row) + start;
    const size_t span = size_t(pages - 1) * pageSize + length;
    m_scratch.resize(span);
    m_image->Read(offset, m_scratch.data(), span);
    size_t dirtyFrom = 0;
    size_t dirtyTo = 0;
    const auto flush = [&] {
        if (dirtyTo > dirtyFrom && !Store(offset + dirtyFrom, m_scratch.data() + dirtyFrom, dirtyTo - dirtyFrom))
            NoteProgramFailure();
        dirtyFrom = dirtyTo = 0;
    };
    for (uint32_t p = 0; p < pages; ++p) {
        uint8_t *old = m_scratch.data() + size_t(p) * pageSize;
        const uint8_t *src = data + size_t(p) * stride;
        if (BlockBad(m_geometry.BlockOf(ce, row + p))) {
            NoteProgramFailure();
            flush();
            continue;
        }
        if (!AllErased(old, length))
            ++m_stats.programsNotErased;
        bool changed = false;
        for (uint32_t b = 0; b < length; ++b) {
            const uint8_t value = old[b] & src[b];
            changed |= value != old[b];
            old[b] = value;
        }
        ++m_stats.pagesProgrammed;
        m_stats.bytesProgrammed += length;
        const size_t pageStart = size_t(p) * pageSize;
        if (!changed) {
            flush();
        } else {
            if (dirtyTo == dirtyFrom)
                dirtyFrom = pageStart;
            dirtyTo = pageStart + length;
        }
    }
    flush();
}

bool CNandChip::Store(uint64_t offset, const uint8_t *data, size_t count)
{
    if (m_image->Write(offset, data, count))
        return true;
    if (!m_warnedReadOnly) {
        Warn("cannot write the chip image " + m_image->Path() + "; programs and erases of this chip fail");
        m_warnedReadOnly = true;
    }
    return false;
}

} // namespace xrsim
