#pragma once

// The console's command processor: one process-wide instance that owns the
// command table of the current programmer and the running script. Every line
// the console, the window's actions or a script hand in is dispatched here.
// All of it runs on the GUI thread.

#include "ChipWaiter.h"
#include "Cmd.h"
#include "OperationOutcome.h"
#include "ProductionReport.h"
#include "ScriptProduction.h"
#include "SerialNumber.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class CProgrammer;
class CScript;

// Programmer capability bits that decide which commands are registered.
namespace CmdCapability {
inline constexpr uint32_t Detect = 0x01;
inline constexpr uint32_t Erase = 0x02;
inline constexpr uint32_t BlankCheck = 0x04;
inline constexpr uint32_t Program = 0x08;  // PROGRAM and WRITE
inline constexpr uint32_t NandTools = 0x10; // NEWCHIP, MFC, SMTCPY
inline constexpr uint32_t Save = 0x40;
inline constexpr uint32_t Verify = 0x80;
} // namespace CmdCapability

class CCmdProcessor
{
public:
    CCmdProcessor();
    ~CCmdProcessor();
    CCmdProcessor(const CCmdProcessor &) = delete;
    CCmdProcessor &operator=(const CCmdProcessor &) = delete;

    // Rebuilds the table for a newly set-up target; null leaves it empty.
    void BuildCommands(CProgrammer *programmer);
    // Deletes every command, forgets the awaited code and stops the script.
    void ClearCommands();
    // Forgets the awaited code and unloads the script (start of a target set-up).
    void ResetScript();

    // The first command whose name equals name ignoring case, or null.
    CCmd *FindCommand(const QString &name) const;
    // Echoes and dispatches one line; CMD_BAD when it names no command.
    int RunCommand(const QString &line);
    // Logs " " + name for every command, in registration order.
    void ListCommands() const;
    // Tab completion: cycles current through the names starting with prefix.
    bool CompleteCommand(const QString &prefix, QString &current) const;
    // An operation of the programmer ended with code: resumes a script that
    // waits for it.
    void NotifyConsole(int code);
    // An operation ended: keeps its outcome for the console and scripts. A
    // done operation resumes a script that waits for its code; a failed one
    // never resumes it as if it had worked.
    void NotifyOutcome(const COperationOutcome &outcome);
    const COperationOutcome &lastOutcome() const { return m_lastOutcome; }
    // An operation that ran inside its command (no worker, no completion
    // code) ended: kept as the last outcome and for the report only; the
    // command's result moves the script on.
    void NoteOutcome(const COperationOutcome &outcome);

    // Runs script lines until the script waits or ends.
    int RunScript();
    // Every line entered in the console, possibly empty.
    void OnConsoleLine(const QString &text);
    // Several lines at once (a paste): they run one after another as a
    // script without a name, each operation ending before the next line.
    void RunLines(const QStringList &lines);
    // Starts a script from its text, with args as its start words (args[0]
    // its name); false when the text holds no script.
    bool RunScriptText(const QByteArray &text, const QList<QByteArray> &args);

    // What the running script set up for unattended use.
    CScriptProduction &production() { return m_production; }
    const CScriptProduction &production() const { return m_production; }
    // Value of the script term RESULT: 0 no operation has ended yet, 1 the
    // last one was done, 2 it failed.
    uint32_t resultValue() const;

    // The reply to a chip probe (Adapter::Tag::ChipProbe): the ID bytes, or
    // lost when none came back.
    void OnChipProbe(const QByteArray &id, bool lost);
    // The production report of the session: its counters and the chip
    // record under way.
    const CProductionReport &report() const { return m_report; }
    // Chips reported (and of them passed) since the running script started:
    // the script terms CHIPS and PASSED.
    int scriptChips() const { return m_report.Total() - m_chipsBefore; }
    int scriptPassed() const { return m_report.Passed() - m_passedBefore; }
    // A run without a window: nobody answers a pause, a menu or a failure
    // that waits for the operator, so the script ends there instead.
    void setHeadless(bool headless) { m_headless = headless; }
    bool headless() const { return m_headless; }

    CProgrammer *programmer() const { return m_programmer; }
    const std::vector<std::unique_ptr<CCmd>> &commands() const { return m_commands; }
    CScript &script() { return *m_script; }

    uint8_t awaitCode() const { return m_awaitCode; }
    void setAwaitCode(uint8_t code) { m_awaitCode = code; }
    // Values read by the script conditions PEEK, MEMORY and FLASHSET.
    uint32_t peekValue() const { return m_peekValue; }
    uint32_t memoryValue() const { return m_memoryValue; }
    uint8_t flashSetValue() const { return m_flashSetValue; }

private:
    // Unloads the script and forgets what it set up.
    void UnloadScript();
    // Unloads the script and says it ended.
    void EndScript();
    // The awaited operation failed: continues at the fail label, or waits.
    void OnAwaitedFailure();
    // The awaited operation did not end in time.
    void OnOperationTimeout();
    // A line handled by the runner itself (production statements); true
    // when it was one.
    bool RunProductionStatement(const QList<QByteArray> &words);
    // waitchip, waitremove, report, serial, endchip; waits is set when the
    // script now waits for the socket.
    bool RunChipStatement(const QList<QByteArray> &words, bool &waits);
    void StartChipWait(CChipWaiter::EWait what, int timeoutMs);
    void OnChipWaitEnded(CChipWaiter::EWait what, bool ok, const QByteArray &id, const QString &reason);
    // The chip wait (or the check of the chip seated) failed.
    void FailChipWait(const QString &operation, const QString &reason);
    // Before an operation statement: opens a chip record when a report or
    // a serial number is set up and none is open; before a program, writes
    // the serial number into the image and notes the image's hash. False
    // when the program must not start.
    bool PrepareChipOperation(const QByteArray &keyword);
    bool StampSerial();
    void BeginChipRecord(const QString &chipId);
    void EndChipRecord();

    template <class Command>
    void Register(uint32_t capabilities, uint32_t requiredBit = 0);

    CProgrammer *m_programmer = nullptr;
    std::vector<std::unique_ptr<CCmd>> m_commands;
    uint32_t m_peekValue = 0;
    uint32_t m_memoryValue = 0;
    uint8_t m_awaitCode = 0; // completion code a paused script waits for; 0 = none
    uint8_t m_flashSetValue = 0;
    std::unique_ptr<CScript> m_script;
    COperationOutcome m_lastOutcome;
    CScriptProduction m_production;
    CChipWaiter m_chipWaiter;
    CProductionReport m_report;
    std::optional<CSerialNumber> m_serial;
    std::optional<uint64_t> m_stampedSerial; // the serial written into the open record's image
    bool m_headless = false;
    int m_chipsBefore = 0;  // report counts when the script started
    int m_passedBefore = 0;
};

extern CCmdProcessor g_cmdProcessor;
