// The continuations of the SPI engine: what each reply does on the GUI
// thread. The ID read before an operation queues its batch; data replies go
// into the buffer, to the compare or to the blank scan; erase replies move
// the progress and, for a program that erased first, start the programming.

#include "SpiProgrammer.h"

#include "DeviceDatabase.h"
#include "DetectionTexts.h"
#include "DeviceItemSPIFlash.h"
#include "FrameServices.h"
#include "MemoryNode.h"
#include "NewDeviceDefinition.h"
#include "OutcomeTexts.h"
#include "SfdpInfo.h"
#include "SpiProtocol.h"
#include "UiText.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace {

constexpr int TextError = 3;
constexpr int TextUnknownDevice = 61;
constexpr int TextProgramStarts = 70;
constexpr int TextNotBlank = 72;
constexpr int TextBusy = 74;
constexpr int TextEraseStarts = 75;
constexpr int TextIdError = 183;
constexpr int TextAreYouSure = 184;
constexpr int TextOtherChip = 220;
constexpr uint8_t NoChip = 0xFF;
constexpr uint8_t Erased = 0xFF;
constexpr uint32_t SfdpReplyMin = 512;
constexpr uint8_t At45BinaryPages = 0x01; // status bit 0: power-of-two pages
constexpr uint32_t FlashProgramUnit = 256; // 0x1C counts serial flash data in 256-byte pages
constexpr uint32_t ChunksPerStatus = 16;   // program commands between two status reads

const char At45PageSizeError[] = "AT45 Config page size error";

uint64_t DivideUp(uint64_t value, uint64_t unit)
{
    return (value + unit - 1) / unit;
}

// The reply unit of a batch: a whole number of transfer units, at least one.
uint64_t ChunkOf(uint64_t sectorSize, uint64_t unit)
{
    return DivideUp(std::max(sectorSize, unit), unit) * unit;
}

uint64_t ByteOffset(const CProgMessage &message, uint32_t unit)
{
    return uint64_t(uint32_t(message.address)) * unit;
}

} // namespace

bool CSpiProgrammer::handleMessage(CProgMessage *message)
{
    if (!message)
        return false;
    switch (message->tag) {
    case Adapter::Tag::DetectId:
        return OnDetectedId(*message);
    case Adapter::Tag::At45Status:
        OnAt45Status(*message);
        return false;
    case Adapter::Tag::ParamPage:
        // A chip that described itself has been detected: the detection's
        // own code ends it, so a script waiting for the detection goes on.
        if (!OnSelfDescription(*message))
            return false;
        message->tag = DetectCode;
        return true;
    case Adapter::Tag::ReadOpId:
        if (!FailedWithoutId(*message))
            QueueReadBatch(*message);
        return false;
    case Adapter::Tag::EraseOpId:
        if (!FailedWithoutId(*message))
            QueueEraseBatch(*message);
        return false;
    case Adapter::Tag::ProgramOpId:
        if (!FailedWithoutId(*message))
            OnProgramId(*message);
        return false;
    case Adapter::Tag::ReadData:
        OnReadData(*message);
        return false;
    case Adapter::Tag::VerifyData:
        OnVerifyData(*message);
        return false;
    case Adapter::Tag::BlankData:
        OnBlankData(*message);
        return false;
    case Adapter::Tag::BlockErased:
        OnSectorErased(*message);
        return false;
    case Adapter::Tag::ChunkProgrammed:
        OnChunkProgrammed(*message);
        return false;
    case Adapter::Tag::ProgramPreRead:
        OnPreReadData(*message);
        return false;
    default:
        return false;
    }
}

// Without the chip's answer to the ID check the operation cannot start: it
// ends failed, so a script waiting for it does not wait for ever.
bool CSpiProgrammer::FailedWithoutId(const CProgMessage &id)
{
    if (!id.lost && id.data)
        return false;
    Frame()->FailOperation(uint8_t(m_opCode), Text(OutcomeText::IdCheckLost));
    return true;
}

static QString IdText(const uint8_t *id)
{
    return QString::asprintf("%02X %02X %02X", id[0], id[1], id[2]);
}

