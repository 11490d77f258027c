#include "HexCaret.h"

#include <Qt>

namespace {

constexpr uint64_t kRowBytes = 16;

SHexCaret Start()
{
    return {0, true};
}

SHexCaret Last(uint64_t size)
{
    return {size - 1, false};
}

// A step of `bytes` bytes keeping the nibble, stopped at the ends.
SHexCaret Step(SHexCaret caret, int64_t bytes, uint64_t size)
{
    if (bytes < 0 && uint64_t(-bytes) > caret.offset)
        return Start();
    const uint64_t target = caret.offset + uint64_t(bytes);
    if (bytes > 0 && (target >= size || target < caret.offset))
        return Last(size);
    return {target, caret.high};
}

} // namespace

SHexCaret MoveHexCaret(SHexCaret caret, EHexMove move, uint64_t size, int visibleRows)
{
    if (size == 0)
        return Start();
    if (caret.offset >= size)
        caret = Last(size);
    const int64_t page = int64_t(visibleRows > 1 ? visibleRows - 1 : 0) * int64_t(kRowBytes);
    switch (move) {
    case EHexMove::Home:
        return Start();
    case EHexMove::End:
        return Last(size);
    case EHexMove::Left:
        if (!caret.high)
            return {caret.offset, true};
        return caret.offset == 0 ? Start() : SHexCaret{caret.offset - 1, false};
    case EHexMove::Right:
        if (caret.high)
            return {caret.offset, false};
        return caret.offset + 1 >= size ? Last(size) : SHexCaret{caret.offset + 1, true};
    case EHexMove::Up:
        return Step(caret, -int64_t(kRowBytes), size);
    case EHexMove::Down:
        return Step(caret, int64_t(kRowBytes), size);
    case EHexMove::PageUp:
        return Step(caret, -page, size);
    case EHexMove::PageDown:
        return Step(caret, page, size);
    }
    return caret;
}

int HexDigitOfKey(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    if (key >= Qt::Key_A && key <= Qt::Key_F)
        return key - Qt::Key_A + 10;
    return -1;
}
