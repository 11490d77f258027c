#include "DeviceKeys.h"

#include <array>

namespace {

const std::array<const char *, KEY_COUNT> g_keywords = {
    "Name",   "MFG",      "size",      "ID1",   "ID2",        "ID3",       "ID4",
    "ID5",    "Message",  "Adapter",   "Algo",  "PageSize",   "BlockSize", "Speed",
    "SectorSize", "SectorNum", "Init", "IO",    "Status",     "CE",
};

bool KeepsCase(int index)
{
    return index == KEY_MESSAGE || index == KEY_ADAPTER;
}

bool IsUpperAsciiLetter(QChar c)
{
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}

// The search text of a key: its keyword and the opening quote, upper-cased
// unless the key keeps its case. Built once.
const QString &SearchKey(int index, bool keepsCase)
{
    static const auto keys = [] {
        std::array<std::array<QString, 2>, KEY_COUNT> built;
        for (int i = 0; i < KEY_COUNT; ++i) {
            const QString key = QString::fromLatin1(g_keywords[size_t(i)]) + QStringLiteral("=\"");
            built[size_t(i)] = {key.toUpper(), key};
        }
        return built;
    }();
    return keys[size_t(index)][keepsCase ? 1 : 0];
}

// A list line is asked for one key after another: its upper-cased copy is
// made once per line, not once per key. The cache holds a reference to the
// line's text, so the same text pointer means the same line.
const QString &UpperCased(const QString &line)
{
    thread_local QString source;
    thread_local QString upper;
    const bool same = line.constData() == source.constData() && line.size() == source.size();
    if (!same || source.isNull() != line.isNull()) {
        source = line;
        upper = line.toUpper();
    }
    return upper;
}

} // namespace

QString DeviceKeyword(int index)
{
    if (index < 0 || index >= KEY_COUNT)
        return {};
    return QString::fromLatin1(g_keywords[index]);
}

bool GetAttribute(const QString &line, int index, QString *text, int *number)
{
    if (index < 0 || index >= KEY_COUNT)
        return false;
    // Keys match in any case: the line is searched upper-cased (and the value
    // comes from that copy), except for the keys whose value keeps its case.
    const bool keepsCase = KeepsCase(index);
    const QString &work = keepsCase ? line : UpperCased(line);
    const QString &key = SearchKey(index, keepsCase);

    // A letter right before the match means it is the tail of a longer key;
    // the next occurrence is looked at. (Occurrences of a key never overlap:
    // its only quote is its last character.)
    qsizetype pos = work.indexOf(key);
    while (pos > 0 && IsUpperAsciiLetter(work.at(pos - 1)))
        pos = work.indexOf(key, pos + 1);
    if (pos < 0)
        return false;

    const qsizetype start = pos + key.size();
    const qsizetype end = work.indexOf(QLatin1Char('"'), start);
    const QStringView value = end < 0 ? QStringView(work).mid(start) : QStringView(work).mid(start, end - start);
    if (text) {
        *text = value.toString();
        return true;
    }
    if (number) {
        bool ok = false;
        const int n = value.toInt(&ok, 10);
        *number = ok ? n : 0;
        return true;
    }
    return false;
}

uint64_t ParseHexDigits(const QString &value)
{
    bool ok = false;
    const qulonglong n = value.toULongLong(&ok, 16);
    return ok ? n : 0;
}

uint64_t ParseHex(const QString &value)
{
    QString digits = value;
    if (!digits.isEmpty() && digits.back().toLower() == QLatin1Char('h'))
        digits.chop(1);
    return ParseHexDigits(digits);
}

uint64_t ParseHexSuffixed(const QString &value)
{
    return ParseHexDigits(value.chopped(value.isEmpty() ? 0 : 1));
}

QString FormatAttribute(int index, const QString &value)
{
    return DeviceKeyword(index) + QStringLiteral("=\"") + value + QLatin1Char('"');
}
