// Detection of the chip in the socket, and the ID check that opens every
// array operation.
//
// Detection reads the ID behind chip enable 0, then behind chip enable 1: a
// second die that answers with the same ID makes a two-chip-enable part. The
// ID is then matched against the current entry, the last unknown ID (an entry
// defined from it is kept) and the device database; a chip nobody knows is
// asked for its parameter page.

#include "NandProgrammer.h"

#include "DetectionTexts.h"
#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "FrameServices.h"
#include "NandPackets.h"
#include "NandTexts.h"
#include "OutcomeTexts.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <span>

namespace {

CNandProgrammer::ChipId IdOf(const CProgMessage &message)
{
    CNandProgrammer::ChipId id{};
    std::memcpy(id.data(), message.data.get(), id.size());
    return id;
}

bool AllErased(const CNandProgrammer::ChipId &id)
{
    return std::all_of(id.begin(), id.end(), [](uint8_t byte) { return byte == 0xFF; });
}

QString IdListText(const CNandProgrammer::ChipId &id)
{
    QStringList bytes;
    for (uint8_t byte : id)
        bytes << QString::number(byte, 16);
    return bytes.join(QLatin1Char(','));
}

std::span<const uint8_t> Bytes(const CNandProgrammer::ChipId &id)
{
    return {id.data(), id.size()};
}

} // namespace

int CNandProgrammer::detect()
{
    m_idKnown = false;
    m_probingSecondCe = false;
    selectChip(0);
    s_chipEnables = 1;
    queueReadId(Adapter::Tag::DetectId);
    return DetectCode;
}

void CNandProgrammer::probeChip()
{
    selectChip(0);
    queueReadId(Adapter::Tag::ChipProbe);
}

bool CNandProgrammer::onDetectId(const CProgMessage &message)
{
    if (m_idKnown || !message.data || message.size < IdBytes)
        return false;
    ChipId id = IdOf(message);
    if (!m_probingSecondCe) {
        m_firstId = id;
        s_chipEnables = 1;
        if (!AllErased(id)) {
            // Same ID behind chip enable 1 means a second die.
            m_probingSecondCe = true;
            selectChip(1);
            selectChip(1);
            queueReadId(Adapter::Tag::DetectId);
            return false;
        }
        m_idKnown = true;
        return identify(id);
    }
    if (id == m_firstId)
        s_chipEnables = 2;
    m_idKnown = true;
    m_probingSecondCe = false;
    selectChip(0);
    return identify(m_firstId);
}

bool CNandProgrammer::identify(const ChipId &id)
{
    CDeviceItem *found = nullptr;
    if (m_device && (m_device->Matches(Bytes(id)) || id == s_lastUnknownId))
        found = m_device;
    else
        found = FindById(DEVICE_NAND, Bytes(id), true);
    if (auto *entry = dynamic_cast<CDeviceItemNand *>(found)) {
        if (entry != m_device && m_device && Frame()->Unattended()) {
            // An unattended run programs the device it was set up for;
            // another chip in the socket is a wrong part, not a new target.
            Frame()->FailOperation(DetectCode,
                                   Text(DetectionText::OtherChip).arg(entry->GetTitle(), m_device->GetTitle()));
            return false;
        }
        acceptDevice(entry);
        return true;
    }
    // With a match present the operator cancelled the choice among several.
    if (FindById(DEVICE_NAND, Bytes(id), false)) {
        Frame()->FailOperation(DetectCode, Text(DetectionText::NoChoice).arg(IdListText(id)));
        return false;
    }
    askForParameterPage(id);
    return false;
}

void CNandProgrammer::acceptDevice(CDeviceItemNand *entry)
{
    const QString title = entry->GetTitle();
    entry->m_ceCount = s_chipEnables;
    if (entry == m_device) {
        // The chip enables found may differ from the list's: the row
        // addresses follow the chip in the socket.
        if (m_geometry.chipEnables != s_chipEnables)
            applyGeometry(CNandGeometry::FromDevice(*entry, s_chipEnables));
        configurePins();
        LogString(title);
        logChipSelects();
        return;
    }
    m_device = entry;
    if (!Frame()->RequestTargetChange(title))
        LogString(title);
}

void CNandProgrammer::askForParameterPage(const ChipId &id)
{
    s_lastUnknownId = id;
    m_maxTransfer = NandPacket::ParamPageReplyLength;
    queueCommand(NandPacket::ReadParamPage(), 0, Adapter::Tag::ParamPage, NandPacket::ParamPageReplyLength);
}

bool CNandProgrammer::onOperationId(const CProgMessage &message)
{
    if (message.lost || !message.data || message.size < 1) {
        // Without the chip's answer the operation cannot start; it ends
        // failed, so a script waiting for it does not wait for ever.
        const int code = message.tag == Adapter::Tag::EraseOpId     ? EraseCode
                         : message.tag == Adapter::Tag::ProgramOpId ? ProgramCode
                                                                    : m_opCode;
        Frame()->FailOperation(uint8_t(code), Text(OutcomeText::IdCheckLost));
        return false;
    }
    // No chip answers with 0xFF: the operator decides whether to go on.
    if (message.data[0] == 0xFF
        && !Frame()->AskYesNo(Text(NandTextId::AreYouSure), Text(NandTextId::CheckPins))) {
        // Not started: the operation ends failed, never silently.
        const uint8_t code = message.tag == Adapter::Tag::EraseOpId     ? EraseCode
                             : message.tag == Adapter::Tag::ProgramOpId ? ProgramCode
                                                                        : uint8_t(m_opCode);
        Frame()->FailOperation(code, Text(NandTextId::CheckPins));
        return false;
    }
    switch (message.tag) {
    case Adapter::Tag::ReadOpId: runReadOp(); break;
    case Adapter::Tag::EraseOpId: runErase(); break;
    case Adapter::Tag::ProgramOpId: runProgram(); break;
    default: break;
    }
    return false;
}