// A chip that answers nothing reads 0xFF. Reading on is the operator's
// choice; erasing or programming stops, unless the entry itself has no ID to
// compare (serial EEPROMs answer no ID instruction), where the operator is
// asked as for a read. A chip that answers another ID than the selected
// entry's is erased or programmed only when the operator confirms it.
bool CSpiProgrammer::ChipAnswered(const CProgMessage &id, EAccess access) const
{
    if (id.size < 1 || !id.data)
        return false;
    if (id.data[0] != NoChip) {
        if (access == EAccess::Read || id.size < Adapter::Spi::IdReplyLength || OwnId(id.data.get()))
            return true;
        const QString text = Text(TextOtherChip)
                                 .arg(IdText(id.data.get()), Spi()->m_name, IdText(Spi()->m_id));
        return Frame()->AskYesNo(Text(TextAreYouSure), text);
    }
    if (access == EAccess::Read || Spi()->m_id[0] == NoChip)
        return Frame()->AskYesNo(Text(TextAreYouSure), Text(TextIdError));
    Frame()->ShowError(Text(TextError), Text(TextIdError));
    return false;
}

// The entry's own chip, or an entry with nothing to compare: an EEPROM
// entry without an ID, or the self-describing entry, which knows only the
// maker's byte.
bool CSpiProgrammer::OwnId(const uint8_t *id) const
{
    const CDeviceItemSPIFlash &spi = *Spi();
    if (spi.m_id[0] == NoChip)
        return true;
    if (spi.m_name == QLatin1String(SPI_SFDP_ENTRY))
        return id[0] == spi.m_id[0];
    return std::equal(id, id + Adapter::Spi::IdReplyLength, spi.m_id);
}

bool CSpiProgrammer::CoversChipStart() const
{
    return m_address == 0;
}

// --- detection

bool CSpiProgrammer::OnDetectedId(const CProgMessage &message)
{
    if (message.size < Adapter::Spi::IdReplyLength || !message.data)
        return false;
    // The chip in the socket may be another one now: blank only once an
    // erase or a blank check has shown it (a part without erase needs none).
    m_skipErase = Geometry().HasNoErase();
    const std::span<const uint8_t> ids(message.data.get(), Adapter::Spi::IdReplyLength);
    CDeviceItem *found = m_device && m_device->Matches(ids) ? m_device : FindById(DEVICE_SPI, ids, false);
    if (!found) {
        // Not done yet: the chip's self-description decides.
        std::memcpy(m_unknownId, ids.data(), sizeof(m_unknownId));
        m_maxTransfer = Adapter::Spi::SfdpReplyLength;
        queueCommand(Adapter::Spi::SfdpPacket(), 0, Adapter::Tag::ParamPage, Adapter::Spi::SfdpReplyLength);
        return false;
    }
    if (found != m_device && Frame()->Unattended()) {
        // An unattended run programs the device it was set up for; another
        // chip in the socket is a wrong part, not a new target.
        Frame()->FailOperation(DetectCode, Text(DetectionText::OtherChip).arg(found->m_name, m_device->m_name));
        return false;
    }
    if (found == m_device) {
        LogString(found->m_name);
        configurePins();
    } else {
        m_device = found;
        if (!Frame()->RequestTargetChange(found->m_name)) {
            LogString(found->m_name);
            configurePins();
        }
    }
    ReportDuplicates(LogString, DEVICE_SPI, ids);
    return true;
}

void CSpiProgrammer::OnAt45Status(const CProgMessage &message) const
{
    const CSpiGeometry geometry = Geometry();
    if (!geometry.IsAt45() || message.size < 1 || !message.data)
        return;
    const bool chipExtended = (message.data[0] & At45BinaryPages) == 0;
    if (chipExtended != geometry.At45ExtendedPages())
        LogString(QString::fromLatin1(At45PageSizeError));
}

// The self-description of a chip no entry knows: a usable one fills the
// built-in "SPI SFDP" entry, which becomes the target; otherwise the operator
// may define the chip in the device editor, unless nothing answered at all.
bool CSpiProgrammer::OnSelfDescription(const CProgMessage &message)
{
    if (message.size < SfdpReplyMin || !message.data)
        return false;
    const CSfdpInfo info = DecodeSfdp(message.data.get(), message.size);
    auto *entry = dynamic_cast<CDeviceItemSPIFlash *>(FindByName(QString::fromLatin1(SPI_SFDP_ENTRY)));
    if (info.valid && entry) {
        entry->m_id[0] = m_unknownId[0];
        entry->SetFromSfdp(info);
        m_device = entry;
        Frame()->RequestTargetChange(entry->m_name);
        return true;
    }
    LogString(Text(TextUnknownDevice));
    const QString idText = QString::asprintf("%02x,%02x,%02x", m_unknownId[0], m_unknownId[1], m_unknownId[2]);
    LogString(idText);
    // The detection ends here: a script must not take an unknown chip for
    // a detected one.
    Frame()->FailOperation(DetectCode, Text(DetectionText::UnknownId).arg(idText));
    if (m_unknownId[0] == NoChip) {
        LogString(QStringLiteral(" "));
        LogString(Text(TextIdError));
        return false;
    }
    if (Frame()->Unattended())
        return false;
    // A copy: the editor's event loop may let another detection overwrite the stored ID.
    uint8_t id[sizeof(m_unknownId)];
    std::memcpy(id, m_unknownId, sizeof(id));
    OfferNewDeviceDefinition(DEVICE_SPI, QStringLiteral("New SPI"), id);
    return false;
}

