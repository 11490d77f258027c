#pragma once

// A loaded script file: its statement lines, its labels (the operator's and
// the ones the loader generates for if/else/endif), the arguments it was
// started with, the pending option menu and the nested script started by
// "run". NextLine() executes the statements the script handles itself (echo,
// goto, comments, run, the parsing of option and if) and hands every other
// line to the runner of the command processor.

#include "ScriptLoader.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The term an "if" tests.
enum ScriptIfTerm {
    IF_TERM_MEMORY = 0,
    IF_TERM_PEEK = 1,
    IF_TERM_FLASHSET = 2,
    IF_TERM_CMPRAM = 3,
    IF_TERM_OTHER = 4,  // any other word: reads as 1
    IF_TERM_RESULT = 5, // the last operation: 0 none yet, 1 done, 2 failed
    IF_TERM_CHIPS = 6,  // chips the production report has counted this session
    IF_TERM_PASSED = 7, // of them, the chips that passed
};

class CScript
{
public:
    using SLabel = SScriptLabel;
    struct SOption
    {
        int number;
        int line;
    };

    // `depth` is 0 for the top-level script and grows by one per "run".
    explicit CScript(int depth = 0);
    ~CScript();
    CScript(const CScript &) = delete;
    CScript &operator=(const CScript &) = delete;

    // Replaces lines and labels by those of `text` and starts at its first
    // line; a running nested script and pending options are dropped. An
    // empty text unloads the script. A text with a line longer than
    // kScriptMaxLineBytes is refused as a whole (logged, false): the script
    // stays as it was.
    bool Load(const QByteArray &text);

    // Starts the script named by the first word of `line`, the further words
    // being its arguments %1, %2, ... Logs "Bad command" and returns false
    // when the line has no usable name or the file cannot be read; the
    // previous lines and arguments then stay.
    bool LoadByName(const QByteArray &line);
    bool LoadByName(const QString &line) { return LoadByName(line.toLocal8Bit()); }

    // Loads the file named exactly `name` plus ".usp" from the script folder
    // (spaces allowed), with `args` as its start words (args[0] is normally
    // the name). Same failure handling as LoadByName.
    bool LoadFile(const QByteArray &name, const QList<QByteArray> &args);
    // Loads a script text read elsewhere (a file named on the command line)
    // with `args` as its start words.
    bool LoadText(const QByteArray &text, const QList<QByteArray> &args);

    // Unloads the script (as Load of an empty text) and cancels its timer.
    void Clear();

    // Executes the statements up to the next line the runner must handle and
    // returns it; empty means the script has ended.
    QByteArray NextLine();

    bool IsEmpty() const { return m_lines.empty(); }
    bool IsLoaded() const { return !m_lines.empty(); }

    // Option menu and condition of the script whose line was handed out
    // last: the innermost nested script while one runs.
    bool HasOptions() const;
    // Jumps to the pending option whose number starts `text`; false when no
    // option has that number.
    bool SelectOption(const QString &text);
    // Continues after the last "if" when `termValue` fulfils its condition,
    // else at its "else" or, without one, after its "endif".
    void EvaluateIf(uint32_t termValue);
    ScriptIfTerm IfTerm() const;

    // Continues the active script at `label`; false (and no jump) when it
    // has no such label.
    bool JumpTo(const QByteArray &label);

    // Label lookup: exact, first match; -1 when there is none.
    int FindLabel(const QByteArray &name) const;

    // For the runner's tests and diagnostics.
    int LineCount() const { return static_cast<int>(m_lines.size()); }
    QByteArray Line(int index) const;
    const std::vector<SLabel> &Labels() const { return m_labels; }
    const std::vector<SOption> &Options() const { return m_options; }
    const QList<QByteArray> &Args() const { return m_args; }
    int Current() const { return m_current; }
    const CScript *Child() const { return m_child.get(); }

    // Scripts may start each other this many levels deep (the top level
    // included); a deeper "run" ends the whole script.
    static constexpr int kMaxNesting = 16;

private:
    // The script whose condition and options are in force.
    const CScript *Active() const;
    CScript *Active();

    // One fetch step of NextLine on line `index`; true when `result` holds
    // the line to hand out (or the end), false to fetch the next line.
    bool ExecuteLine(int index, std::vector<bool> &visited, QByteArray &result);
    void Goto(const QList<QByteArray> &words, const std::vector<bool> &visited);
    bool Run(const QByteArray &line, const QList<QByteArray> &words, QByteArray &result);
    void ParseOption(const QList<QByteArray> &words);
    void ParseIf(const QList<QByteArray> &words);
    QByteArray CommandLine(const QList<QByteArray> &words) const;
    // The nested script ended: true when the whole script has to end too.
    bool EndChild();

    QList<QByteArray> m_args;  // start words: name, then arguments
    int m_current = 0;
    std::vector<QByteArray> m_lines;
    std::vector<SLabel> m_labels;
    std::vector<SOption> m_options;
    std::unique_ptr<CScript> m_child;
    int m_depth = 0;
    bool m_failed = false;  // a "run" failed: every calling script ends too
    ScriptIfTerm m_ifTerm = IF_TERM_MEMORY;
    int m_ifOp = 0;  // 0 "==", 1 "!="
    uint32_t m_ifValue = 0;
    int m_ifNext = 0;
    int m_ifElse = -1;
    int m_ifEnd = -1;
};
