#pragma once

// The operator texts of the NAND engine, by their index in the UI text table,
// so they follow the loaded language (Text(n) at the moment they are shown).

#include "UiText.h"

namespace NandTextId {
constexpr int Error = 3;               // "Error"
constexpr int LoadBinaryFile = 6;      // "Load binary file"
constexpr int UnknownDevice = 61;      // "Unknown device"
constexpr int CompareFailed = 63;      // "Compare data Failed address"
constexpr int CheckMemoryRange = 64;   // "Check memory range."
constexpr int ProgramStarts = 70;      // "Program Starts..."
constexpr int NotBlank = 72;           // "Flash is not blank at address"
constexpr int Busy = 74;               // "Busy"
constexpr int EraseStarts = 75;        // "Erase starts..."
constexpr int FileError = 114;         // "File Error"
constexpr int NotEnoughData = 137;     // "Not enough data"
constexpr int Saved = 141;             // "Saved"
constexpr int SourceBbtTitle = 159;    // "Build bad block table for source chip (file)"
constexpr int SizeMismatch = 175;      // "Size does not match"
constexpr int UnsupportedPage = 180;   // "Unsupported page size"
constexpr int EraseChipFirst = 181;    // "Erase the chip first"
constexpr int LoadProperSource = 182;  // "Make sure the proper source file is loaded"
constexpr int CheckPins = 183;         // "ID detection error, check pin connetion!!"
constexpr int AreYouSure = 184;        // "Are you sure?"
constexpr int CreateTempFile = 185;    // "Create temporary file"
constexpr int TargetBadBlock = 186;    // "Target bad block No. "
constexpr int SourceBadBlock = 187;    // "Source bad block No. "
constexpr int ReadNotWritten = 370;    // "%2 could not be written at address 0x%1 (disk full?); the part read is kept as %3"
constexpr int ReadFileRemoved = 371;   // "%2 could not be written at address 0x%1 (disk full?); the file was removed"
constexpr int GeometryRefused = 369;   // "%1 cannot be used: its geometry (%2) is not one of a NAND chip"
} // namespace NandTextId
