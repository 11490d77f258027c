#pragma once

// Script services of the command processor that the main window calls
// besides RunScript() and OnConsoleLine() (members of CCmdProcessor).

#include <QString>

// Consecutive lines one RunScript() call runs without waiting; then it
// resumes itself through a 0 ms script timer, so a script that loops over
// commands that finish at once never freezes the window and can still be
// stopped from the console.
inline constexpr int kScriptLinesPerTurn = 1000;

// The target's auto script: when "<deviceName>.usp" exists in the script
// folder, it replaces the loaded script and runs from its first line. The
// window calls this when the adapter has become ready and its "Auto Script"
// option is on. True when the script was started.
bool RunAutoScript(const QString &deviceName);
