#include "Script.h"

#include "AppDirectory.h"
#include "Cmd.h"
#include "FrameServices.h"
#include "ProductionTexts.h"
#include "UiText.h"
#include "ScriptText.h"

#include <QFile>

namespace {

QString LocalText(const QByteArray &bytes)
{
    return QString::fromLocal8Bit(bytes);
}

void LogLabelNotFound(const QByteArray &name)
{
    LogString(QStringLiteral("Label %1 not found").arg(LocalText(name)));
}

bool WordIs(const QByteArray &word, const char *keyword)
{
    return word.compare(keyword, Qt::CaseInsensitive) == 0;
}

} // namespace

CScript::CScript(int depth)
    : m_depth(depth)
{
}

CScript::~CScript() = default;

bool CScript::Load(const QByteArray &text)
{
    CScriptLoader loader;
    if (!loader.Parse(text))
        return false;
    m_lines = std::move(loader.m_lines);
    m_labels = std::move(loader.m_labels);
    m_current = 0;
    m_options.clear();
    m_child.reset();
    m_failed = false;
    m_ifTerm = IF_TERM_MEMORY;
    m_ifOp = 0;
    m_ifValue = 0;
    m_ifNext = 0;
    m_ifElse = -1;
    m_ifEnd = -1;
    return true;
}

bool CScript::LoadByName(const QByteArray &line)
{
    // The name has to be a whole word: a name cut short by a byte that may
    // not stand in a word would open another script than the one typed.
    // Names in UTF-8 are whole words too; any other byte above 0x7F is not.
    const QList<QByteArray> words = ScriptStartWords(line);
    if (words.isEmpty()) {
        LogText("Bad command");
        return false;
    }
    const QByteArray &name = words.first();
    // A control byte right after the name cuts it short.
    const QByteArray rest = SkipScriptBlanks(line);
    const bool wholeWord = rest.size() == name.size() || IsScriptBlank(rest.at(name.size()));
    if (!wholeWord || !IsScriptName(name)) {
        if (IsScriptNameUtf8Fault(name))
            LogString(Text(ProductionText::NameNotUtf8).arg(QString::fromLatin1(name)));
        LogText("Bad command");
        return false;
    }
    return LoadFile(name, words);
}

bool CScript::LoadFile(const QByteArray &name, const QList<QByteArray> &args)
{
    if (name.isEmpty() || name.size() > kScriptMaxNameBytes) {
        LogText("Bad command");
        return false;
    }
    QFile file(AppDirectory(DIR_SCRIPT) + LocalText(name) + QStringLiteral(".usp"));
    if (!file.open(QIODevice::ReadOnly)) {
        LogText("Bad command");
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        LogText("Bad command");
        return false;
    }
    if (!Load(text))
        return false;
    m_args = args;
    return true;
}

bool CScript::LoadText(const QByteArray &text, const QList<QByteArray> &args)
{
    if (!Load(text))
        return false;
    m_args = args;
    return true;
}

void CScript::Clear()
{
    Load(QByteArray());
    // The script timer belongs to the top-level script: a wait of the script
    // that is gone must not resume the next one.
    if (m_depth == 0)
        Frame()->StopScriptTimer();
}

QByteArray CScript::Line(int index) const
{
    if (index < 0 || index >= LineCount())
        return {};
    return m_lines[static_cast<size_t>(index)];
}

int CScript::FindLabel(const QByteArray &name) const
{
    for (const SLabel &label : m_labels) {
        if (label.name == name)
            return label.line;
    }
    return -1;
}

const CScript *CScript::Active() const
{
    const CScript *script = this;
    while (script->m_child)
        script = script->m_child.get();
    return script;
}

CScript *CScript::Active()
{
    CScript *script = this;
    while (script->m_child)
        script = script->m_child.get();
    return script;
}

bool CScript::HasOptions() const
{
    return !Active()->m_options.empty();
}

bool CScript::SelectOption(const QString &text)
{
    CScript *script = Active();
    const int number = LeadingDecimal(text.toLocal8Bit());
    for (const SOption &option : script->m_options) {
        if (option.number == number) {
            script->m_current = option.line;
            return true;
        }
    }
    return false;
}

void CScript::EvaluateIf(uint32_t termValue)
{
    CScript *script = Active();
    const bool equal = script->m_ifValue == termValue;
    const bool holds = script->m_ifOp == 0 ? equal : !equal;
    if (holds)
        script->m_current = script->m_ifNext;
    else
        script->m_current = script->m_ifElse >= 0 ? script->m_ifElse : script->m_ifEnd;
}

bool CScript::JumpTo(const QByteArray &label)
{
    // The innermost script that has the label takes the jump; the scripts it
    // had started end with it.
    std::vector<CScript *> chain;
    for (CScript *script = this; script; script = script->m_child.get())
        chain.push_back(script);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        CScript *script = *it;
        const int line = script->FindLabel(label);
        if (line < 0)
            continue;
        script->m_child.reset();
        script->m_current = line;
        script->m_options.clear();
        return true;
    }
    return false;
}

ScriptIfTerm CScript::IfTerm() const
{
    return Active()->m_ifTerm;
}

QByteArray CScript::NextLine()
{
    m_options.clear();
    if (m_child) {
        QByteArray line = m_child->NextLine();
        if (!line.isEmpty())
            return line;
        if (EndChild())
            return {};
    }
    // Lines fetched in this call: without a line handed out in between, a
    // jump back to one of them would repeat forever.
    std::vector<bool> visited(m_lines.size(), false);
    QByteArray result;
    for (;;) {
        const int index = m_current;
        m_current = index + 1;
        if (index < 0 || index >= LineCount())
            return {};
        if (ExecuteLine(index, visited, result))
            return result;
    }
}

