#include "OperationFrame.h"

#include "AdapterProtocol.h"
#include "BadBlockTable.h"
#include "BlockGeometry.h"
#include "DeviceItem.h"
#include "MemoryNode.h"
#include "NandWindowLink.h"
#include "OutcomeTexts.h"
#include "ProgMessage.h"
#include "Programmer.h"
#include "UiText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace {
constexpr int TimeText = 65;        // "Time"
constexpr int EraseTimeText = 59;   // "Erase time"
constexpr int ProgramTimeText = 60; // "Program time"
constexpr int CompareOkText = 67;   // "Compare data OK"
constexpr int BlankedText = 71;     // "Flash blanked"
constexpr int BusyText = 74;        // "Busy"
constexpr int LinkLostText = OutcomeText::LinkLost;

// The top byte of the adapter's serial number names the fitted top module;
// the target setup tells the adapter whether it is the NAND one.
constexpr int ModuleShift = 24;
constexpr uint32_t ModuleNand = 0x00;
constexpr uint8_t AdapterKindNand = 0;
constexpr uint8_t AdapterKindOther = 1;
} // namespace

COperationFrame::COperationFrame()
{
    SetFrame(this);
}

COperationFrame::~COperationFrame()
{
    SetFrame(nullptr);
}

void COperationFrame::Attach(CProgrammer *programmer)
{
    m_programmer = programmer;
    connect(programmer, &CProgrammer::connectionChanged, this, &COperationFrame::OnAdapterState);
    connect(programmer, &CProgrammer::messageReady, this,
            [this](const CProgMessageParcel &parcel) { OnProgMessage(parcel.Take()); });
    connect(programmer, &CProgrammer::dataSent, this, &COperationFrame::OnProgress);
}

CNandWindowLink *COperationFrame::Link() const
{
    return dynamic_cast<CNandWindowLink *>(m_programmer.data());
}

// --- waiting

bool COperationFrame::WaitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // looks at the condition now and then even when nothing arrives
    wake.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

bool COperationFrame::WaitForReady(int timeoutMs)
{
    return WaitFor([this] { return ready && !setTargetReply.isEmpty(); }, timeoutMs);
}

bool COperationFrame::WaitForEnd(const QString &end, int timeoutMs)
{
    const qsizetype before = ends.count(end);
    return WaitFor([&] { return ends.count(end) > before; }, timeoutMs);
}

bool COperationFrame::WaitForCode(char code, int timeoutMs)
{
    const qsizetype before = codes.count(code);
    return WaitFor([&] { return codes.count(code) > before; }, timeoutMs);
}

bool COperationFrame::WaitForTag(char tag, int timeoutMs)
{
    const qsizetype before = seen.count(tag);
    return WaitFor([&] { return seen.count(tag) > before; }, timeoutMs);
}

bool COperationFrame::WaitUntilQuiet(int timeoutMs)
{
    // A marker behind everything queued so far comes back last.
    constexpr uint8_t QuietTag = 'Z';
    m_programmer->queueMarker(QuietTag, -1, 1);
    return WaitForTag(char(QuietTag), timeoutMs);
}

bool COperationFrame::WaitForIdle(int timeoutMs)
{
    return WaitFor([this] { return opEnd == 0 && (!m_programmer || m_programmer->pendingCommands() == 0); },
                   timeoutMs);
}

// --- the window's reactions to the worker

void COperationFrame::OnAdapterState(bool connected)
{
    if (!connected) {
        // As in the window: an operation that was followed, or one a script
        // waits for, cannot end any more once the link is gone.
        if (m_programmer && (opEnd != 0 || awaitedCode != 0))
            FailOperation(uint8_t(awaitedCode), Text(LinkLostText));
        ready = false;
        return;
    }
    if (!m_programmer)
        return;
    ready = true;
    setTargetReply.clear();
    m_programmer->queueCommand(Adapter::StatusPacket(), -1, Adapter::Tag::Status, Adapter::StatusReplyLength);
    m_programmer->readAdapterId();
    if (speedOnReady >= 0)
        m_programmer->setSpeed(speedOnReady);
    else if (CDeviceItem *device = m_programmer->device())
        m_programmer->setSpeed(device->m_speed);
    m_programmer->tryLockBuffer();
    m_programmer->unlockBuffer();
    opEnd = 0;
    m_programmer->configurePins();
}

