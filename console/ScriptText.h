#pragma once

// The byte-level rules of script files, shared by the loader, the line
// fetcher and the start line of a script: how a text is cut into lines and a
// line into words, and how %N arguments are put in.

#include <QByteArray>
#include <QList>

// A script line holds at most this many bytes (its line end not counted).
inline constexpr int kScriptMaxLineBytes = 511;
// A script name, ".usp" and a terminator have to fit in 1028 bytes.
inline constexpr int kScriptMaxNameBytes = 1023;

// One physical line of a script text and its 1-based number in the file.
struct SScriptTextLine
{
    QByteArray text;
    int number;
};

// Cuts a text at CR LF, LF CR, a lone LF or a lone CR. A UTF-8 byte-order
// mark at the very start is dropped: editors add it, and it would otherwise
// hide the first line's command. Line ends are not part of the lines.
QList<SScriptTextLine> SplitScriptText(const QByteArray &text);

// Spaces and tabs separate words.
bool IsScriptBlank(char c);
// A word is made of bytes 0x21 to 0x7F.
bool IsScriptWordByte(char c);

// The line without its leading spaces and tabs.
QByteArray SkipScriptBlanks(const QByteArray &line);

// The words of a statement. Any byte that is neither a word byte nor a blank
// (a control byte, a byte of 0x80 or above) ends the statement there.
QList<QByteArray> ScriptWords(const QByteArray &line);

// A label line names a label before its first ":" (and that ":" comes before
// the first space, if there is one).
bool IsScriptLabelLine(const QByteArray &line);

// "%N" (N >= 1, decimal digits only) becomes argument N, or nothing when
// there are fewer arguments; any other word comes back unchanged. args[0]
// is the script's own name.
QByteArray SubstituteScriptArgument(const QByteArray &word, const QList<QByteArray> &args);

// The decimal number at the start of the text after optional blanks; 0 when
// there is none. Values beyond int clamp to the largest int.
int LeadingDecimal(const QByteArray &text);

// The words of a start line (a typed script name with its arguments, the
// rest of a "run" statement): split at blanks, ending at a control byte.
// Unlike statement words they may hold bytes above 0x7F, so that a name
// in UTF-8 reaches the name check whole instead of cut short.
QList<QByteArray> ScriptStartWords(const QByteArray &line);

// A usable script name: word bytes and whole UTF-8 sequences, no longer
// than kScriptMaxNameBytes.
bool IsScriptName(const QByteArray &name);
// The name holds bytes above 0x7F that are no valid UTF-8.
bool IsScriptNameUtf8Fault(const QByteArray &name);
