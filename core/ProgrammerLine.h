#pragma once

// Which programmer the adapter library drives, as one line: "sim",
// "serprog:/dev/ttyACM0[,baud=N][,settle_ms=N][,hz=N]", "ch341a" or
// "spidev:/dev/spidev0.0[,hz=N]". The library reads it from XRUSB_PROGRAMMER
// each time it opens an adapter while none is open; an empty line leaves the
// choice to the library's configuration file (the simulated adapter unless
// that names another). The library checks the line and says what is wrong.

#include <QString>

namespace ProgrammerLine {

// The line this process hands the library (empty: none).
QString Current();
// The line kept in the settings for the next start.
QString Stored();
void Store(const QString &line);

// Hands `line` to the library (empty: takes the process's line away). The
// library reads it on the worker thread: call it only while no programmer
// worker runs.
void Use(const QString &line);

// At start-up, before any worker runs: the command line's choice when one
// was given, else the environment's XRUSB_PROGRAMMER as it stands, else the
// stored line.
void UseAtStartup(bool onCommandLine, const QString &commandLineLine);

} // namespace ProgrammerLine