void COperationFrame::OnAdapterId(const CProgMessage &message)
{
    if (!message.data || message.size < Adapter::AdapterIdReplyLength)
        return;
    const uint32_t serial = Adapter::GetLE(message.data.get(), 4);
    adapterTypeCode = Adapter::GetLE(message.data.get() + 4, 4);
    if (adapterTypeCode == Adapter::OtherNandFirmware) {
        m_programmer->switchFirmware();
        ready = false;
        m_programmer->reconnect();
    } else if (adapterTypeCode == Adapter::MatchingFirmware) {
        m_programmer->setTarget((serial >> ModuleShift) == ModuleNand ? AdapterKindNand : AdapterKindOther);
    }
}

void COperationFrame::OnProgMessage(CProgMessage *message)
{
    std::unique_ptr<CProgMessage> owned(message);
    if (!message)
        return;
    // As in the window: what belongs to a stopped operation or a lost
    // connection is dropped.
    if (!m_programmer || !m_programmer->isCurrent(message->epoch))
        return;
    seen += char(message->tag);
    switch (message->tag) {
    case 'C':
        codes += 'C';
        break;
    case 'D':
        if (message->lost || !message->data || message->data[0] != 0) {
            FailOperation('D', QStringLiteral("Program failed"));
            break;
        }
        PrintElapsed(Text(ProgramTimeText));
        NoteEnd("program");
        codes += 'D';
        break;
    case 'I':
        if (!message->lost)
            OnAdapterId(*message);
        break;
    case 'J':
        if (message->lost)
            break;
        setTargetReply = QByteArray(reinterpret_cast<const char *>(message->data.get()), int(message->size));
        break;
    case 'S':
    case 'U':
        break;
    default:
        if (m_programmer->handleMessage(message))
            codes += char(message->tag);
        break;
    }
}

void COperationFrame::OnProgress(unsigned int position, unsigned int count, unsigned int epoch)
{
    if (!m_programmer || !m_programmer->isCurrent(epoch))
        return;
    const uint32_t end = position + (count ? count : 1);
    NotePosition(end);
    if (m_programmer && end >= opEnd && opEnd != 0) {
        opEnd = 0;
        barValue = 0;
        m_programmer->tryLockBuffer();
        m_programmer->unlockBuffer();
        NoteEnd("program data");
    }
}

void COperationFrame::Stop()
{
    ++stops;
    opEnd = 0;
    barValue = 0;
    if (!m_programmer)
        return; // an engine driven by hand, with no worker behind it
    m_programmer->tryLockBuffer();
    m_programmer->clearQueue();
    m_programmer->unlockBuffer();
    m_programmer->endOperation();
}

// --- services

void COperationFrame::FailOperation(uint8_t code, const QString &reason, bool, uint64_t)
{
    log << reason;
    RecordFailure(code, reason);
}

void COperationFrame::RecordFailure(uint8_t code, const QString &reason)
{
    failures << reason;
    failedCodes += char(code);
    Stop();
    NoteEnd("failed");
}

void COperationFrame::LogMessage(const QString &line)
{
    log << line;
}

bool COperationFrame::AskYesNo(const QString &title, const QString &text)
{
    questions << title + ": " + text;
    return answerYes;
}

void COperationFrame::ShowError(const QString &title, const QString &text)
{
    errors << title + ": " + text;
}

QString COperationFrame::GetSaveFileName(const QString &, const QString &, const QString &)
{
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

QString COperationFrame::GetOpenFileName(const QString &, const QString &, const QString &)
{
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

void COperationFrame::StartProgress(uint32_t start, uint32_t count)
{
    opStart = start;
    opEnd = start + (count ? count : 1);
    barMin = 0;
    barMax = count ? count : 1;
    barValue = 0;
    m_lastPosition = start;
}

void COperationFrame::SetProgressRange(uint32_t start, uint32_t count)
{
    barMin = start;
    barMax = start + count;
}

void COperationFrame::SetProgressValue(uint32_t value)
{
    barValue = value;
    if (onProgressValue)
        onProgressValue(value);
}

void COperationFrame::NoteEnd(const QString &what)
{
    ends << what;
    emit ended(what);
}

void COperationFrame::NotePosition(uint32_t end)
{
    if (end < m_lastPosition)
        ++progressBackwards;
    m_lastPosition = end;
}

void COperationFrame::EndOperation(const QString &what)
{
    PrintElapsed(Text(TimeText));
    barValue = 0;
    opStart = opEnd = 0;
    NoteEnd(what);
}

void COperationFrame::ReadProgress(uint32_t position)
{
    if (opEnd == 0)
        return;
    NotePosition(position);
    if (position >= opEnd)
        EndOperation("read");
}

void COperationFrame::BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *buffer)
{
    if (opEnd == 0)
        return;
    const uint32_t end = position + (count ? count : 1);
    NotePosition(end);
    if (end < opEnd)
        return;
    EndOperation("read");
    BufferChanged(buffer);
    if (CNandWindowLink *link = Link()) {
        link->buildSourceBbt();
        RefreshBadBlockView(1);
    }
    codes += 'A';
}

void COperationFrame::VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData, CMemoryNode *buffer,
                                     const uint32_t *badBlocks, CDeviceItem *device)
{
    const uint64_t unit = m_programmer ? uint64_t(m_programmer->packetSize()) : 0;
    VerifyProgressAt(position, count, position * unit, uint32_t(count * unit), chipData, buffer, badBlocks, device);
}