// --- read, verify, blank check

void CSpiProgrammer::QueueReadBatch(const CProgMessage &id)
{
    if (m_length == 0)
        return;
    if (!ChipAnswered(id, EAccess::Read)) {
        // Not started: the operation ends failed, never silently.
        Frame()->FailOperation(uint8_t(m_opCode), Text(TextIdError));
        return;
    }
    const CSpiGeometry geometry = Geometry();
    const uint32_t unit = geometry.TransferUnit();
    const uint64_t chunk = ChunkOf(geometry.SectorSize(), unit);
    m_maxTransfer = uint32_t(chunk);
    m_blankFailed = false;
    m_readNext = uint64_t(m_address / unit) * unit;
    Frame()->StartProgress(uint32_t(m_address / unit), uint32_t(m_length / unit));

    QueueReadCommands(chunk, uint8_t(m_opCode));
    endOperation();
}

// Reads of the operation's range in pieces of `chunk` bytes, each reply
// tagged `tag` and addressed by its transfer unit.
void CSpiProgrammer::QueueReadCommands(uint64_t chunk, uint8_t tag)
{
    const CCommandBatch batch(*this);
    const CSpiGeometry geometry = Geometry();
    const uint32_t unit = geometry.TransferUnit();
    const COpcodes opcodes = Opcodes();
    uint64_t address = m_address;
    uint64_t remaining = m_length;
    uint32_t currentUnit = uint32_t(m_address / unit);
    while (remaining > 0) {
        const uint64_t n = std::min(remaining, chunk);
        const uint32_t units = uint32_t(DivideUp(n, unit));
        const uint32_t replyLength = units * unit;
        queueCommand(Adapter::Spi::ReadPacket(geometry.Opcode(opcodes.read, address), geometry.AddressBytes(),
                                              geometry.AddressField(address), replyLength, opcodes.mode),
                     int32_t(currentUnit), tag, replyLength);
        address += chunk;
        currentUnit += units;
        remaining -= n;
    }
}

bool CSpiProgrammer::FailsReadAccounting(const CProgMessage &message, uint8_t code)
{
    if (!Frame()->IsOperationRunning())
        return true;
    const uint64_t at = ByteOffset(message, Geometry().TransferUnit());
    if (message.lost || !message.data) {
        Frame()->FailOperation(code, TextAtAddress(OutcomeText::NoReply, at), true, at);
        return true;
    }
    // Pieces come in order; one that does not start where the last one
    // ended would put data at another address.
    if (at != m_readNext) {
        Frame()->FailOperation(code, TextAtAddress(OutcomeText::OutOfPlace, m_readNext), true, m_readNext);
        return true;
    }
    m_readNext += message.size;
    return false;
}

void CSpiProgrammer::OnReadData(const CProgMessage &message)
{
    if (FailsReadAccounting(message, Adapter::Tag::ReadData))
        return;
    const uint32_t unit = Geometry().TransferUnit();
    m_buffer->WriteAt(message.data.get(), m_buffer->GetBaseAddress() + ByteOffset(message, unit), message.size);
    Frame()->BlockReadProgress(uint32_t(message.address), uint32_t(DivideUp(message.size, unit)), m_buffer);
}

void CSpiProgrammer::OnVerifyData(const CProgMessage &message)
{
    if (FailsReadAccounting(message, Adapter::Tag::VerifyData))
        return;
    // The compare reads count units of the data: never more than arrived.
    const uint32_t unit = Geometry().TransferUnit();
    Frame()->VerifyProgress(uint32_t(message.address), message.size / unit, message.data.get(), m_buffer, nullptr,
                            m_device);
}

