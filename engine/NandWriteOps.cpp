// The operations that change the chip, erase and program, and the two
// bad-block scans: the target scan reads the marker of every erased block
// from the chip (0x37), the source scan reads the markers in the image,
// paced through the command queue by 'T' markers so the window stays live.

#include "NandProgrammer.h"

#include "FileMemoryNode.h"
#include "FrameServices.h"
#include "NandPackets.h"
#include "NandTexts.h"
#include "OutcomeTexts.h"

#include <QString>

#include <algorithm>

namespace {

constexpr uint32_t TargetMarkerBytes = 6; // bytes of a 0x37 reply that must be 0xFF
constexpr uint32_t SourceMarkerBytes = ImageMarkerBytes;
constexpr uint32_t SourceMarkerRead = 6;
constexpr uint32_t SourceStepSize = 2;
constexpr int32_t ScanEnd = -1;
// Blocks of an image looked at per step of its scan. One step per block
// made 8,192 window events for a 1 GiB image, handled in one burst that
// held up the window; a step of this size costs the window about a
// millisecond.
constexpr uint32_t SourceScanSlice = 256;

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
    const CCommandBatch batch(*this);
    const uint32_t blocks = uint32_t(m_length / m_blockBytes);
    uint64_t page = m_address / m_geometry.pageSize;
    m_eraseFirstPage = uint32_t(page);
    m_eraseFailedBlocks.clear();
    m_grownBadBlock = -1;
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
    if (!Frame()->IsOperationRunning())
        return false;
    const uint32_t step = uint32_t(message.address) - m_eraseFirstPage; // k of the k-th erase command
    const uint32_t block = m_eraseFirstPage / std::max<uint32_t>(m_geometry.pagesPerBlock, 1) + step - 1;
    const uint64_t blockAddress = uint64_t(block) * m_blockBytes;
    if (message.lost || !message.data || message.size < 1) {
        // Whether the block erased cannot be known.
        Frame()->FailOperation(EraseCode, TextAtAddress(OutcomeText::EraseStatusLost, blockAddress), true, blockAddress);
        return false;
    }
    if (message.data[0] != 0) {
        // The chip refused: the block is bad from now on. A block the table
        // knew as good has gone bad, and the erase cannot count as done; a
        // block never seen before is a factory bad block, which every erase
        // meets and the scan after it reports.
        LogString(TextAtAddress(OutcomeText::EraseFailed, blockAddress));
        if (m_targetBbt->state(block) == CBadBlockTable::Good && m_grownBadBlock < 0)
            m_grownBadBlock = block;
        m_targetBbt->setState(block, CBadBlockTable::Bad);
        m_eraseFailedBlocks.push_back(block);
    }
    // The window's bar runs from 0 to the number of blocks: the k-th reply
    // is step k, wherever the erase started.
    Frame()->EraseValue(step);
    return false;
}

