// Following an operation: the progress bar, the speed and time texts, and
// the end of each kind of operation with the completion code a waiting
// script resumes on.

#include "MainFrame.h"

#include "BadBlockTable.h"
#include "BlockGeometry.h"
#include "CmdProcessor.h"
#include "MemoryNode.h"
#include "NandWindowLink.h"
#include "OperationOutcome.h"
#include "OutcomeTexts.h"
#include "Programmer.h"
#include "UiText.h"

#include <QProgressBar>
#include <QStatusBar>

namespace {
enum ProgressTextIndex : int {
    UI_ERASE_TIME = 59,
    UI_READ_SPEED = 62,
    UI_TIME = 65,
    UI_COMPARE_OK = 67,
    UI_WRITE_SPEED = 69,
    UI_FLASH_BLANKED = 71,
};

constexpr uint8_t CODE_BLOCK_READ = 'A';
constexpr uint8_t CODE_VERIFY = 'B';
constexpr uint8_t CODE_ERASED = 'G';
constexpr uint8_t CODE_BLANK = 'K';
constexpr uint8_t CODE_TARGET_SCAN = 'N';

// Speed and view updates at most every half second.
constexpr int64_t SPEED_UPDATE_MS = 499;
constexpr float SPEED_LIMIT = 1000000.0f;

constexpr uint32_t Units(uint32_t count)
{
    return count ? count : 1;
}
} // namespace

void CMainFrame::StartProgress(uint32_t start, uint32_t count)
{
    m_opStart = start;
    m_opEnd = start + Units(count);
    m_progressBar->setRange(0, static_cast<int>(Units(count)));
    m_opClock.Restart();
    m_lastSpeedUpdate = 0;
}

void CMainFrame::SetProgressRange(uint32_t start, uint32_t count)
{
    m_progressBar->setRange(static_cast<int>(start), static_cast<int>(start + count));
    m_opClock.Restart();
}

void CMainFrame::SetProgressValue(uint32_t value)
{
    m_progressBar->setValue(static_cast<int>(value));
}

void CMainFrame::FinishTimedOperation()
{
    PrintElapsed(Text(UI_TIME));
    m_progressBar->setValue(0);
    m_opStart = 0;
    m_opEnd = 0;
}

// Shows the read speed when more than half a second has passed since the
// last display; true when it did.
bool CMainFrame::ThrottledReadSpeed(uint32_t position)
{
    const int64_t now = m_opClock.Elapsed();
    if (now - m_lastSpeedUpdate <= SPEED_UPDATE_MS)
        return false;
    m_lastSpeedUpdate = now;
    ShowSpeed(Text(UI_READ_SPEED), position - m_opStart);
    return true;
}

void CMainFrame::ReadProgress(uint32_t position)
{
    if (m_opEnd == 0)
        return;
    if (position < m_opEnd)
        ThrottledReadSpeed(position);
    else
        FinishTimedOperation();
}

void CMainFrame::BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *buffer)
{
    if (m_opEnd == 0)
        return;
    const uint32_t reached = position + count;
    if (reached < m_opEnd) {
        if (ThrottledReadSpeed(reached))
            BufferChanged(buffer);
        return;
    }
    FinishTimedOperation();
    BufferChanged(buffer);
    if (auto *nand = dynamic_cast<CNandWindowLink *>(m_programmer.get())) {
        nand->buildSourceBbt();
        RefreshBadBlockView(1);
    }
    NotifyDone(CODE_BLOCK_READ);
}

void CMainFrame::VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData, CMemoryNode *buffer,
                                const uint32_t *badBlocks, CDeviceItem *device)
{
    const uint64_t unit = m_programmer ? static_cast<uint64_t>(m_programmer->packetSize()) : 0;
    VerifyProgressAt(position, count, position * unit, static_cast<uint32_t>(count * unit), chipData, buffer,
                     badBlocks, device);
}

void CMainFrame::VerifyProgressAt(uint32_t position, uint32_t count, uint64_t chipAddress, uint32_t chipBytes,
                                  const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                                  CDeviceItem *device)
{
    if (m_opEnd == 0 || !buffer || !m_programmer)
        return;
    // The state list handed in is one of the engine's tables; its length
    // bounds what the compare may look up.
    uint64_t stateCount = 0;
    if (const auto *nand = dynamic_cast<CNandWindowLink *>(m_programmer.get())) {
        for (const CBadBlockTable *table : {nand->sourceBbt(), nand->targetBbt()}) {
            if (table && badBlocks == table->states())
                stateCount = table->count();
        }
    }
    const CBlockGeometry geometry = NandBlockGeometry(device, stateCount);
    const bool equal = buffer->Compare(chipAddress, chipBytes, chipData, stateCount ? badBlocks : nullptr, &geometry);
    if (!equal) {
        // The buffer logged the failing address. The operation ends failed:
        // a script waiting for the verify stays waiting.
        RecordFailure(CODE_VERIFY, CMemoryNode::LastCompareFailure(), true, CMemoryNode::LastCompareFailureAddress(),
                      false);
        return;
    }
    // Reported once the whole range compared equal, never after a chunk, so
    // that a waiting script cannot run on before the verify has passed.
    CheckedPieceDone(position + count, UI_COMPARE_OK, CODE_VERIFY);
}

