#pragma once

// The texts of the hex view: addresses, rows of hex cells, rows of
// characters, and the header.

#include <QString>

#include <cstdint>

// " OFFSET   0  1 ... F     A S C I I"
QString HexHeaderText();

// 8 digits, or 10 when the buffer's size passes 4 GiB or its addresses do not
// fit in 32 bits (a base address near 4 GiB would otherwise push the wider
// address form into the hex column).
int HexAddressDigits(uint64_t sizeField, uint64_t baseAddress, uint64_t size);

// Upper-case hex padded to `digits`; an address past 32 bits as two digits
// of its high half and eight of its low half.
QString HexAddressText(uint64_t address, int digits);

// "XX XX XX XX XX XX XX XX-XX ..." for up to 16 bytes, no blank after the last.
QString HexRowText(const uint8_t *bytes, int count);

// Printable ASCII as itself, every other byte as ".".
QString HexCharText(const uint8_t *bytes, int count);

// The same texts written into a character array, for the paint loop; each
// returns the length written. Room needed: 24, 47 and 16 characters.
constexpr int kHexAddressRoom = 24;
constexpr int kHexRowRoom = 47;
constexpr int kHexCharRoom = 16;
int HexAddressChars(uint64_t address, int digits, char *out);
int HexRowChars(const uint8_t *bytes, int count, char *out);
int HexCharChars(const uint8_t *bytes, int count, char *out);
