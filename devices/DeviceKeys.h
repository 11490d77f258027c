#pragma once

// The attribute syntax of device list lines: Key="value" pairs in any order.
// The keyword table below is the one place that knows the keys; parsers and
// the writer refer to them by index.

#include <QString>

#include <cstdint>

enum DeviceKey : int {
    KEY_NAME = 0,
    KEY_MFG = 1,
    KEY_SIZE = 2,
    KEY_ID1 = 3, // ID1 to ID5 are KEY_ID1 + 0 .. KEY_ID1 + 4
    KEY_MESSAGE = 8,
    KEY_ADAPTER = 9,
    KEY_ALGO = 10,
    KEY_PAGE_SIZE = 11,
    KEY_BLOCK_SIZE = 12,
    KEY_SPEED = 13,
    KEY_SECTOR_SIZE = 14,
    KEY_SECTOR_NUM = 15,
    KEY_INIT = 16,
    KEY_IO = 17,
    KEY_STATUS = 18,
    KEY_CE = 19,
    KEY_COUNT = 20
};

// The keyword of a key index as written in the files ("Name", "PageSize"...);
// an index outside the table gives an empty text.
QString DeviceKeyword(int index);

// Looks up the attribute `index` in `line`. Keys match regardless of case and
// the value comes back upper-cased, except for "Message" and "Adapter" whose
// values keep their case. A key found inside a longer key ("size" inside
// "PageSize") is skipped. With `text` the value is stored there; else with
// `number` it is read as a decimal integer (0 when it is not one). Returns
// false when the key is absent or neither output is given.
bool GetAttribute(const QString &line, int index, QString *text, int *number = nullptr);

// Hexadecimal with an optional trailing "h" (either case); not a number gives 0.
uint64_t ParseHex(const QString &value);

// Hexadecimal written with its "h" suffix: the last character is dropped,
// whatever it is, before the rest is read ("840" reads as 0x84). Not a number
// gives 0.
uint64_t ParseHexSuffixed(const QString &value);

// Plain hexadecimal without any suffix handling; not a number gives 0.
uint64_t ParseHexDigits(const QString &value);

// One attribute as the writer produces it: Key="value".
QString FormatAttribute(int index, const QString &value);