void CSpiProgrammer::OnBlankData(const CProgMessage &message)
{
    // After the first difference the window stops; pieces still on their way
    // must not report again.
    if (m_blankFailed || FailsReadAccounting(message, Adapter::Tag::BlankData))
        return;
    const CSpiGeometry geometry = Geometry();
    const uint32_t unit = geometry.TransferUnit();
    const uint64_t offset = ByteOffset(message, unit);
    // Replies are padded to whole units: only the checked range counts.
    const uint64_t end = std::min(m_address + m_length, geometry.ChipSize());
    const uint64_t scan = offset < end ? std::min<uint64_t>(message.size, end - offset) : 0;
    const uint8_t *data = message.data.get();
    const uint8_t *programmed = std::find_if(data, data + scan, [](uint8_t byte) { return byte != Erased; });
    const uint32_t count = uint32_t(DivideUp(message.size, unit));
    if (programmed != data + scan) {
        const uint64_t at = offset + uint64_t(programmed - data);
        LogString(Text(TextNotBlank) + QLatin1Char(' ') + QString::number(at, 16).toUpper()
                  + QString::asprintf(" ,target %02X", *programmed));
        m_blankFailed = true;
        if (!geometry.HasNoErase())
            m_skipErase = false;
        Frame()->BlankProgress(uint32_t(message.address), count, false);
        return;
    }
    // Blank up to the chip's end, checked from its start: a program needs no erase.
    if (!geometry.HasNoErase())
        m_skipErase = offset + message.size >= geometry.ChipSize() && CoversChipStart();
    Frame()->BlankProgress(uint32_t(message.address), count, true);
}

// --- erase

void CSpiProgrammer::QueueEraseBatch(const CProgMessage &id)
{
    const CCommandBatch batch(*this);
    // An entry without a size (a self-describing one not filled yet) has nothing to erase.
    if (m_length == 0)
        return;
    if (!ChipAnswered(id, EAccess::Destructive)) {
        Frame()->FailOperation(EraseCode, Text(TextIdError));
        return;
    }
    const CSpiGeometry geometry = Geometry();
    const CDeviceItemSPIFlash &spi = *Spi();
    const Adapter::Spi::CStatusPoll poll = Adapter::Spi::StatusPollOf(spi);
    const uint64_t sector = geometry.SectorSize();
    const uint32_t first = uint32_t(m_address / sector);
    const uint32_t sectors = uint32_t(m_length / sector);
    m_eraseFailed = false;
    LogString(Text(TextEraseStarts));
    Frame()->StartProgress(first, sectors);

    for (uint32_t k = 1; k <= sectors; ++k) {
        const uint64_t address = uint64_t(first + k - 1) * sector;
        if (geometry.IsAt45() && address == 0) {
            // Sector 0 is two sectors inside the chip (0a, 0b); only the
            // second reply counts as the sector erased.
            queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(), 0, poll),
                         int32_t(first + k - 1), Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
            const uint64_t sector0b = uint64_t(CSpiGeometry::At45Sector0bPage) * geometry.At45PageBytes();
            queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(),
                                                   geometry.AddressField(sector0b), poll),
                         int32_t(first + k), Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
            continue;
        }
        queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(), geometry.AddressField(address),
                                               poll),
                     int32_t(first + k), Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
    }
    endOperation();
}

void CSpiProgrammer::OnSectorErased(const CProgMessage &message)
{
    const CSpiGeometry geometry = Geometry();
    const uint64_t sector = geometry.SectorSize();
    const uint32_t first = uint32_t(m_address / sector);
    const uint32_t last = uint32_t((m_address + m_length) / sector);
    const uint32_t reached = uint32_t(message.address);
    if (!Frame()->IsOperationRunning())
        return;
    // The sectors of a program's own erase are a list; the bar counts them.
    const bool listed = !m_eraseSectors.empty();
    const uint32_t step = listed ? reached : reached - first;
    uint64_t failed = uint64_t(reached > first ? reached - 1 : first) * sector;
    if (listed)
        failed = step == 0 ? 0 : uint64_t(m_eraseSectors[std::min<size_t>(step, m_eraseSectors.size()) - 1]) * sector;
    if (message.lost || !message.data || message.size < 1) {
        m_eraseSectors.clear();
        Frame()->FailOperation(EraseCode, TextAtAddress(OutcomeText::EraseStatusLost, failed), true, failed);
        return;
    }
    if (message.data[0] != 0) {
        // The chip never reported ready, or refused (a protected sector):
        // that sector is not blank, and a program must not follow.
        m_eraseFailed = true;
        m_programPending = false;
        m_eraseSectors.clear();
        Frame()->FailOperation(EraseCode, TextAtAddress(OutcomeText::EraseFailed, failed), true, failed);
        return;
    }
    // The bar runs from 0 to the number of sectors.
    Frame()->EraseValue(step);
    if (listed) {
        if (step < m_eraseSectors.size())
            return;
        m_eraseSectors.clear();
        m_programPending = false;
        QueueProgramBatch();
        return;
    }
    if (reached < last)
        return;
    // Only a whole chip erased without a failure is known to be blank; a
    // program of this range goes on either way, as it would after any erase.
    m_skipErase = !m_eraseFailed && CoversChipStart() && m_length >= geometry.ChipSize();
    if (m_programPending) {
        m_programPending = false;
        QueueProgramBatch();
    }
}

