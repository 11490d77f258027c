// The three read-type operations, which share one command: read ('A') into
// a new image file, verify ('B') against the image, blank check ('K'). Each
// read command asks for one block; its reply comes back as one message
// (m_maxTransfer is a block rounded up to whole transfer units).

#include "NandProgrammer.h"

#include "DeviceItemNand.h"
#include "FileMemoryNode.h"
#include "FrameServices.h"
#include "NandPackets.h"
#include "NandTexts.h"
#include "OutcomeTexts.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {

// First byte at or after from that is not 0xFF; length when there is none.
uint32_t FirstProgrammedByte(const uint8_t *data, uint32_t from, uint32_t length)
{
    uint32_t i = from;
    // Erased flash is the common case: step over it a word at a time.
    for (; i + sizeof(uint64_t) <= length; i += sizeof(uint64_t)) {
        uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        if (word != ~uint64_t(0))
            break;
    }
    for (; i < length; ++i) {
        if (data[i] != 0xFF)
            return i;
    }
    return length;
}

} // namespace

int CNandProgrammer::startReadOp(uint64_t address, uint64_t length, int opCode)
{
    if (refuseUnservableGeometry())
        return Refused;
    dropUnfinishedCopy();
    setBufferWindows();
    // Whole pages only: a command reads pages.
    if (m_geometry.pageSize)
        length = length / m_geometry.pageSize * m_geometry.pageSize;
    if (length == 0) {
        LogString(Text(NandTextId::CheckMemoryRange));
        return Refused;
    }
    if (opCode == Adapter::Tag::VerifyData) {
        const uint64_t end = m_mainBuffer->GetBaseAddress() + m_mainBuffer->GetSize();
        if (address > end || length > end - address) {
            LogString(Text(NandTextId::NotEnoughData));
            return Refused;
        }
    }
    m_opCode = opCode;
    m_address = address;
    m_length = length;
    selectChip(0);
    queueReadId(Adapter::Tag::ReadOpId);
    return opCode;
}

void CNandProgrammer::runReadOp()
{
    const CCommandBatch batch(*this);
    if (m_opCode == Adapter::Tag::ReadData && !m_mainBuffer->CreateImageFile()) {
        // Without an image file nothing is read: the read ends failed, so a
        // script that waits for it does not wait for ever.
        Frame()->FailOperation(uint8_t(m_opCode), Text(NandTextId::FileError));
        return;
    }
    const uint32_t unit = uint32_t(packetSize());
    if (unit == 0 || m_blockBytes == 0)
        return;
    m_readLayout = CNandReplyLayout::Make(m_address, m_length, m_blockBytes, unit);
    m_appendFailed = false;
    beginMarkerTally();
    m_readNext = m_address;
    m_verifiedBytes = 0;
    // One message per block, whole units (a block when it is a whole number of
    // units, as on every common chip).
    m_maxTransfer = m_readLayout.unitsPerCommand * unit;
    Frame()->StartProgress(m_readLayout.firstUnit, m_readLayout.TotalUnits());

    uint64_t page = m_address / m_geometry.pageSize;
    uint8_t chipEnable = m_geometry.ChipEnableOf(page);
    if (chipEnable != NoChipEnable)
        selectChip(chipEnable);
    const uint64_t commands = m_readLayout.CommandCount();
    for (uint64_t command = 0; command < commands; ++command) {
        selectChipOfPage(page, chipEnable);
        const uint32_t pages = uint32_t(m_readLayout.CommandLength(command) / m_geometry.pageSize);
        queueCommand(NandPacket::Read(m_geometry, m_geometry.RowOf(page), pages), int32_t(m_readLayout.CommandUnit(command)),
                     uint8_t(m_opCode), m_readLayout.ReplyLength(command));
        page += pages;
    }
    endOperation();
}

void CNandProgrammer::beginMarkerTally()
{
    const std::optional<uint32_t> markerOffset = MarkerOffsetFor(m_geometry.pageSize);
    if (m_opCode != Adapter::Tag::ReadData || !markerOffset || m_blockBytes == 0) {
        m_readMarkers.Clear();
        return;
    }
    CImageMarkerTally::CLayout layout;
    layout.firstAddress = m_address;
    layout.blockBytes = m_blockBytes;
    layout.blockCount = uint32_t(m_length / m_blockBytes);
    layout.markerOffset = *markerOffset;
    layout.markerBytes = ImageMarkerBytes;
    m_readMarkers.Begin(layout, m_mainBuffer->GetFilePath());
}

bool CNandProgrammer::endsReadRange(const CNandReplyLayout::CPlace &place) const
{
    return place.chipAddress + place.bytes >= m_address + m_length;
}

