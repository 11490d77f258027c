#pragma once

// UI text indexes of unattended script runs.
namespace ProductionText {
inline constexpr int FailJump = 300;         // "Operation failed, the script goes on at %1"
inline constexpr int FailWaits = 301;        // "Operation failed: the script waits (...)"
inline constexpr int TimedOut = 302;         // "Time-out: the operation did not end within %1 ms"
inline constexpr int NameNotUtf8 = 303;      // "Script name is not valid UTF-8: %1"
inline constexpr int AnsweredYes = 304;      // "Answered yes: %1"
inline constexpr int AnsweredNo = 305;       // "Answered no: %1"
inline constexpr int NoFileName = 306;       // "No file name given by the script: %1"
inline constexpr int FileGiven = 307;        // "File: %1"
inline constexpr int AnswerUsage = 308;      // "Usage: answer yes|no|ask"
inline constexpr int PasteWhileScript = 309; // "A running script takes no pasted lines"
} // namespace ProductionText
