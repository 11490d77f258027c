// Smart copy: the image in the main buffer is laid out, block by block, for
// the bad blocks of the chip in the socket, into the target buffer, which
// the program operation then streams. The blocks are appended by 'R'
// markers on the GUI thread, so the window stays live while a large image
// is copied.

#include "NandProgrammer.h"

#include "FileMemoryNode.h"
#include "FrameServices.h"
#include "NandOptionsPanel.h"
#include "NandTexts.h"
#include "SmartCopyLayout.h"

#include <QByteArray>

#include <algorithm>

namespace {

constexpr uint32_t StepMarkerSize = 2;
// The marker that lays the image out once a source scan queued before it has
// been handled.
constexpr int32_t LayoutAfterScan = -3;

} // namespace

void CNandProgrammer::newChip()
{
    // The next chip has its own bad blocks: nothing of this one's layout may
    // be programmed onto it.
    m_targetBbt->reset();
    m_targetBuffer->CloseFile();
}

int CNandProgrammer::smartCopy()
{
    dropUnfinishedCopy();
    m_copyQueueClears = queueClears();
    uint64_t address = 0;
    uint64_t length = 0;
    normalizeRange(address, length);
    if (m_blockBytes == 0 || m_mainBuffer->GetSize() != length) {
        LogString(Text(NandTextId::LoadProperSource));
        return Refused;
    }
    if (m_targetBbt->state(m_startBlock) == CBadBlockTable::Unknown) {
        LogString(Text(NandTextId::EraseChipFirst));
        return Refused;
    }
    if (m_sourceBbt->state(m_startBlock) == CBadBlockTable::Unknown) {
        // A layout from a half-built table would place source bad blocks as
        // good ones: the layout waits for the end of the scan, whose markers
        // are ahead of this one in the queue.
        if (!buildSourceBbt())
            return Refused;
        queueMarker(Adapter::Tag::SmartCopyStep, LayoutAfterScan, StepMarkerSize);
        return ProgramCode;
    }
    return buildTargetImage() ? ProgramCode : Refused;
}

bool CNandProgrammer::buildTargetImage()
{
    if (m_blockBytes == 0 || m_blockCount == 0)
        return false;
    if (!m_targetBuffer->CreateTempFile())
        return false;
    LogString(Text(NandTextId::CreateTempFile));
    m_copyQueueClears = queueClears();

    CFileMemoryNode *source = m_mainBuffer;
    const uint64_t blockBytes = m_blockBytes;
    SmartCopy::CLayoutInput input;
    input.startBlock = m_startBlock;
    input.blockCount = m_blockCount;
    input.sourceBlocks = uint32_t(source->GetSize() / blockBytes);
    input.copySourceBadBlocks = optionsPanelWidget() && optionsPanelWidget()->copySourceBadBlocks();
    input.sourceState = [this](uint32_t block) { return m_sourceBbt->state(block); };
    input.targetState = [this](uint32_t block) { return m_targetBbt->state(block); };
    input.sourceBlockBlank = [source, blockBytes](uint32_t index) {
        QByteArray block(qsizetype(blockBytes), '\0');
        const uint64_t got = source->Read(uint64_t(index) * blockBytes, reinterpret_cast<uint8_t *>(block.data()),
                                          blockBytes);
        return got == blockBytes && std::all_of(block.cbegin(), block.cend(), [](char byte) {
                   return uint8_t(byte) == 0xFF;
               });
    };
    const SmartCopy::CLayout layout = SmartCopy::LayOut(input);
    if (layout.overflow)
        LogString(Text(NandTextId::Error));

    m_copyStep = 0;
    m_copySteps = m_blockCount;
    Frame()->SetProgressRange(0, m_blockCount);
    for (int32_t step : layout.steps)
        queueMarker(Adapter::Tag::SmartCopyStep, step, StepMarkerSize);
    return true;
}

bool CNandProgrammer::onSmartCopyStep(const CProgMessage &message)
{
    if (message.address == LayoutAfterScan) {
        // Stopped while the source scan ran: no copy was wanted any more.
        if (copyCutShort())
            return false;
        // The scan may have been cut short (a shorter image loaded since):
        // without a source entry the layout cannot be trusted.
        // A copy that cannot go on ends failed: a script waits for it.
        if (m_sourceBbt->state(m_startBlock) == CBadBlockTable::Unknown)
            Frame()->FailOperation(ProgramCode, Text(NandTextId::LoadProperSource));
        else if (!buildTargetImage())
            Frame()->FailOperation(ProgramCode, Text(NandTextId::FileError));
        return false;
    }
    dropUnfinishedCopy();
    if (m_copySteps == 0 || m_copyStep >= m_copySteps)
        return false;
    Frame()->SetProgressValue(m_copyStep);
    ++m_copyStep;
    QByteArray block(qsizetype(m_blockBytes), '\0');
    if (message.address == SmartCopy::PadBlock) {
        block.fill(char(0xFF));
    } else if (message.address >= 0) {
        m_mainBuffer->Read(uint64_t(message.address) * m_blockBytes, reinterpret_cast<uint8_t *>(block.data()),
                           m_blockBytes);
    }
    if (!m_targetBuffer->Append(reinterpret_cast<const uint8_t *>(block.constData()), m_blockBytes)) {
        // A target image with a hole must never reach the chip.
        m_copySteps = 0;
        m_targetBuffer->CloseFile();
        Frame()->SetProgressValue(0);
        Frame()->FailOperation(ProgramCode, Text(NandTextId::FileError));
        return false;
    }
    if (m_copyStep == m_copySteps)
        finishTargetImage();
    return false;
}

void CNandProgrammer::finishTargetImage()
{
    m_copySteps = 0;
    Frame()->BufferChanged(m_targetBuffer);
    Frame()->SetProgressValue(0);
    uint64_t address = 0;
    uint64_t length = 0;
    normalizeRange(address, length);
    // The program logs why it refuses; the copy then ends failed.
    if (startProgram(address, length) != ProgramCode)
        Frame()->FailOperation(ProgramCode, Text(NandTextId::Error));
}

bool CNandProgrammer::copyCutShort() const
{
    return queueClears() != m_copyQueueClears;
}

void CNandProgrammer::dropUnfinishedCopy()
{
    // Steps already on their way when the queue was emptied still arrive;
    // the image they would complete was stopped all the same, and the ones
    // dropped never come, so the copy can neither finish nor be programmed.
    if (m_copySteps == 0 || !copyCutShort())
        return;
    m_copySteps = 0;
    m_targetBuffer->CloseFile();
    Frame()->BufferChanged(m_targetBuffer);
}
