#pragma once

// How a chip operation ended, as the log, the status bar and a waiting script
// see it. The window records one outcome per operation in the command
// processor, which keeps the last one for the console and scripts.

#include <QString>

#include <cstdint>

struct COperationOutcome
{
    enum class EResult { None, Done, Failed };

    EResult result = EResult::None;
    uint8_t code = 0;      // the operation's completion code (its one-letter tag)
    QString operation;     // what ran, as the log names it
    bool hasAddress = false;
    uint64_t address = 0;  // chip address of a failure, when there is one
    QString reason;        // why it failed, as logged

    bool done() const { return result == EResult::Done; }
    bool failed() const { return result == EResult::Failed; }
};
