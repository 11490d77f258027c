#pragma once

// The caret of the hex view as a byte offset and a nibble, and the moves of
// the key table. Moves stop at the buffer's ends: before the first byte at
// its high nibble, at or past the end at the last byte's low nibble.

#include <cstdint>

struct SHexCaret
{
    uint64_t offset = 0;
    bool high = true;

    bool operator==(const SHexCaret &) const = default;
};

enum class EHexMove { Home, End, Left, Right, Up, Down, PageUp, PageDown };

// The caret after a move in a buffer of `size` bytes, `visibleRows` rows high.
// An empty buffer keeps the caret at offset 0.
SHexCaret MoveHexCaret(SHexCaret caret, EHexMove move, uint64_t size, int visibleRows);

// The value of a hex digit key (0-9, A-F, either case), -1 for other keys.
int HexDigitOfKey(int key);
