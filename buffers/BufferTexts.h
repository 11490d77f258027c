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
constexpr int NotRegularFile = 367;    // "Not loaded, not a regular file: %1"
constexpr int LoadedAgainstSize = 368; // "%1 of the file's %2 bytes loaded, the chip holds %3 bytes"
} // namespace BufferTextId

class QString;

// Only a regular file (or a link to one) is an image: a FIFO or a device
// would block the window on open or read, or hand over endless bytes. False,
// with a line in the log, for anything else that exists.
bool IsLoadableImage(const QString &path);
