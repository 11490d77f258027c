#include "ScriptLoader.h"

#include "FrameServices.h"
#include "ScriptText.h"

bool CScriptLoader::Parse(const QByteArray &text)
{
    const QList<SScriptTextLine> lines = SplitScriptText(text);
    for (const SScriptTextLine &raw : lines) {
        if (raw.text.size() > kScriptMaxLineBytes) {
            LogString(QStringLiteral("Script line %1 is longer than %2 bytes")
                          .arg(raw.number)
                          .arg(kScriptMaxLineBytes));
            m_lines.clear();
            m_labels.clear();
            return false;
        }
        const QByteArray line = SkipScriptBlanks(raw.text);
        if (line.isEmpty())
            continue;
        if (IsScriptLabelLine(line))
            AddLabel(line.left(line.indexOf(':')));
        else
            AddStatement(line);
    }
    return true;
}

void CScriptLoader::AddStatement(const QByteArray &line)
{
    // The structure words are recognised as lower-case line prefixes.
    if (line.startsWith("if")) {
        OpenIf();
        m_lines.push_back(line);
    } else if (line.startsWith("else")) {
        m_lines.push_back(Else(line));
    } else {
        if (line.startsWith("endif"))
            EndIf();
        m_lines.push_back(line);
    }
}

void CScriptLoader::OpenIf()
{
    if (m_excess > 0) {
        ++m_excess;
        LogText("If statement too deep");
        return;
    }
    if (m_open[m_depth]) {
        if (m_depth + 1 >= kMaxIfDepth) {
            m_excess = 1;
            LogText("If statement too deep");
            return;
        }
        ++m_depth;
        m_open[m_depth] = false;
        m_count[m_depth] = 0;
    }
    ++m_count[m_depth];
    m_open[m_depth] = true;
    // The label points at the line after this "if", which is about to be
    // stored at index m_lines.size().
    m_labels.push_back({LevelName(), static_cast<int>(m_lines.size()) + 1});
}

QByteArray CScriptLoader::Else(const QByteArray &line)
{
    if (m_excess > 0)
        return line;  // belongs to an "if" without labels
    if (!m_open[m_depth])
        --m_depth;
    if (m_depth < 0) {
        LogText("Check statement for else");
        m_depth = 0;
        return line;
    }
    const QByteArray base = LevelName();
    m_labels.push_back({base + "_else", static_cast<int>(m_lines.size()) + 1});
    return "goto " + base + "_endif";
}

void CScriptLoader::EndIf()
{
    if (m_excess > 0) {
        --m_excess;
        return;
    }
    if (!m_open[m_depth])
        --m_depth;
    if (m_depth < 0) {
        LogText("Check statement for endif");
        m_depth = 0;
        return;
    }
    m_labels.push_back({LevelName() + "_endif", static_cast<int>(m_lines.size()) + 1});
    m_open[m_depth] = false;
}

QByteArray CScriptLoader::LevelName() const
{
    QByteArray name("if");
    for (int k = 0; k <= m_depth; ++k)
        name += '_' + QByteArray::number(m_count[k]);
    return name;
}

void CScriptLoader::AddLabel(const QByteArray &name)
{
    m_labels.push_back({name, static_cast<int>(m_lines.size())});
}
