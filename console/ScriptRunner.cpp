// Runs the loaded script and handles the lines typed in the console while
// one runs (or starts one when a typed word names no command).

#include "ScriptRunner.h"

#include "AppDirectory.h"
#include "Cmd.h"
#include "CmdProcessor.h"
#include "FrameServices.h"
#include "Script.h"
#include "ScriptText.h"
#include "UiText.h"

#include <QFileInfo>

namespace {

bool KeywordIs(const QByteArray &word, const char *keyword)
{
    return word.compare(keyword, Qt::CaseInsensitive) == 0;
}

// The value an "if" compares, read when the line runs.
uint32_t TermValue(const CCmdProcessor &processor, ScriptIfTerm term)
{
    switch (term) {
    case IF_TERM_MEMORY:
        return processor.memoryValue();
    case IF_TERM_PEEK:
        return processor.peekValue();
    case IF_TERM_FLASHSET:
        return processor.flashSetValue();
    case IF_TERM_CMPRAM:
        return Frame()->CompareFlag() ? 1 : 0;
    case IF_TERM_OTHER:
        break;
    }
    return 1;
}

} // namespace

int CCmdProcessor::RunScript()
{
    // Whatever resumed the script (a completion, the timer, Enter, a choice),
    // nothing it waited for before is awaited any longer.
    m_awaitCode = 0;
    Frame()->StopScriptTimer();
    for (int turn = 0; turn < kScriptLinesPerTurn; ++turn) {
        const QByteArray line = m_script->NextLine();
        if (line.isEmpty()) {
            m_script->Clear();
            LogString(Text(106));
            return CMD_DONE;
        }
        // Handed-out lines always begin with a word.
        const QList<QByteArray> words = ScriptWords(line);
        const QByteArray &keyword = words.first();
        if (KeywordIs(keyword, "pause")) {
            LogString(Text(104));
            return CMD_DONE;
        }
        if (KeywordIs(keyword, "option")) {
            m_awaitCode = CMD_DONE;  // waits for a choice; no operation reports this code
            return CMD_DONE;
        }
        if (KeywordIs(keyword, "wait")) {
            const int milliseconds = words.size() > 1 ? LeadingDecimal(words.at(1)) : 0;
            if (milliseconds != 0) {
                Frame()->StartScriptTimer(milliseconds);
                return CMD_DONE;
            }
            continue;
        }
        if (KeywordIs(keyword, "if")) {
            m_script->EvaluateIf(TermValue(*this, m_script->IfTerm()));
            continue;
        }
        if (keyword.contains("checkm"))
            continue;

        const int result = RunCommand(QString::fromLatin1(line));
        switch (result) {
        case CMD_DONE:
            continue;
        case CMD_BAD:
            LogString(Text(105));
            return CMD_BAD;  // paused: Enter runs on, other text ends it
        case CMD_FAILED:
        case CMD_ERROR:
            LogString(Text(result == CMD_FAILED ? 178 : 179));
            LogString(Text(106));
            m_awaitCode = 0;
            m_script->Clear();
            return result;
        default:
            m_awaitCode = static_cast<uint8_t>(result & 0xFF);
            return result;
        }
    }
    Frame()->StartScriptTimer(0);
    return CMD_DONE;
}

void CCmdProcessor::OnConsoleLine(const QString &text)
{
    if (m_script->IsLoaded()) {
        if (!m_script->HasOptions()) {
            if (text.isEmpty()) {
                RunScript();
            } else {
                LogString(Text(103));
                m_awaitCode = 0;
                m_script->Clear();
            }
            return;
        }
        if (text.isEmpty()) {
            LogString(Text(101));
        } else {
            LogString(text);
            if (m_script->SelectOption(text))
                RunScript();
            else
                LogString(Text(102));
        }
        return;
    }
    if (text.isEmpty())
        return;
    m_awaitCode = 0;
    m_script->Clear();
    if (RunCommand(text) == CMD_BAD && m_script->LoadByName(text))
        RunScript();
}

bool RunAutoScript(const QString &deviceName)
{
    const QByteArray name = deviceName.toLocal8Bit();
    if (name.isEmpty() || name.size() > kScriptMaxNameBytes)
        return false;
    if (!QFileInfo(AppDirectory(DIR_SCRIPT) + deviceName + QStringLiteral(".usp")).isFile())
        return false;
    if (!g_cmdProcessor.script().LoadFile(name, {name}))
        return false;
    g_cmdProcessor.RunScript();
    return true;
}
