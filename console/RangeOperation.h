#pragma once

// The procedure shared by READ, VERIFY, BLKCHK, PROGRAM and ERASE: take the
// typed range (or the whole chip), let the programmer align it, tell the
// operator when it was adjusted, and start the operation.

#include <QStringList>

class CCmd;
class CProgrammer;

enum class RangeOperation {
    Read,       // window RunIfIdle, completion 'A'
    Verify,     // window RunIfIdle, completion 'B'
    BlankCheck, // window RunIfIdle, completion 'K'
    Program,    // programmer startProgram
    Erase,      // programmer startErase
};

// Operation codes the window passes to the programmer's startReadOp; they are
// also the completion codes a script waits for.
inline constexpr int OP_CODE_READ = 'A';
inline constexpr int OP_CODE_VERIFY = 'B';
inline constexpr int OP_CODE_BLANK_CHECK = 'K';

// Returns what the start returned, or the refusal code.
int RunRangeOperation(const CCmd &command, const QStringList &arguments, CProgrammer &programmer,
                      RangeOperation operation);
