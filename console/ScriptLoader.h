#pragma once

// Turns a script text into statement lines and labels. Besides the
// operator's labels it generates one label per "if", "else" and "endif"
// ("if_1", "if_1_2_else", "if_1_endif", ...) so that each "if" finds its
// branches by name at run time, and rewrites every "else" into a jump to the
// matching "endif".

#include <QByteArray>

#include <array>
#include <vector>

struct SScriptLabel
{
    QByteArray name;
    int line;  // statement line the label refers to
};

class CScriptLoader
{
public:
    // "if" blocks nest this many levels deep.
    static constexpr int kMaxIfDepth = 10;

    // Reads the whole text. False (and a log line) when a line is longer
    // than kScriptMaxLineBytes: a cut line could run a command with other
    // arguments than written, so such a text is not used at all.
    bool Parse(const QByteArray &text);

    std::vector<QByteArray> m_lines;
    std::vector<SScriptLabel> m_labels;

private:
    void AddStatement(const QByteArray &line);
    void OpenIf();
    // The line to store for an "else".
    QByteArray Else(const QByteArray &line);
    void EndIf();
    // "if" and the counters of every open level: "if_1_2".
    QByteArray LevelName() const;
    void AddLabel(const QByteArray &name);

    int m_depth = 0;
    // "if"s nested beyond the limit that are still open; they get no labels,
    // and their "else"/"endif" must not close the levels around them.
    int m_excess = 0;
    std::array<bool, kMaxIfDepth> m_open{};
    std::array<int, kMaxIfDepth> m_count{};
};
