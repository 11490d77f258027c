#pragma once

// A run without a window: the main window is built on the offscreen
// platform and never shown, the target is set up, the adapter awaited and
// one script run to its end. Log lines go to standard output; the exit code
// tells a line controller or a CI job how it went.

#include <QByteArray>
#include <QList>
#include <QString>

class CCommandLine;

namespace HeadlessExit {
inline constexpr int Done = 0;          // every operation succeeded
inline constexpr int OperationFailed = 1;
inline constexpr int BadScript = 2;     // unreadable, a line that is no command, a pause nobody answers
inline constexpr int NoAdapter = 3;
inline constexpr int BadCommandLine = 4; // also an unknown device
} // namespace HeadlessExit

struct SHeadlessOptions
{
    QString device;
    QString scriptPath;          // absolute
    QList<QByteArray> arguments; // the script's %1, %2, ...
    bool jsonProgress = false;
    QString progressPath;        // absolute; empty: standard output
    int adapterWaitSeconds = 30;
    QString workDir;             // the folder the run was started in
};

// Reads the headless options of a parsed command line; false with a reason
// when they do not make a run.
bool ReadHeadlessOptions(const CCommandLine &commandLine, const QString &startDir, SHeadlessOptions &options,
                         QString &error);

// Runs it; the application object exists already. Returns the exit code.
int RunHeadless(const SHeadlessOptions &options);
