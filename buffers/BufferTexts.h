#pragma once

// The operator texts the buffers show, by their index in the UI text table,
// so they follow the loaded language (Text(n) at the moment they are shown).

#include "UiText.h"

namespace BufferTextId {
constexpr int CompareFailed = 63;      // "Compare data Failed address"
constexpr int SaveBinaryFile = 66;     // "Save binary file"
constexpr int FileError = 114;         // "File Error"
constexpr int Saved = 141;             // "Saved"
constexpr int VerifyToleratesEcc = 150; // "Nand verify considers ECC algorithm !!"
} // namespace BufferTextId