// --- program

void CSpiProgrammer::OnProgramId(const CProgMessage &id)
{
    if (!ChipAnswered(id, EAccess::Destructive)) {
        Frame()->FailOperation(ProgramCode, Text(TextIdError));
        return;
    }
    // A part without an erase (serial EEPROM) is written over as it stands.
    if (!m_skipErase && !Geometry().HasNoErase()) {
        QueuePreRead();
        return;
    }
    QueueProgramBatch();
}

void CSpiProgrammer::QueuePreRead()
{
    if (m_length == 0)
        return;
    const CSpiGeometry geometry = Geometry();
    const uint32_t unit = geometry.TransferUnit();
    const uint64_t sector = geometry.SectorSize();
    const uint64_t chunk = ChunkOf(sector, unit);
    m_maxTransfer = uint32_t(chunk);
    m_readNext = uint64_t(m_address / unit) * unit;
    m_eraseSectors.clear();
    m_dirtySectors.assign(size_t((m_length + sector - 1) / sector), false);
    LogString(Text(OutcomeText::ReadBeforeProgram));
    Frame()->StartProgress(uint32_t(m_address / unit), uint32_t(m_length / unit));
    QueueReadCommands(chunk, Adapter::Tag::ProgramPreRead);
}

void CSpiProgrammer::OnPreReadData(const CProgMessage &message)
{
    if (FailsReadAccounting(message, ProgramCode))
        return;
    const CSpiGeometry geometry = Geometry();
    const uint32_t unit = geometry.TransferUnit();
    const uint64_t sector = geometry.SectorSize();
    const uint64_t offset = ByteOffset(message, unit);
    const uint64_t end = std::min(m_address + m_length, geometry.ChipSize());
    const uint64_t scan = offset < end ? std::min<uint64_t>(message.size, end - offset) : 0;
    const uint8_t *data = message.data.get();
    // Each sector that holds a programmed byte needs an erase.
    for (uint64_t i = 0; i < scan;) {
        const uint64_t at = offset + i;
        const size_t index = size_t((at - m_address) / sector);
        const uint64_t sectorEnd = std::min<uint64_t>((at / sector + 1) * sector - offset, scan);
        if (index < m_dirtySectors.size() && !m_dirtySectors[index])
            m_dirtySectors[index] = std::any_of(data + i, data + sectorEnd, [](uint8_t byte) { return byte != Erased; });
        i = sectorEnd;
    }
    Frame()->SetProgressValue(uint32_t(message.address) + uint32_t(DivideUp(message.size, unit))
                              - uint32_t(m_address / unit));
    if (offset + message.size < end)
        return;
    const uint32_t first = uint32_t(m_address / sector);
    for (size_t i = 0; i < m_dirtySectors.size(); ++i) {
        if (m_dirtySectors[i])
            m_eraseSectors.push_back(first + uint32_t(i));
    }
    if (m_eraseSectors.empty()) {
        QueueProgramBatch();
        return;
    }
    LogString(Text(OutcomeText::SectorsToErase) + QString::number(m_eraseSectors.size()));
    QueueSectorErases();
}

