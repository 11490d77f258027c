#include "HexText.h"

#include <algorithm>
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

int HexAddressChars(uint64_t address, int digits, char *out)
{
    int length = 0;
    if (address >= kFourGiB) {
        length = std::snprintf(out, kHexAddressRoom, "%02X%08X", unsigned(address >> 32),
                               unsigned(address & 0xFFFFFFFFu));
    } else {
        char format[16];
        std::snprintf(format, sizeof format, "%%0%uX", unsigned(digits));
        length = std::snprintf(out, kHexAddressRoom, format, unsigned(address));
    }
    return length < 0 ? 0 : std::min(length, kHexAddressRoom - 1);
}

int HexRowChars(const uint8_t *bytes, int count, char *out)
{
    int length = 0;
    for (int i = 0; i < count && i < 16; ++i) {
        if (i > 0)
            out[length++] = i == 8 ? '-' : ' ';
        out[length++] = kDigits[bytes[i] >> 4];
        out[length++] = kDigits[bytes[i] & 0x0F];
    }
    return length;
}

int HexCharChars(const uint8_t *bytes, int count, char *out)
{
    int length = 0;
    for (int i = 0; i < count && i < 16; ++i)
        out[length++] = bytes[i] >= 0x20 && bytes[i] <= 0x7E ? char(bytes[i]) : '.';
    return length;
}

QString HexAddressText(uint64_t address, int digits)
{
    char text[kHexAddressRoom];
    return QString::fromLatin1(text, HexAddressChars(address, digits, text));
}

QString HexRowText(const uint8_t *bytes, int count)
{
    char text[kHexRowRoom];
    return QString::fromLatin1(text, HexRowChars(bytes, count, text));
}

QString HexCharText(const uint8_t *bytes, int count)
{
    char text[kHexCharRoom];
    return QString::fromLatin1(text, HexCharChars(bytes, count, text));
}