bool CScript::EndChild()
{
    const bool failed = m_child->m_failed;
    m_child.reset();
    if (failed) {
        m_failed = true;
        return true;
    }
    LogText(" ");
    return false;
}

bool CScript::ExecuteLine(int index, std::vector<bool> &visited, QByteArray &result)
{
    visited[static_cast<size_t>(index)] = true;
    const QByteArray &line = m_lines[static_cast<size_t>(index)];
    if (line.contains("//")) {
        LogString(LocalText(line));
        return false;
    }
    const QList<QByteArray> words = ScriptWords(line);
    if (words.isEmpty()) {
        // A control byte or a non-ASCII byte where the command should be.
        LogText("Skipped a script line that does not begin with a command");
        return false;
    }
    const QByteArray &keyword = words.first();
    if (WordIs(keyword, "echo")) {
        QByteArray text;
        for (qsizetype i = 1; i < words.size(); ++i)
            text += words.at(i) + ' ';
        LogString(LocalText(text));
        return false;
    }
    if (WordIs(keyword, "goto")) {
        Goto(words, visited);
        return false;
    }
    if (WordIs(keyword, "run"))
        return Run(line, words, result);
    if (WordIs(keyword, "option")) {
        ParseOption(words);
        result = line;
        return true;
    }
    if (WordIs(keyword, "if")) {
        ParseIf(words);
        result = line;
        return true;
    }
    if (WordIs(keyword, "endif"))
        return false;
    result = CommandLine(words);
    return true;
}

void CScript::Goto(const QList<QByteArray> &words, const std::vector<bool> &visited)
{
    const QByteArray name = words.size() > 1 ? words.at(1) : QByteArray();
    const int target = name.isEmpty() ? -1 : FindLabel(name);
    if (target >= 0 && target < LineCount() && visited[static_cast<size_t>(target)]) {
        LogText("loop detected!");
        return;
    }
    m_current = target;
    if (target < 0)
        LogLabelNotFound(name);
}

bool CScript::Run(const QByteArray &line, const QList<QByteArray> &words, QByteArray &result)
{
    LogString(LocalText(line));
    result.clear();
    if (m_depth + 1 >= kMaxNesting) {
        LogText("Scripts nested too deep");
        m_failed = true;
        return true;
    }
    // The words of the statement end at the first byte above 0x7F, which a
    // UTF-8 name holds: the name and arguments come from the line itself.
    (void)words;
    const QList<QByteArray> startWords = ScriptStartWords(SkipScriptBlanks(line).mid(3));
    QByteArray startLine;
    for (const QByteArray &word : startWords)
        startLine += ' ' + SubstituteScriptArgument(word, m_args);
    m_child = std::make_unique<CScript>(m_depth + 1);
    if (!m_child->LoadByName(startLine)) {
        m_child.reset();
        m_failed = true;
        return true;
    }
    result = m_child->NextLine();
    if (!result.isEmpty())
        return true;
    // A script with nothing to hand out (only comments and echo lines, say)
    // has simply ended; this one carries on.
    return EndChild();
}

void CScript::ParseOption(const QList<QByteArray> &words)
{
    LogText("Please select");
    for (qsizetype i = 1; i + 1 < words.size(); i += 2) {
        const int number = LeadingDecimal(words.at(i));
        const int line = FindLabel(words.at(i + 1));
        if (line < 0)
            LogLabelNotFound(words.at(i + 1));
        else if (number > 0)
            m_options.push_back({number, line});
    }
}

void CScript::ParseIf(const QList<QByteArray> &words)
{
    // The jump targets always belong to this "if", whatever is wrong with
    // its condition: the targets of an earlier "if" could lead backwards and
    // round in circles.
    m_ifNext = m_current;
    m_ifElse = -1;
    m_ifEnd = -1;
    for (const SLabel &label : m_labels) {
        if (label.line == m_current) {
            m_ifElse = FindLabel(label.name + "_else");
            m_ifEnd = FindLabel(label.name + "_endif");
            break;
        }
    }
    if (words.size() < 4) {
        LogText("Check if statement");
        return;
    }
    static const char *const terms[] = {"MEMORY", "PEEK", "FLASHSET", "CMPRAM"};
    m_ifTerm = IF_TERM_OTHER;
    for (int i = 0; i < 4; ++i) {
        if (words.at(1) == terms[i])
            m_ifTerm = static_cast<ScriptIfTerm>(i);
    }
    if (words.at(1) == "RESULT")
        m_ifTerm = IF_TERM_RESULT;
    if (words.at(1) == "CHIPS")
        m_ifTerm = IF_TERM_CHIPS;
    if (words.at(1) == "PASSED")
        m_ifTerm = IF_TERM_PASSED;
    if (m_ifTerm == IF_TERM_OTHER)
        return;
    if (words.at(2) == "==")
        m_ifOp = 0;
    else if (words.at(2) == "!=")
        m_ifOp = 1;
    else
        LogText("operator error");
    // The value may be a script argument (a batch size given at the start).
    m_ifValue = static_cast<uint32_t>(
        ParseHexArgument(QString::fromLatin1(SubstituteScriptArgument(words.at(3), m_args))));
}

QByteArray CScript::CommandLine(const QList<QByteArray> &words) const
{
    QByteArray line = words.first();
    for (qsizetype i = 1; i < words.size(); ++i)
        line += ' ' + SubstituteScriptArgument(words.at(i), m_args);
    return line;
}