void CSpiProgrammer::QueueSectorErases()
{
    const CSpiGeometry geometry = Geometry();
    const CDeviceItemSPIFlash &spi = *Spi();
    const Adapter::Spi::CStatusPoll poll = Adapter::Spi::StatusPollOf(spi);
    const uint64_t sector = geometry.SectorSize();
    m_eraseFailed = false;
    m_programPending = true;
    LogString(Text(TextEraseStarts));
    Frame()->StartProgress(0, uint32_t(m_eraseSectors.size()));
    for (uint32_t k = 1; k <= m_eraseSectors.size(); ++k) {
        const uint64_t address = uint64_t(m_eraseSectors[k - 1]) * sector;
        if (geometry.IsAt45() && address == 0) {
            // Sector 0 is two sectors inside the chip (0a, 0b); the reply of
            // the first is step 0, which only checks its status.
            queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(), 0, poll), int32_t(k - 1),
                         Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
            const uint64_t sector0b = uint64_t(CSpiGeometry::At45Sector0bPage) * geometry.At45PageBytes();
            queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(),
                                                   geometry.AddressField(sector0b), poll),
                         int32_t(k), Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
            continue;
        }
        queueCommand(Adapter::Spi::ErasePacket(spi.m_opErase, geometry.AddressBytes(), geometry.AddressField(address),
                                               poll),
                     int32_t(k), Adapter::Tag::BlockErased, Adapter::Spi::EraseReplyLength);
    }
}

void CSpiProgrammer::OnChunkProgrammed(const CProgMessage &message)
{
    const uint64_t address = uint64_t(uint32_t(message.address)) * uint64_t(m_programUnit.load());
    if (message.lost || !message.data || message.size < 1) {
        Frame()->FailOperation(ProgramCode, TextAtAddress(OutcomeText::ProgramStatusLost, address), true, address);
        return;
    }
    if (message.data[0] != 0)
        Frame()->FailOperation(ProgramCode, TextAtAddress(OutcomeText::ProgramFailed, address), true, address);
}

void CSpiProgrammer::QueueProgramBatch()
{
    const CCommandBatch batch(*this);
    if (m_length == 0)
        return;
    if (!tryLockBuffer()) {
        LogString(Text(TextBusy));
        return;
    }
    LogString(Text(TextProgramStarts));
    m_opCode = ProgramCode;
    const CSpiGeometry geometry = Geometry();
    const CDeviceItemSPIFlash &spi = *Spi();
    const Adapter::Spi::CStatusPoll poll = Adapter::Spi::StatusPollOf(spi);
    const uint32_t unit = geometry.ProgramUnit();
    const uint64_t chunk = ChunkOf(geometry.SectorSize(), unit);
    const bool eeprom = geometry.HasNoErase();
    const COpcodes opcodes = Opcodes();
    m_maxTransfer = uint32_t(chunk);
    m_programUnit = int32_t(unit);
    Frame()->StartProgress(uint32_t(m_address / unit), uint32_t(m_length / unit));

    uint32_t currentUnit = uint32_t(m_address / unit);
    uint32_t statusUnit = currentUnit; // first unit the next status covers
    uint32_t chunks = 0;
    uint64_t remaining = m_length;
    while (remaining > 0) {
        const uint64_t n = std::min(remaining, chunk);
        const uint32_t units = uint32_t(DivideUp(n, unit));
        const uint64_t address = uint64_t(currentUnit) * unit;
        uint8_t opcode = geometry.Opcode(opcodes.program, address);
        uint8_t modeOrPage = opcodes.mode;
        uint32_t count = units * unit / FlashProgramUnit;
        if (geometry.IsAt45()) {
            opcode = uint8_t(unit & 0xFF); // the firmware's buffer program takes the page size
            count = units;
        } else if (eeprom) {
            count = uint32_t(n / geometry.EepromPageBytes());
            modeOrPage = uint8_t(geometry.EepromPageBytes() & 0xFF);
        }
        queueDataJob(int32_t(currentUnit), eeprom ? uint32_t(n) : units * unit);
        queueCommand(Adapter::Spi::ProgramPacket(opcode, geometry.AddressBytes(), geometry.AddressField(address), count,
                                                 modeOrPage, poll),
                     -1, 0, 0);
        if (++chunks % ChunksPerStatus == 0) {
            // The status of the last few commands, so a failure names where
            // it happened (the program-finished reply covers the rest).
            queueCommand(Adapter::Spi::ProgramDonePacket(), int32_t(statusUnit), Adapter::Tag::ChunkProgrammed,
                         Adapter::Spi::ProgramDoneReplyLength);
            statusUnit = currentUnit + units;
        }
        currentUnit += units;
        remaining -= n;
    }
    queueCommand(Adapter::Spi::ProgramDonePacket(), int32_t(currentUnit), Adapter::Tag::ProgramDone,
                 Adapter::Spi::ProgramDoneReplyLength);
    endOperation();
    m_skipErase = eeprom;
}
