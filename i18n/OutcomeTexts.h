#pragma once

// The texts of operation outcomes: why an operation failed, and the names
// the log and the console give the operations.

#include <QString>

#include <cstdint>

namespace OutcomeText {
inline constexpr int NoReply = 191;
inline constexpr int EraseFailed = 192;
inline constexpr int ProgramFailed = 193;
inline constexpr int ProgramStatusLost = 194;
inline constexpr int EraseStatusLost = 195;
inline constexpr int NothingCompared = 196;
inline constexpr int OutOfPlace = 197;
inline constexpr int NameRead = 198;
inline constexpr int NameVerify = 199;
inline constexpr int NameBlankCheck = 200;
inline constexpr int NameErase = 201;
inline constexpr int NameProgram = 202;
inline constexpr int NameBadBlockScan = 203;
inline constexpr int FailedSeparator = 204;
inline constexpr int BadTargetBlockSkipped = 205;
inline constexpr int ReadBeforeProgram = 206;
inline constexpr int SectorsToErase = 207;
inline constexpr int LinkLost = 208;
inline constexpr int IdCheckLost = 372;
} // namespace OutcomeText

// The operation a completion code stands for, as the log names it; the code
// itself as a letter for one without a name.
QString OperationName(uint8_t code);
// text followed by " 0x" and the address in hex digits, the way failure
// lines name a chip address.
QString TextAtAddress(int textIndex, uint64_t address);
