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
    QString work = line;
    QString key = DeviceKeyword(index) + QStringLiteral("=\"");
    if (!KeepsCase(index)) {
        work = work.toUpper();
        key = key.toUpper();
    }

    qsizetype pos = work.indexOf(key);
    // A letter right before the match means it is the tail of a longer key;
    // spoil that occurrence and look again from the start.
    while (pos > 0 && IsUpperAsciiLetter(work.at(pos - 1))) {
        work.replace(pos, 2, QStringLiteral("*"));
        pos = work.indexOf(key);
    }
    if (pos < 0)
        return false;

    const qsizetype start = pos + key.size();
    const qsizetype end = work.indexOf(QLatin1Char('"'), start);
    const QString value = end < 0 ? work.mid(start) : work.mid(start, end - start);
    if (text) {
        *text = value;
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