bool CNandProgrammer::onChunkProgrammed(const CProgMessage &message)
{
    // Not gated on the window's progress: that ends with the last data job
    // streamed, before the status of the last command comes back.
    const uint64_t address = uint64_t(uint32_t(message.address)) * m_geometry.pageSize;
    if (message.lost || !message.data || message.size < 1) {
        Frame()->FailOperation(ProgramCode, TextAtAddress(OutcomeText::ProgramStatusLost, address), true, address);
        return false;
    }
    if (message.data[0] != 0) {
        // Some page of this program command did not take its data.
        Frame()->FailOperation(ProgramCode, TextAtAddress(OutcomeText::ProgramFailed, address), true, address);
    }
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
    const CCommandBatch batch(*this);
    const uint32_t unit = uint32_t(packetSize());
    if (unit == 0 || m_geometry.pageSize == 0)
        return;
    // A block the chip has as bad takes no data; when the image holds data
    // for it, programming would leave that data off the chip.
    const int64_t lostBlock = goodDataOnBadTargetBlock();
    if (lostBlock >= 0) {
        Frame()->FailOperation(ProgramCode, Text(OutcomeText::BadTargetBlockSkipped) + QString::number(lostBlock + 1),
                               true, uint64_t(lostBlock) * m_blockBytes);
        return;
    }
    // One chunk is one page per transfer unit.
    m_maxTransfer = unit * m_geometry.pageSize;
    LogString(Text(NandTextId::ProgramStarts));
    Frame()->StartProgress(uint32_t(m_address / unit), uint32_t(m_length / unit));

    uint64_t page = m_address / m_geometry.pageSize;
    uint8_t chipEnable = m_geometry.ChipEnableOf(page);
    if (chipEnable != NoChipEnable)
        selectChip(chipEnable);
    // The data of each command is streamed from its own byte offset: a bad
    // target block is stepped over whole even where a block is no whole
    // number of transfer units (small pages: 16 x 528 bytes).
    uint64_t offset = m_address;
    uint64_t remaining = m_length;
    while (remaining > 0) {
        const uint64_t block = page / m_geometry.pagesPerBlock;
        if (m_targetBbt->isBad(uint32_t(block)) && remaining >= m_blockBytes) {
            page += m_geometry.pagesPerBlock;
            offset += m_blockBytes;
            remaining -= m_blockBytes;
            continue;
        }
        selectChipOfPage(page, chipEnable);
        // A chunk ends where its chip enable ends: the pages after it belong
        // to the next die, which needs its own chip select.
        const uint64_t chipRoom = m_geometry.PagesLeftInChip(page) * m_geometry.pageSize;
        const uint64_t bytes =
            bytesBeforeBadTargetBlock(page, std::min({remaining, uint64_t(m_maxTransfer), chipRoom}));
        const uint32_t units = uint32_t((bytes + unit - 1) / unit);
        const uint32_t pages = uint32_t((bytes + m_geometry.pageSize - 1) / m_geometry.pageSize);
        // The job goes first: the worker takes it when it sends the command.
        queueDataJob(int32_t(offset / unit), units * unit, offset);
        queueCommand(NandPacket::Program(m_geometry, m_geometry.RowOf(page), pages), -1, 0, 0);
        // The status of each command, so a failure names the page where the
        // command started.
        queueCommand(NandPacket::ProgramFinished(), int32_t(page), Adapter::Tag::ChunkProgrammed,
                     NandPacket::ProgramDoneReplyLength);
        page += pages;
        offset += bytes;
        remaining -= bytes;
    }
    const uint32_t currentUnit = uint32_t((offset + unit - 1) / unit);
    queueCommand(NandPacket::ProgramFinished(), int32_t(currentUnit), Adapter::Tag::ProgramDone,
                 NandPacket::ProgramDoneReplyLength);
    endOperation();
}

uint64_t CNandProgrammer::bytesBeforeBadTargetBlock(uint64_t page, uint64_t limit) const
{
    const uint64_t start = page * m_geometry.pageSize;
    uint64_t block = page / m_geometry.pagesPerBlock + 1;
    for (uint64_t end = block * m_blockBytes; end < start + limit; end += m_blockBytes, ++block) {
        if (m_targetBbt->isBad(uint32_t(block)))
            return end - start;
    }
    return limit;
}

int64_t CNandProgrammer::goodDataOnBadTargetBlock() const
{
    // A target image is laid out around the chip's bad blocks already.
    if (programSource() != m_mainBuffer || m_blockBytes == 0)
        return -1;
    const uint64_t first = m_address / m_blockBytes;
    const uint64_t end = (m_address + m_length + m_blockBytes - 1) / m_blockBytes;
    for (uint64_t block = first; block < end; ++block) {
        if (m_targetBbt->isBad(uint32_t(block)) && m_sourceBbt->state(uint32_t(block)) == CBadBlockTable::Good)
            return int64_t(block);
    }
    return -1;
}

// --- target bad-block table

