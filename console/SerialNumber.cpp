#include "SerialNumber.h"

#include "AppSettings.h"
#include "ProductionTexts.h"
#include "UiText.h"

#include <QList>

#include <algorithm>

namespace {

bool KeywordIs(const QByteArray &word, const char *keyword)
{
    return word.compare(keyword, Qt::CaseInsensitive) == 0;
}

// A whole word in the given base; nothing for an empty word, a stray
// character or a value beyond 64 bits.
std::optional<uint64_t> WholeNumber(const QByteArray &word, int base)
{
    bool ok = false;
    const qulonglong value = word.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    return uint64_t(value);
}

} // namespace

QString CSerialNumber::SettingsKey()
{
    return QStringLiteral("ProductionSerial");
}

std::optional<CSerialNumber> CSerialNumber::Parse(const QList<QByteArray> &words, QString &error)
{
    error.clear();
    // words[0] is the keyword.
    if (words.size() < 4 || words.size() > 5) {
        error = ::Text(ProductionText::SerialUsage);
        return std::nullopt;
    }
    CSerialNumber serial;
    const auto offset = WholeNumber(words.at(1), 16);
    const auto width = WholeNumber(words.at(2), 10);
    if (KeywordIs(words.at(3), "dec"))
        serial.m_format = EFormat::Decimal;
    else if (KeywordIs(words.at(3), "hex"))
        serial.m_format = EFormat::Hex;
    else if (KeywordIs(words.at(3), "bin"))
        serial.m_format = EFormat::Binary;
    else {
        error = ::Text(ProductionText::SerialUsage);
        return std::nullopt;
    }
    const int maxWidth = serial.m_format == EFormat::Binary ? kMaxBinaryWidth : kMaxWidth;
    if (!offset || !width || *width < 1 || *width > uint64_t(maxWidth)) {
        error = ::Text(ProductionText::SerialUsage);
        return std::nullopt;
    }
    serial.m_offset = *offset;
    serial.m_width = int(*width);
    if (words.size() == 5) {
        const auto first = WholeNumber(words.at(4), serial.m_format == EFormat::Decimal ? 10 : 16);
        if (!first) {
            error = ::Text(ProductionText::SerialUsage);
            return std::nullopt;
        }
        serial.m_first = *first;
    }
    return serial;
}

uint64_t CSerialNumber::Next() const
{
    bool ok = false;
    const qulonglong stored = AppSettings().ReadString(SettingsKey()).toULongLong(&ok, 10);
    return std::max<uint64_t>(ok ? stored : 0, m_first);
}

void CSerialNumber::Advance() const
{
    AppSettings().WriteString(SettingsKey(), QString::number(Next() + 1));
}

std::optional<QByteArray> CSerialNumber::Bytes(uint64_t value) const
{
    if (m_format == EFormat::Binary) {
        if (m_width < 8 && value >> (8 * m_width) != 0)
            return std::nullopt;
        QByteArray bytes(m_width, 0);
        for (int i = 0; i < m_width; ++i)
            bytes[m_width - 1 - i] = char(uint8_t(value >> (8 * i)));
        return bytes;
    }
    const QByteArray digits = QByteArray::number(qulonglong(value), m_format == EFormat::Hex ? 16 : 10).toUpper();
    if (digits.size() > m_width)
        return std::nullopt;
    return QByteArray(m_width - digits.size(), '0') + digits;
}

QString CSerialNumber::Text(uint64_t value) const
{
    switch (m_format) {
    case EFormat::Decimal:
        return QString::number(value).rightJustified(m_width, QLatin1Char('0'));
    case EFormat::Hex:
        return QString::number(value, 16).toUpper().rightJustified(m_width, QLatin1Char('0'));
    case EFormat::Binary:
        break;
    }
    // Bytes separated by colons, as a MAC address is written.
    QStringList bytes;
    for (int i = m_width - 1; i >= 0; --i)
        bytes << QStringLiteral("%1").arg(uint(uint8_t(value >> (8 * i))), 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(':'));
}
