// The operations that change the chip, erase and program, and the two
// bad-block scans: the target scan reads the marker of every erased block
// from the chip (0x37), the source scan reads the markers in the image,
// paced through the command queue by 'T' markers so the window stays live.

#include "NandProgrammer.h"

#include "FileMemoryNode.h"
#include "FrameServices.h"
#include "NandPackets.h"
#include "NandTexts.h"

#include <QString>

#include <algorithm>

namespace {

// A block is good when the first bytes of its marker area are all 0xFF.
bool MarkerIsErased(const uint8_t *marker, uint32_t count)
{
    return std::all_of(marker, marker + count, [](uint8_t byte) { return byte == 0xFF; });
}

constexpr uint32_t TargetMarkerBytes = 6; // bytes of a 0x37 reply that must be 0xFF
constexpr uint32_t SourceMarkerBytes = 4; // bytes of an image's spare area that must be 0xFF
constexpr uint32_t SourceMarkerRead = 6;
constexpr uint32_t SourceStepSize = 2;
constexpr int32_t ScanEnd = -1;

} // namespace

// --- erase

int CNandProgrammer::startErase(uint64_t address, uint64_t length)
{
    if (refuseUnservableGeometry())
        return Refused;
    if (m_blockBytes == 0 || length / m_blockBytes == 0) {
        LogString(Text(NandTextId::CheckMemoryRange));
        return Refused;
    }
    m_address = address;
    m_length = length;
    // A target image belongs to one chip; it goes with the chip's contents.
    m_targetBuffer->CloseFile();
    selectChip(0);
    queueReadId(Adapter::Tag::EraseOpId);
    return EraseCode;
}

void CNandProgrammer::runErase()
{
    const uint32_t blocks = uint32_t(m_length / m_blockBytes);
    uint64_t page = m_address / m_geometry.pageSize;
    m_eraseFirstPage = uint32_t(page);
    Frame()->StartProgress(m_eraseFirstPage, blocks);
    LogString(Text(NandTextId::EraseStarts));
    uint8_t chipEnable = m_geometry.ChipEnableOf(page);
    if (chipEnable != NoChipEnable)
        selectChip(chipEnable);
    for (uint32_t k = 1; k <= blocks; ++k) {
        selectChipOfPage(page, chipEnable);
        queueCommand(NandPacket::Erase(m_geometry, m_geometry.RowOf(page)), int32_t(m_eraseFirstPage + k),
                     Adapter::Tag::BlockErased, NandPacket::EraseReplyLength);
        page += m_geometry.pagesPerBlock;
    }
    endOperation();
}

bool CNandProgrammer::onBlockErased(const CProgMessage &message)
{
    // The window's bar runs from 0 to the number of blocks: the k-th reply
    // is step k, wherever the erase started.
    Frame()->EraseValue(uint32_t(message.address) - m_eraseFirstPage);
    return false;
}

// --- program

int CNandProgrammer::startProgram(uint64_t address, uint64_t length)
{
    if (refuseUnservableGeometry())
        return Refused;
    dropUnfinishedCopy();
    if (m_mainBuffer->GetSize() != uint64_t(m_blockCount) * m_blockBytes) {
        LogString(Text(NandTextId::SizeMismatch));
        return SizeMismatch;
    }
    const uint64_t end = m_mainBuffer->GetBaseAddress() + m_mainBuffer->GetSize();
    if (address > end || length > end - address) {
        LogString(Text(NandTextId::NotEnoughData));
        return Refused;
    }
    if (m_geometry.pageSize)
        length = length / m_geometry.pageSize * m_geometry.pageSize;
    if (length == 0) {
        LogString(Text(NandTextId::CheckMemoryRange));
        return Refused;
    }
    if (!tryLockBuffer()) {
        LogString(Text(NandTextId::Busy));
        return Refused;
    }
    unlockBuffer();
    m_address = address;
    m_length = length;
    selectChip(0);
    queueReadId(Adapter::Tag::ProgramOpId);
    return ProgramCode;
}

