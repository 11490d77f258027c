#include "CmdProcessor.h"

#include "FrameCmdsChip.h"
#include "FrameCmdsSession.h"
#include "FrameServices.h"
#include "Programmer.h"
#include "Script.h"
#include "UiText.h"

CCmdProcessor g_cmdProcessor;

CCmdProcessor::CCmdProcessor() : m_script(std::make_unique<CScript>()) {}

// At exit only the objects are released: the window and its log are gone.
CCmdProcessor::~CCmdProcessor() = default;

template <class Command>
void CCmdProcessor::Register(uint32_t capabilities, uint32_t requiredBit)
{
    if (requiredBit == 0 || (capabilities & requiredBit) != 0)
        m_commands.push_back(std::make_unique<Command>());
}

void CCmdProcessor::BuildCommands(CProgrammer *programmer)
{
    ClearCommands();
    m_programmer = programmer;
    if (!programmer)
        return;

    // The order is that of the help listing, the lookup and the completion.
    const uint32_t caps = programmer->capabilities();
    Register<CFrameCmdEnd>(caps);
    Register<CFrameCmdHelp>(caps);
    Register<CFrameCmdDetect>(caps, CmdCapability::Detect);
    Register<CFrameCmdInitUsb>(caps);
    Register<CFrameCmdGetMemory>(caps);
    Register<CFrameCmdProgram>(caps, CmdCapability::Program);
    Register<CFrameCmdSave>(caps, CmdCapability::Save);
    Register<CFrameCmdLdram>(caps);
    Register<CFrameCmdCmpMemory>(caps, CmdCapability::Verify);
    Register<CFrameCmdBlankCheck>(caps, CmdCapability::BlankCheck);
    Register<CFrameCmdSetMemory>(caps, CmdCapability::Program);
    Register<CFrameCmdNandNewChip>(caps, CmdCapability::NandTools);
    Register<CFrameCmdNandMFC>(caps, CmdCapability::NandTools);
    Register<CFrameCmdNandSmartcopy>(caps, CmdCapability::NandTools);
    Register<CFrameCmdConfig>(caps);
    Register<CFrameCmdAbout>(caps);
    Register<CFrameCmdCls>(caps);
    Register<CFrameCmdErase>(caps, CmdCapability::Erase);
    Register<CFrameCmdSpeed>(caps);
    Register<CFrameCmdDevices>(caps);
    Register<CFrameCmdLog>(caps);
    Register<CFrameCmdScripts>(caps);
    Register<CFrameCmdColor>(caps);
    Register<CFrameCmdRandomFile>(caps);
    Register<CFrameCmdDisplay>(caps);
}

void CCmdProcessor::ClearCommands()
{
    m_commands.clear();
    m_awaitCode = 0;
    UnloadScript();
}

void CCmdProcessor::ResetScript()
{
    m_awaitCode = 0;
    UnloadScript();
}

void CCmdProcessor::UnloadScript()
{
    m_chipWaiter.Stop();
    // A chip the script was working on gets its line, whatever it reached.
    if (m_report.ChipOpen())
        EndChipRecord();
    m_script->Clear();
    m_production.Reset();
    m_report.Close();
    m_serial.reset();
    m_chipsBefore = m_report.Total();
    m_passedBefore = m_report.Passed();
}

void CCmdProcessor::EndScript()
{
    UnloadScript();
    LogString(Text(106));
}

CCmd *CCmdProcessor::FindCommand(const QString &name) const
{
    for (const auto &command : m_commands) {
        if (command->m_name.compare(name, Qt::CaseInsensitive) == 0)
            return command.get();
    }
    return nullptr;
}

int CCmdProcessor::RunCommand(const QString &line)
{
    // Only the space separates words; a tab stays part of its word.
    QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return CMD_BAD;

    // Echoed before the lookup, so unknown words show up in the log too.
    LogString(QLatin1Char('-') + line);

    CCmd *command = FindCommand(words.first());
    if (!command)
        return CMD_BAD;
    words.removeFirst();
    return command->execute(words, m_programmer);
}

void CCmdProcessor::ListCommands() const
{
    for (const auto &command : m_commands)
        LogString(QLatin1Char(' ') + command->m_name);
}

bool CCmdProcessor::CompleteCommand(const QString &prefix, QString &current) const
{
    if (prefix.isEmpty())
        return false;

    QStringList matches;
    for (const auto &command : m_commands) {
        if (command->m_name.startsWith(prefix, Qt::CaseInsensitive))
            matches << command->m_name;
    }
    if (matches.isEmpty())
        return false;

    const qsizetype at = current.isEmpty() ? -1 : matches.indexOf(current);
    current = at < 0 ? matches.first() : matches[(at + 1) % matches.size()];
    return true;
}

void CCmdProcessor::NotifyConsole(int code)
{
    // 0 means no code is awaited: a script paused by "pause" or a bad command
    // must not be resumed by an operation that happens to report code 0.
    if (m_awaitCode == 0 || uint8_t(code & 0xFF) != m_awaitCode || !m_script->IsLoaded())
        return;
    m_awaitCode = 0;
    m_production.StopOperationTimer();
    RunScript();
}

void CCmdProcessor::NotifyOutcome(const COperationOutcome &outcome)
{
    m_lastOutcome = outcome;
    if (m_script->IsLoaded())
        m_report.NoteOutcome(outcome);
    if (outcome.done()) {
        NotifyConsole(outcome.code);
        return;
    }
    if (!outcome.failed())
        return;
    if (m_script->IsLoaded())
        m_production.CountFailure();
    // Only one operation runs at a time: a failure while the script waits
    // is the failure of the operation it waits for, whatever code it ended
    // with (a smart copy fails in its layout, before its program).
    if (m_awaitCode != 0 && m_script->IsLoaded())
        OnAwaitedFailure();
}

void CCmdProcessor::NoteOutcome(const COperationOutcome &outcome)
{
    m_lastOutcome = outcome;
    if (m_script->IsLoaded())
        m_report.NoteOutcome(outcome);
}

uint32_t CCmdProcessor::resultValue() const
{
    switch (m_lastOutcome.result) {
    case COperationOutcome::EResult::None:
        return 0;
    case COperationOutcome::EResult::Done:
        return 1;
    case COperationOutcome::EResult::Failed:
        return 2;
    }
    return 0;
}