void CMainFrame::BlankProgress(uint32_t position, uint32_t count, bool ok)
{
    if (m_opEnd == 0)
        return;
    if (!ok) {
        // The engine logged where the chip holds data.
        RecordFailure(CODE_BLANK, m_lastLogLine, false, 0, false);
        return;
    }
    CheckedPieceDone(position + count, UI_FLASH_BLANKED, CODE_BLANK);
}

// A piece of a checking read (verify, blank check) passed: the operation
// moves on, or at its end logs its result and reports its completion code.
void CMainFrame::CheckedPieceDone(uint32_t reached, int resultText, uint8_t code)
{
    if (reached < m_opEnd) {
        ThrottledReadSpeed(reached);
        return;
    }
    FinishTimedOperation();
    LogMessage(Text(resultText));
    NotifyDone(code);
}

void CMainFrame::EraseValue(uint32_t value)
{
    if (value < static_cast<uint32_t>(m_progressBar->maximum())) {
        m_progressBar->setValue(static_cast<int>(value));
        return;
    }
    m_progressBar->setValue(m_progressBar->minimum());
    PrintElapsed(Text(UI_ERASE_TIME));
    if (auto *nand = dynamic_cast<CNandWindowLink *>(m_programmer.get())) {
        nand->buildTargetBbt();
        return;
    }
    // An SPI erase ends here: the window is idle again.
    m_opStart = 0;
    m_opEnd = 0;
    NotifyDone(CODE_ERASED);
}

void CMainFrame::BbtProgress(uint32_t value)
{
    if (value < static_cast<uint32_t>(m_progressBar->maximum())) {
        m_progressBar->setValue(static_cast<int>(value));
        return;
    }
    m_progressBar->setValue(m_progressBar->minimum());
    RefreshBadBlockView(2);
    m_opStart = 0;
    m_opEnd = 0;
    const uint8_t awaited = g_cmdProcessor.awaitCode();
    if (awaited == CODE_TARGET_SCAN || awaited == CODE_BLANK)
        NotifyDone(awaited);
    else
        NotifyDone(CODE_ERASED);
}

void CMainFrame::OnProgress(unsigned int position, unsigned int count)
{
    const uint32_t reached = position + Units(count);
    ShowSpeed(Text(UI_WRITE_SPEED), reached - m_opStart);
    if (reached >= m_opEnd)
        EndDataProgress();
}

void CMainFrame::EndDataProgress()
{
    m_opEnd = 0;
    m_progressBar->setValue(0);
    ReleaseBusyLock();
}

void CMainFrame::ShowSpeed(const QString &label, uint32_t units)
{
    const uint32_t unitBytes = m_programmer ? static_cast<uint32_t>(std::max(0, m_programmer->packetSize())) : 0;
    const float speed = TransferSpeed(units, unitBytes, m_opClock.Elapsed());
    if (!(speed > 0.0f && speed < SPEED_LIMIT))
        return;
    if (units < static_cast<uint32_t>(m_progressBar->maximum()))
        m_progressBar->setValue(static_cast<int>(units));
    else
        m_progressBar->setValue(m_progressBar->minimum());
    ShowStatusMessage(SpeedText(label, speed));
}

void CMainFrame::PrintElapsed(const QString &text)
{
    const int64_t ms = m_opClock.Elapsed();
    if (ms == 0)
        return;
    LogMessage(ElapsedText(text, ms));
}

void CMainFrame::FailOperation(uint8_t code, const QString &reason, bool hasAddress, uint64_t address)
{
    RecordFailure(code, reason, hasAddress, address, true);
}

void CMainFrame::RecordFailure(uint8_t code, const QString &reason, bool hasAddress, uint64_t address, bool logIt)
{
    COperationOutcome outcome;
    outcome.result = COperationOutcome::EResult::Failed;
    outcome.code = code;
    outcome.operation = OperationName(code);
    outcome.hasAddress = hasAddress;
    outcome.address = address;
    outcome.reason = reason;
    if (logIt)
        LogMessage(reason);
    ShowStatusMessage(outcome.operation + Text(OutcomeText::FailedSeparator) + reason);
    // Stopped first: nothing of the failed operation may reach the chip or
    // the window once the outcome is known.
    OnStop();
    g_cmdProcessor.NotifyOutcome(outcome);
}

void CMainFrame::OnStop()
{
    m_opEnd = 0;
    if (m_programmer) {
        m_programmer->tryLockBuffer();
        m_programmer->clearQueue();
        m_programmer->unlockBuffer();
    }
    m_progressBar->setValue(0);
    if (m_programmer)
        m_programmer->endOperation();
}