bool CNandProgrammer::failsReadAccounting(const CProgMessage &message, const CNandReplyLayout::CPlace &place)
{
    if (!Frame()->IsOperationRunning())
        return true; // ended already (failed or stopped): nothing more to account for
    if (message.lost || !message.data) {
        Frame()->FailOperation(uint8_t(m_opCode), TextAtAddress(OutcomeText::NoReply, place.chipAddress), true,
                               place.chipAddress);
        return true;
    }
    // The pieces of one operation come in order: a piece that does not
    // start where the last one ended would put data at another address.
    if (place.chipAddress != m_readNext) {
        Frame()->FailOperation(uint8_t(m_opCode), TextAtAddress(OutcomeText::OutOfPlace, m_readNext), true, m_readNext);
        return true;
    }
    m_readNext += place.bytes;
    return false;
}

bool CNandProgrammer::onReadData(const CProgMessage &message)
{
    const uint32_t unit = uint32_t(packetSize());
    const CNandReplyLayout::CPlace place = m_readLayout.Locate(message.address, message.size);
    if (failsReadAccounting(message, place))
        return false;
    // Only chip bytes go into the image: a reply padded to whole units
    // would shift every later block.
    if (place.bytes && message.data && !m_appendFailed && !m_mainBuffer->Append(message.data.get(), place.bytes)) {
        failReadIntoFile(place.chipAddress);
        return false;
    }
    if (m_appendFailed)
        return false;
    m_readMarkers.Take(place.chipAddress, message.data.get(), place.bytes);
    Frame()->BlockReadProgress(uint32_t(message.address), unit ? message.size / unit : 0, m_mainBuffer);
    return false;
}

// The image file took only part of the chip (a full disk, a file size
// limit): the read ends as failed, nothing more is read, and the short file
// is set aside under a name that says it is partial.
void CNandProgrammer::failReadIntoFile(uint64_t chipAddress)
{
    // Later pieces of this read are dropped unseen (all on this thread).
    m_appendFailed = true;
    const QString path = m_mainBuffer->GetFilePath();
    const QString partial = m_mainBuffer->SetAsidePartial();
    const QString address = QString::number(chipAddress, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    const QString reason = partial.isEmpty() ? Text(NandTextId::ReadFileRemoved).arg(address, path)
                                             : Text(NandTextId::ReadNotWritten).arg(address, path, partial);
    Frame()->FailOperation(uint8_t(m_opCode), reason, true, chipAddress);
}

bool CNandProgrammer::onVerifyData(const CProgMessage &message)
{
    const uint32_t unit = uint32_t(packetSize());
    if (unit == 0)
        return false;
    const bool againstTarget = m_targetBuffer->GetSize() > 0;
    CFileMemoryNode *image = againstTarget ? m_targetBuffer : m_mainBuffer;
    const CBadBlockTable &badBlocks = againstTarget ? *m_targetBbt : *m_sourceBbt;
    // The padding that ends each reply of a block that is no whole number
    // of units is no chip data: the layout says where the piece's bytes lie.
    const CNandReplyLayout::CPlace place = m_readLayout.Locate(message.address, message.size);
    if (failsReadAccounting(message, place))
        return false;
    // Bytes of blocks taken as bad are skipped by the compare: a verify
    // that skipped every byte has compared nothing and cannot pass.
    for (uint64_t at = place.chipAddress; at < place.chipAddress + place.bytes;) {
        const uint32_t block = m_geometry.BlockOf(at);
        const uint64_t blockEnd = std::min<uint64_t>((uint64_t(block) + 1) * m_blockBytes, place.chipAddress + place.bytes);
        if (!badBlocks.isBad(block))
            m_verifiedBytes += blockEnd - at;
        at = blockEnd;
    }
    if (endsReadRange(place) && m_verifiedBytes == 0) {
        Frame()->FailOperation(uint8_t(m_opCode), Text(OutcomeText::NothingCompared));
        return false;
    }
    Frame()->VerifyProgressAt(uint32_t(message.address), message.size / unit, place.chipAddress, place.bytes,
                              message.data.get(), image, badBlocks.states(), m_device);
    return false;
}

bool CNandProgrammer::onBlankData(const CProgMessage &message)
{
    const uint32_t unit = uint32_t(packetSize());
    if (!Frame()->IsOperationRunning() || unit == 0)
        return false;
    const CNandReplyLayout::CPlace place = m_readLayout.Locate(message.address, message.size);
    if (failsReadAccounting(message, place))
        return false;
    const uint8_t *data = message.data.get();
    bool blank = true;
    for (uint32_t i = FirstProgrammedByte(data, 0, place.bytes); i < place.bytes;
         i = FirstProgrammedByte(data, i, place.bytes)) {
        const uint64_t offset = place.chipAddress + i;
        const uint32_t block = m_geometry.BlockOf(offset);
        if (!m_targetBbt->isBad(block)) {
            LogString(Text(NandTextId::NotBlank) + QString::asprintf(" %llX", static_cast<unsigned long long>(offset))
                      + QString::asprintf(" ,target %02X", data[i]));
            blank = false;
            break;
        }
        // A bad block holds its marker and whatever else: never reported.
        i = uint32_t((uint64_t(block) + 1) * m_blockBytes - place.chipAddress);
    }
    Frame()->BlankProgress(uint32_t(message.address), message.size / unit, blank);
    return false;
}
