#pragma once

// A frame for end-to-end tests and benchmarks of an engine (NAND or SPI)
// against the simulated adapter: it follows a running programmer the way the
// main window does (its three signals, the adapter identification, the
// generic message tags) and implements the progress services with the
// window's end-of-operation logic: the read-completion check after a block
// read, the buffer compare of a verify at the piece's chip address, the
// post-erase target scan of a NAND chip or the end of an SPI erase, the
// completion codes. Everything it saw is recorded for the test to check, and
// the Wait helpers run the event loop until something has happened.

#include "FrameServices.h"
#include "Programmer.h"
#include "SignalReceiver.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>

class CNandWindowLink;
class CProgMessage;

class COperationFrame : public CSignalReceiver, public CFrameServices
{
    Q_OBJECT

public:
    COperationFrame();
    ~COperationFrame() override;

    // Follows the programmer's signals (queued, as the window does). The
    // caller starts the worker thread once the frame is attached, so the
    // first adapter state reaches it.
    void Attach(CProgrammer *programmer);

    // Runs the event loop until the condition holds or the time is up. Like
    // the window's loop it handles each message as it arrives (no sleeping
    // between rounds), so operations run at the speed they would run there.
    static bool WaitFor(const std::function<bool()> &condition, int timeoutMs = 60000);
    // The adapter is ready and has answered the target setup.
    bool WaitForReady(int timeoutMs = 20000);
    bool WaitForEnd(const QString &end, int timeoutMs = 60000);
    bool WaitForCode(char code, int timeoutMs = 60000);
    bool WaitForTag(char tag, int timeoutMs = 20000);
    // Drains the worker: waits until its command queue is empty and the
    // replies already read have been handled.
    bool WaitUntilQuiet(int timeoutMs = 20000);
    // No operation is followed and the worker has nothing left to send.
    bool WaitForIdle(int timeoutMs = 60000);

    // What the window's Stop does.
    void Stop();

    // --- answers the test sets
    bool answerYes = true;
    bool acceptTargetChange = false;
    QStringList saveAnswers;     // taken one per save dialog
    QStringList openAnswers;     // taken one per open dialog
    char awaitedCode = 0;        // the console's awaited completion code
    int speedOnReady = -1;       // when set, the speed applied on adapter ready instead of the device's
    // Called with every value SetProgressValue gets (the steps of a smart
    // copy), so a test can act in the middle of one.
    std::function<void(uint32_t)> onProgressValue;

    // --- what happened
    QStringList log;
    QStringList questions;       // title + ": " + text
    QStringList errors;          // title + ": " + text
    QStringList targetRequests;
    QStringList openedListFiles; // device list files handed to the desktop
    QStringList ends;            // "read", "verify", "blank", "erase", "bbt", "program data", "program"
    QByteArray codes;            // completion codes, in order
    QStringList failures;        // the reasons of operations that ended failed
    QByteArray failedCodes;      // their completion codes
    QByteArray seen;             // the tag of every message, in order
    QList<uint32_t> erasePositions; // every value EraseValue got
    QList<int> appliedSpeeds;    // speeds the engine asked the window to apply
    QByteArray setTargetReply;
    uint32_t adapterTypeCode = 0;
    bool ready = false;
    int stops = 0;
    int progressBackwards = 0;   // progress positions that went down within an operation
    uint32_t opStart = 0, opEnd = 0;
    uint32_t barMin = 0, barMax = 0, barValue = 0;
    QList<int> viewRefreshes;
    bool saveAllowed = false;

    // --- CFrameServices
    void LogMessage(const QString &line) override;
    bool AskYesNo(const QString &title, const QString &text) override;
    void ShowError(const QString &title, const QString &text) override;
    QString GetSaveFileName(const QString &caption, const QString &dir, const QString &filter) override;
    QString GetOpenFileName(const QString &caption, const QString &dir, const QString &filter) override;
    void StartProgress(uint32_t start, uint32_t count) override;
    void SetProgressRange(uint32_t start, uint32_t count) override;
    void SetProgressValue(uint32_t value) override;
    void ReadProgress(uint32_t position) override;
    void BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *buffer) override;
    void VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData, CMemoryNode *buffer,
                        const uint32_t *badBlocks, CDeviceItem *device) override;
    void VerifyProgressAt(uint32_t position, uint32_t count, uint64_t chipAddress, uint32_t chipBytes,
                          const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                          CDeviceItem *device) override;
    void BlankProgress(uint32_t position, uint32_t count, bool ok) override;
    void EraseValue(uint32_t value) override;
    void BbtProgress(uint32_t value) override;
    void PrintElapsed(const QString &text) override;
    void FailOperation(uint8_t code, const QString &reason, bool hasAddress = false, uint64_t address = 0) override;
    bool RequestTargetChange(const QString &deviceName) override;
    void OpenDeviceListFile(const QString &path) override { openedListFiles << path; }
    void SetSaveAllowed(bool allowed) override;
    void RefreshBadBlockView(int view) override;
    bool IsAdapterReady() const override { return ready; }
    bool IsOperationRunning() const override { return opEnd != 0; }
    bool HasTarget() const override { return m_programmer != nullptr; }
    int RunIfIdle(uint64_t address, uint64_t length, int opCode) override;
    void ApplySpeed(int n) override;

signals:
    // An operation (or a scan) has ended; what is one of the ends above.
    void ended(const QString &what);

private:
    void OnAdapterState(bool connected);
    void OnProgMessage(CProgMessage *message);
    void OnProgress(unsigned int position, unsigned int count, unsigned int epoch);
    void OnAdapterId(const CProgMessage &message);
    void NotePosition(uint32_t end);
    void EndOperation(const QString &what);
    void NoteEnd(const QString &what);
    // An operation ended failed for a reason that is already in the log.
    void RecordFailure(uint8_t code, const QString &reason);
    CNandWindowLink *Link() const;
    uint64_t BadBlockStateCount(const uint32_t *badBlocks) const;

    // Null once the programmer is gone; replies still queued for it are dropped.
    QPointer<CProgrammer> m_programmer;
    uint32_t m_lastPosition = 0;
};
