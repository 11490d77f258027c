// Runs the loaded script and handles the lines typed in the console while
// one runs (or starts one when a typed word names no command).

#include "ScriptRunner.h"

#include "AppDirectory.h"
#include "Cmd.h"
#include "CmdProcessor.h"
#include "FrameServices.h"
#include "ProductionTexts.h"
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
    case IF_TERM_RESULT:
        return processor.resultValue();
    case IF_TERM_CHIPS:
        return uint32_t(processor.scriptChips());
    case IF_TERM_PASSED:
        return uint32_t(processor.scriptPassed());
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
            UnloadScript();
            LogString(Text(106));
            return CMD_DONE;
        }
        // Handed-out lines always begin with a word.
        const QList<QByteArray> words = ScriptWords(line);
        const QByteArray &keyword = words.first();
        if (m_headless && (KeywordIs(keyword, "pause") || KeywordIs(keyword, "option"))) {
            LogString(Text(ProductionText::NobodyAnswers));
            m_production.MarkBadScript();
            EndScript();
            return CMD_ERROR;
        }
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
        if (RunProductionStatement(words))
            continue;
        bool waits = false;
        if (RunChipStatement(words, waits)) {
            if (waits)
                return CMD_DONE;
            if (!m_script->IsLoaded())
                return CMD_DONE;  // the wait failed at once and ended the script
            continue;
        }

        const int result = PrepareChipOperation(keyword) ? RunCommand(QString::fromLatin1(line)) : CMD_FAILED;
        switch (result) {
        case CMD_DONE:
            continue;
        case CMD_BAD:
            if (m_headless) {
                // Nobody is there to press Enter: the script is wrong.
                LogString(Text(ProductionText::BadLineEnds).arg(QString::fromLatin1(line)));
                m_production.MarkBadScript();
                EndScript();
                return CMD_BAD;
            }
            LogString(Text(105));
            return CMD_BAD;  // paused: Enter runs on, other text ends it
        case CMD_FAILED:
            // Refused (busy, not ready): an unattended script treats it as
            // the failure it is and goes on at its fail label.
            m_production.CountFailure();
            if (m_report.ChipOpen()) {
                COperationOutcome refused;
                refused.result = COperationOutcome::EResult::Failed;
                refused.operation = QString::fromLatin1(keyword);
                refused.reason = QString::fromLatin1(line);
                m_report.NoteOutcome(refused);
            }
            if (!m_production.FailLabel().isEmpty() && m_script->JumpTo(m_production.FailLabel())) {
                LogString(Text(ProductionText::FailJump).arg(QString::fromUtf8(m_production.FailLabel())));
                continue;
            }
            [[fallthrough]];
        case CMD_ERROR:
            if (result == CMD_ERROR)
                m_production.CountFailure();
            LogString(Text(result == CMD_FAILED ? 178 : 179));
            LogString(Text(106));
            m_awaitCode = 0;
            UnloadScript();
            return result;
        default:
            m_awaitCode = static_cast<uint8_t>(result & 0xFF);
            if (m_production.Timeout() > 0)
                m_production.StartOperationTimer([this] { OnOperationTimeout(); });
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
                UnloadScript();
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
    UnloadScript();
    if (RunCommand(text) == CMD_BAD && m_script->LoadByName(text)) {
        m_production.ResetFailures();
        RunScript();
    }
}

void CCmdProcessor::RunLines(const QStringList &lines)
{
    if (m_script->IsLoaded()) {
        LogString(Text(ProductionText::PasteWhileScript));
        return;
    }
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + '\n';
    m_awaitCode = 0;
    UnloadScript();
    if (!m_script->Load(text) || !m_script->IsLoaded())
        return;
    m_production.ResetFailures();
    RunScript();
}

bool CCmdProcessor::RunScriptText(const QByteArray &text, const QList<QByteArray> &args)
{
    m_awaitCode = 0;
    UnloadScript();
    m_production.ResetFailures();
    if (!m_script->LoadText(text, args) || !m_script->IsLoaded())
        return false;
    RunScript();
    return true;
}

bool CCmdProcessor::RunProductionStatement(const QList<QByteArray> &words)
{
    const QByteArray &keyword = words.first();
    const QByteArray word2 = words.size() > 1 ? words.at(1) : QByteArray();
    if (KeywordIs(keyword, "onfail")) {
        m_production.SetFailLabel(word2);
        return true;
    }
    if (KeywordIs(keyword, "timeout")) {
        m_production.SetTimeout(LeadingDecimal(word2));
        return true;
    }
    if (KeywordIs(keyword, "answer")) {
        if (KeywordIs(word2, "yes"))
            m_production.SetAnswer(CScriptProduction::EAnswer::Yes);
        else if (KeywordIs(word2, "no"))
            m_production.SetAnswer(CScriptProduction::EAnswer::No);
        else if (KeywordIs(word2, "ask"))
            m_production.SetAnswer(CScriptProduction::EAnswer::Ask);
        else
            LogString(Text(ProductionText::AnswerUsage));
        return true;
    }
    if (KeywordIs(keyword, "file")) {
        // The rest of the statement, as the operator wrote it.
        QByteArray path;
        for (qsizetype i = 1; i < words.size(); ++i)
            path += (i > 1 ? " " : "") + words.at(i);
        if (!path.isEmpty())
            m_production.QueueFileName(QString::fromUtf8(path));
        return true;
    }
    return false;
}

void CCmdProcessor::OnAwaitedFailure()
{
    m_production.StopOperationTimer();
    const QByteArray &label = m_production.FailLabel();
    if (label.isEmpty()) {
        if (m_headless) {
            LogString(Text(ProductionText::NobodyAnswers));
            m_awaitCode = 0;
            EndScript();
            return;
        }
        // Attended use: the operator looks at the failure and decides.
        LogString(Text(ProductionText::FailWaits));
        return;
    }
    m_awaitCode = 0;
    if (!m_script->JumpTo(label)) {
        LogString(QStringLiteral("Label %1 not found").arg(QString::fromUtf8(label)));
        UnloadScript();
        LogString(Text(106));
        return;
    }
    LogString(Text(ProductionText::FailJump).arg(QString::fromUtf8(label)));
    RunScript();
}

void CCmdProcessor::OnOperationTimeout()
{
    const uint8_t code = m_awaitCode;
    if (code == 0 || !m_script->IsLoaded())
        return;
    const QString reason = Text(ProductionText::TimedOut).arg(m_production.Timeout());
    // The window stops the operation and reports the failure back; a
    // frame that does not is answered here.
    const int failuresBefore = m_production.Failures();
    Frame()->FailOperation(code, reason);
    if (m_production.Failures() != failuresBefore || !m_script->IsLoaded())
        return;
    COperationOutcome outcome;
    outcome.result = COperationOutcome::EResult::Failed;
    outcome.code = code;
    outcome.reason = reason;
    NotifyOutcome(outcome);
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
    g_cmdProcessor.production().Reset();
    g_cmdProcessor.production().ResetFailures();
    g_cmdProcessor.RunScript();
    return true;
}
