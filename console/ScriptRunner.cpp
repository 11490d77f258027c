// Runs the loaded script and handles the lines typed while one runs.
//
// Placeholder until the script interpreter lands: it replaces this file
// wholesale. Until then a typed line is dispatched as a command and there is
// never a script to run.

#include "CmdProcessor.h"

int CCmdProcessor::RunScript()
{
    return CMD_DONE;
}

void CCmdProcessor::OnConsoleLine(const QString &text)
{
    RunCommand(text);
}