// The state list handed in is one of the engine's tables; its length bounds
// what the compare may look up.
uint64_t COperationFrame::BadBlockStateCount(const uint32_t *badBlocks) const
{
    const CNandWindowLink *link = Link();
    if (!link || !badBlocks)
        return 0;
    for (const CBadBlockTable *table : {link->sourceBbt(), link->targetBbt()}) {
        if (table && badBlocks == table->states())
            return table->count();
    }
    return 0;
}

void COperationFrame::VerifyProgressAt(uint32_t position, uint32_t count, uint64_t chipAddress, uint32_t chipBytes,
                                       const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                                       CDeviceItem *device)
{
    if (opEnd == 0 || !buffer || !m_programmer)
        return;
    const uint64_t stateCount = BadBlockStateCount(badBlocks);
    const CBlockGeometry geometry = NandBlockGeometry(device, stateCount);
    if (!buffer->Compare(chipAddress, chipBytes, chipData, stateCount ? badBlocks : nullptr, &geometry)) {
        // The buffer logged the failing address; the verify ended failed.
        RecordFailure('B', CMemoryNode::LastCompareFailure());
        return;
    }
    const uint32_t end = position + count;
    NotePosition(end);
    if (end < opEnd) {
        codes += 'B';
        return;
    }
    EndOperation("verify");
    LogMessage(Text(CompareOkText));
}

void COperationFrame::BlankProgress(uint32_t position, uint32_t count, bool ok)
{
    if (opEnd == 0)
        return;
    if (!ok) {
        // The engine logged where the chip holds data.
        RecordFailure('K', log.isEmpty() ? QString() : log.last());
        return;
    }
    const uint32_t end = position + count;
    NotePosition(end);
    if (end < opEnd)
        return;
    EndOperation("blank");
    LogMessage(Text(BlankedText));
    codes += 'K';
}

void COperationFrame::EraseValue(uint32_t value)
{
    erasePositions << value;
    if (value < barMax) {
        if (value < barValue)
            ++progressBackwards;
        barValue = value;
        return;
    }
    barValue = barMin;
    PrintElapsed(Text(EraseTimeText));
    NoteEnd("erase");
    if (CNandWindowLink *link = Link()) {
        // The target scan that follows ends the operation.
        link->buildTargetBbt();
        return;
    }
    // An SPI erase ends here.
    opStart = opEnd = 0;
    codes += 'G';
}

void COperationFrame::BbtProgress(uint32_t value)
{
    if (value < barMax) {
        if (value < barValue)
            ++progressBackwards;
        barValue = value;
        return;
    }
    barValue = barMin;
    RefreshBadBlockView(2);
    opStart = opEnd = 0;
    NoteEnd("bbt");
    codes += awaitedCode == 'N' ? 'N' : awaitedCode == 'K' ? 'K' : 'G';
}

void COperationFrame::PrintElapsed(const QString &text)
{
    log << text;
}

bool COperationFrame::RequestTargetChange(const QString &deviceName)
{
    targetRequests << deviceName;
    return acceptTargetChange;
}

void COperationFrame::SetSaveAllowed(bool allowed)
{
    saveAllowed = allowed;
}

void COperationFrame::RefreshBadBlockView(int view)
{
    viewRefreshes << view;
}

void COperationFrame::ApplySpeed(int n)
{
    appliedSpeeds << n;
    if (m_programmer)
        m_programmer->setSpeed(n);
}

int COperationFrame::RunIfIdle(uint64_t address, uint64_t length, int opCode)
{
    if (!ready || opEnd != 0 || !m_programmer) {
        LogMessage(Text(BusyText));
        return 128;
    }
    return m_programmer->startReadOp(address, length, opCode);
}
