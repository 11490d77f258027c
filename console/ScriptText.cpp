#include "ScriptText.h"

#include <QUtf8StringView>

#include <algorithm>
#include <climits>

QList<SScriptTextLine> SplitScriptText(const QByteArray &text)
{
    QList<SScriptTextLine> lines;
    qsizetype pos = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const qsizetype size = text.size();
    int number = 1;
    qsizetype start = pos;
    while (pos < size) {
        const char c = text.at(pos);
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines.append({text.mid(start, pos - start), number++});
        // A line end is one byte, or a CR LF / LF CR pair.
        const char other = c == '\r' ? '\n' : '\r';
        pos += (pos + 1 < size && text.at(pos + 1) == other) ? 2 : 1;
        start = pos;
    }
    if (start < size)
        lines.append({text.mid(start), number});
    return lines;
}

bool IsScriptBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsScriptWordByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x21 && b <= 0x7F;
}

QByteArray SkipScriptBlanks(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && IsScriptBlank(line.at(i)))
        ++i;
    return line.mid(i);
}

QList<QByteArray> ScriptWords(const QByteArray &line)
{
    QList<QByteArray> words;
    qsizetype i = 0;
    const qsizetype size = line.size();
    while (i < size) {
        const char c = line.at(i);
        if (IsScriptBlank(c)) {
            ++i;
            continue;
        }
        if (!IsScriptWordByte(c))
            break;
        const qsizetype start = i;
        while (i < size && IsScriptWordByte(line.at(i)))
            ++i;
        words.append(line.mid(start, i - start));
    }
    return words;
}

bool IsScriptLabelLine(const QByteArray &line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return false;
    const qsizetype space = line.indexOf(' ');
    return space < 0 || colon < space;
}

QByteArray SubstituteScriptArgument(const QByteArray &word, const QList<QByteArray> &args)
{
    if (word.size() < 2 || word.at(0) != '%')
        return word;
    qsizetype index = 0;
    for (qsizetype i = 1; i < word.size(); ++i) {
        const char c = word.at(i);
        if (c < '0' || c > '9')
            return word;
        // Numbers past the argument count only need to stay past it.
        if (index <= args.size())
            index = index * 10 + (c - '0');
    }
    if (index == 0)
        return word;
    return index < args.size() ? args.at(index) : QByteArray();
}

int LeadingDecimal(const QByteArray &text)
{
    qsizetype i = 0;
    while (i < text.size() && IsScriptBlank(text.at(i)))
        ++i;
    long long value = 0;
    for (; i < text.size() && text.at(i) >= '0' && text.at(i) <= '9'; ++i) {
        value = value * 10 + (text.at(i) - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

QList<QByteArray> ScriptStartWords(const QByteArray &line)
{
    QList<QByteArray> words;
    QByteArray word;
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsScriptBlank(c)) {
            if (!word.isEmpty())
                words << word;
            word.clear();
            continue;
        }
        if (byte < 0x21)
            break;  // a control byte ends the line's words
        word += c;
    }
    if (!word.isEmpty())
        words << word;
    return words;
}

namespace {

bool HasHighBytes(const QByteArray &name)
{
    return std::any_of(name.cbegin(), name.cend(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

} // namespace

bool IsScriptNameUtf8Fault(const QByteArray &name)
{
    return HasHighBytes(name) && !QUtf8StringView(name).isValidUtf8();
}

bool IsScriptName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > kScriptMaxNameBytes)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21)
            return false;
    }
    return !IsScriptNameUtf8Fault(name);
}
