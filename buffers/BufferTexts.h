#pragma once

// The operator texts the buffers show, by their index in the UI text table.
// Until the text table is linked in, the built-in English lives here; the
// switch is one line: make BufferText(n) return Text(n).

#include <QString>

namespace BufferTextId {
constexpr int CompareFailed = 63;
constexpr int SaveBinaryFile = 66;
constexpr int FileError = 114;
constexpr int Saved = 141;
constexpr int VerifyToleratesEcc = 150;
} // namespace BufferTextId

QString BufferText(int index);