void CNandProgrammer::runProgram()
{
    const uint32_t unit = uint32_t(packetSize());
    if (unit == 0 || m_geometry.pageSize == 0)
        return;
    // One chunk is one page per transfer unit.
    m_maxTransfer = unit * m_geometry.pageSize;
    LogString(Text(NandTextId::ProgramStarts));
    Frame()->StartProgress(uint32_t(m_address / unit), uint32_t(m_length / unit));

    uint64_t page = m_address / m_geometry.pageSize;
    uint8_t chipEnable = m_geometry.ChipEnableOf(page);
    if (chipEnable != NoChipEnable)
        selectChip(chipEnable);
    uint32_t currentUnit = uint32_t(m_address / unit);
    uint64_t remaining = m_length;
    while (remaining > 0) {
        selectChipOfPage(page, chipEnable);
        // A chunk ends where its chip enable ends: the pages after it belong
        // to the next die, which needs its own chip select.
        const uint64_t chipRoom = m_geometry.PagesLeftInChip(page) * m_geometry.pageSize;
        const uint64_t bytes = std::min({remaining, uint64_t(m_maxTransfer), chipRoom});
        const uint32_t units = uint32_t((bytes + unit - 1) / unit);
        const uint32_t pages = uint32_t((bytes + m_geometry.pageSize - 1) / m_geometry.pageSize);
        // The job goes first: the worker takes it when it sends the command.
        queueDataJob(int32_t(currentUnit), units * unit);
        queueCommand(NandPacket::Program(m_geometry, m_geometry.RowOf(page), pages), -1, 0, 0);
        currentUnit += units;
        page += pages;
        remaining -= bytes;
    }
    queueCommand(NandPacket::ProgramFinished(), int32_t(currentUnit), Adapter::Tag::ProgramDone,
                 NandPacket::ProgramDoneReplyLength);
    endOperation();
}

// --- target bad-block table

void CNandProgrammer::buildTargetBbt()
{
    m_targetBuffer->CloseFile();
    if (m_blockBytes == 0)
        return;
    const uint32_t blocks = uint32_t(m_length / m_blockBytes);
    const uint32_t first = uint32_t(m_address / m_blockBytes);
    m_scanFirstBlock = first;
    Frame()->StartProgress(0, blocks);
    const uint32_t unit = uint32_t(packetSize());
    selectChip(0);
    uint8_t chipEnable = 0;
    for (uint32_t block = first; block < first + blocks; ++block) {
        const uint64_t page = uint64_t(block) * m_geometry.pagesPerBlock;
        selectChipOfPage(page, chipEnable);
        queueCommand(NandPacket::MarkerRead(m_geometry, m_geometry.RowOf(page), unit), int32_t(block + 1),
                     Adapter::Tag::BadBlockMarker, unit);
    }
    endOperation();
}

bool CNandProgrammer::onTargetMarker(const CProgMessage &message)
{
    if (!message.data || message.address < 1)
        return false;
    const uint32_t blockNumber = uint32_t(message.address); // block + 1
    const bool good = message.size >= TargetMarkerBytes && MarkerIsErased(message.data.get(), TargetMarkerBytes);
    m_targetBbt->setState(blockNumber - 1, good ? CBadBlockTable::Good : CBadBlockTable::Bad);
    if (!good)
        LogString(Text(NandTextId::TargetBadBlock) + QString::number(blockNumber));
    // Steps 1 .. blocks of the window's bar, wherever the scan started.
    Frame()->BbtProgress(blockNumber - m_scanFirstBlock);
    return false;
}

// --- source bad-block table

bool CNandProgrammer::buildSourceBbt()
{
    // The scan is paced through the command queue, which only moves while
    // the adapter is connected.
    if (!isConnected())
        return false;
    const uint64_t size = m_mainBuffer->GetSize();
    if (size != uint64_t(m_blockCount) * m_blockBytes) {
        LogString(Text(NandTextId::SourceBbtTitle) + QStringLiteral(", ") + Text(NandTextId::SizeMismatch));
        return false;
    }
    const std::optional<uint32_t> markerOffset = MarkerOffsetFor(m_geometry.pageSize);
    if (!markerOffset) {
        LogString(Text(NandTextId::UnsupportedPage));
        return false;
    }
    m_markerOffset = *markerOffset;
    Frame()->SetProgressRange(0, m_blockCount);
    for (uint64_t block = 0; m_markerOffset + block * m_blockBytes < size; ++block)
        queueMarker(Adapter::Tag::SourceScanStep, int32_t(block), SourceStepSize);
    queueMarker(Adapter::Tag::SourceScanStep, ScanEnd, SourceStepSize);
    return true;
}

bool CNandProgrammer::onSourceMarker(const CProgMessage &message)
{
    if (message.address == ScanEnd) {
        Frame()->SetProgressValue(0);
        Frame()->RefreshBadBlockView(1);
        Frame()->RefreshBadBlockView(2);
        return false;
    }
    const uint32_t block = uint32_t(message.address);
    Frame()->SetProgressValue(block);
    uint8_t marker[SourceMarkerRead];
    const uint64_t got = m_mainBuffer->Read(uint64_t(block) * m_blockBytes + m_markerOffset, marker, sizeof marker);
    // An image replaced since the scan was queued may be shorter: its
    // blocks stay unknown.
    if (got < SourceMarkerBytes)
        return false;
    const bool good = MarkerIsErased(marker, SourceMarkerBytes);
    m_sourceBbt->setState(m_startBlock + block, good ? CBadBlockTable::Good : CBadBlockTable::Bad);
    if (!good)
        LogString(Text(NandTextId::SourceBadBlock) + QString::number(block + 1));
    return false;
}
