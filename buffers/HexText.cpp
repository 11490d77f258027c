#include "HexText.h"

#include <cstdio>

namespace {
constexpr uint64_t kFourGiB = uint64_t(1) << 32;
constexpr char kDigits[] = "0123456789ABCDEF";
} // namespace

QString HexHeaderText()
{
    return QStringLiteral(" OFFSET   0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F     A S C I I");
}

int HexAddressDigits(uint64_t sizeField, uint64_t baseAddress, uint64_t size)
{
    const uint64_t lastAddress = baseAddress + (size ? size - 1 : 0);
    const bool wide = sizeField > kFourGiB || lastAddress >= kFourGiB || lastAddress < baseAddress;
    return wide ? 10 : 8;
}

QString HexAddressText(uint64_t address, int digits)
{
    char text[40];
    if (address >= kFourGiB) {
        std::snprintf(text, sizeof text, "%02X%08X", unsigned(address >> 32), unsigned(address & 0xFFFFFFFFu));
    } else {
        char format[16];
        std::snprintf(format, sizeof format, "%%0%uX", unsigned(digits));
        std::snprintf(text, sizeof text, format, unsigned(address));
    }
    return QString::fromLatin1(text);
}

QString HexRowText(const uint8_t *bytes, int count)
{
    if (count <= 0)
        return {};
    char text[16 * 3];
    int length = 0;
    for (int i = 0; i < count && i < 16; ++i) {
        text[length++] = kDigits[bytes[i] >> 4];
        text[length++] = kDigits[bytes[i] & 0x0F];
        text[length++] = i == 7 ? '-' : ' ';
    }
    return QString::fromLatin1(text, length - 1);
}

QString HexCharText(const uint8_t *bytes, int count)
{
    char text[16];
    int length = 0;
    for (int i = 0; i < count && i < 16; ++i)
        text[length++] = bytes[i] >= 0x20 && bytes[i] <= 0x7E ? char(bytes[i]) : '.';
    return QString::fromLatin1(text, length);
}