void CNandProgrammer::buildTargetBbt()
{
    const CCommandBatch batch(*this);
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
    if (message.address < 1)
        return false;
    const uint32_t blockNumber = uint32_t(message.address); // block + 1
    if (message.lost || !message.data) {
        // A block whose marker was never read would stay unknown while the
        // table looked complete.
        const uint64_t address = uint64_t(blockNumber - 1) * m_blockBytes;
        Frame()->FailOperation(Adapter::Tag::BadBlockMarker, TextAtAddress(OutcomeText::NoReply, address), true, address);
        return false;
    }
    // A block that refused its erase stays bad whatever its marker says.
    const bool eraseFailed = std::find(m_eraseFailedBlocks.begin(), m_eraseFailedBlocks.end(), blockNumber - 1)
                             != m_eraseFailedBlocks.end();
    const bool good = !eraseFailed && message.size >= TargetMarkerBytes
                      && MarkerIsErased(message.data.get(), TargetMarkerBytes);
    m_targetBbt->setState(blockNumber - 1, good ? CBadBlockTable::Good : CBadBlockTable::Bad);
    if (!good)
        LogString(Text(NandTextId::TargetBadBlock) + QString::number(blockNumber));
    const uint32_t scanned = blockNumber - m_scanFirstBlock;
    if (m_grownBadBlock >= 0 && scanned >= uint32_t(m_length / std::max<uint64_t>(m_blockBytes, 1))) {
        // The table is complete; the erase still failed where a good block went bad.
        const uint64_t address = uint64_t(m_grownBadBlock) * m_blockBytes;
        m_grownBadBlock = -1;
        Frame()->RefreshBadBlockView(2);
        Frame()->FailOperation(EraseCode, TextAtAddress(OutcomeText::EraseFailed, address), true, address);
        return false;
    }
    // Steps 1 .. blocks of the window's bar, wherever the scan started.
    Frame()->BbtProgress(blockNumber - m_scanFirstBlock);
    return false;
}

// --- source bad-block table

bool CNandProgrammer::buildSourceBbt()
{
    const CCommandBatch batch(*this);
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
    if (takeMarkersOfRead())
        return true;
    Frame()->SetProgressRange(0, m_blockCount);
    for (uint64_t block = 0; m_markerOffset + block * m_blockBytes < size; block += SourceScanSlice)
        queueMarker(Adapter::Tag::SourceScanStep, int32_t(block), SourceStepSize);
    queueMarker(Adapter::Tag::SourceScanStep, ScanEnd, SourceStepSize);
    return true;
}

// A whole read into the image saw every block's marker on its way in: the
// table is filled from those, as the scan would have found them in the file.
bool CNandProgrammer::takeMarkersOfRead()
{
    const bool covered =
        m_readMarkers.Covers(uint64_t(m_startBlock) * m_blockBytes, m_blockCount, m_mainBuffer->GetFilePath());
    if (covered) {
        for (uint32_t block = 0; block < m_blockCount; ++block)
            noteSourceBlock(block, m_readMarkers.IsGood(block));
        finishSourceScan();
    }
    m_readMarkers.Clear();
    return covered;
}

void CNandProgrammer::finishSourceScan()
{
    Frame()->SetProgressValue(0);
    Frame()->RefreshBadBlockView(1);
    Frame()->RefreshBadBlockView(2);
}

bool CNandProgrammer::onSourceMarker(const CProgMessage &message)
{
    if (message.address == ScanEnd) {
        finishSourceScan();
        return false;
    }
    const uint32_t first = uint32_t(message.address);
    Frame()->SetProgressValue(first);
    for (uint32_t block = first; block - first < SourceScanSlice && block < m_blockCount; ++block) {
        uint8_t marker[SourceMarkerRead];
        const uint64_t got =
            m_mainBuffer->Read(uint64_t(block) * m_blockBytes + m_markerOffset, marker, sizeof marker);
        // The image ends here, or was replaced since the scan was queued by
        // a shorter one: the blocks beyond stay unknown.
        if (got < SourceMarkerBytes)
            break;
        noteSourceBlock(block, MarkerIsErased(marker, SourceMarkerBytes));
    }
    return false;
}

void CNandProgrammer::noteSourceBlock(uint32_t block, bool good)
{
    m_sourceBbt->setState(m_startBlock + block, good ? CBadBlockTable::Good : CBadBlockTable::Bad);
    if (!good)
        LogString(Text(NandTextId::SourceBadBlock) + QString::number(block + 1));
}
