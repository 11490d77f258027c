#include "FrameCmdsChip.h"

#include "CmdProcessor.h"
#include "FrameServices.h"
#include "ProductionTexts.h"
#include "Programmer.h"
#include "RangeOperation.h"
#include "UiText.h"

#include <QDir>

namespace {

constexpr int TEXT_LOAD_BINARY_FILE = 6;
constexpr int TEXT_SAVE_BINARY_FILE = 66;
const char *const BINARY_FILE_FILTER = "Binary files (*.bin);;All files (*.*)";

// Both bad-block views, when the bad-block tab is the current one.
constexpr int BOTH_BAD_BLOCK_VIEWS = 0;

} // namespace

CFrameCmdDetect::CFrameCmdDetect() : CCmd(QStringLiteral("DETECT"), 84) {}

int CFrameCmdDetect::execute(const QStringList &, CProgrammer *programmer)
{
    // Without an adapter there is nothing to detect: an attended script
    // simply goes on, an unattended one must not take it for a detection.
    if (!Frame()->IsAdapterReady())
        return Frame()->Unattended() ? CMD_FAILED : CMD_DONE;
    return programmer->detect();
}

CFrameCmdGetMemory::CFrameCmdGetMemory() : CCmd(QStringLiteral("READ"), 85) {}

int CFrameCmdGetMemory::execute(const QStringList &arguments, CProgrammer *programmer)
{
    return RunRangeOperation(*this, arguments, *programmer, RangeOperation::Read);
}

CFrameCmdProgram::CFrameCmdProgram() : CCmd(QStringLiteral("PROGRAM"), 136) {}

int CFrameCmdProgram::execute(const QStringList &arguments, CProgrammer *programmer)
{
    return RunRangeOperation(*this, arguments, *programmer, RangeOperation::Program);
}

CFrameCmdSave::CFrameCmdSave() : CCmd(QStringLiteral("SAVE"), 88) {}

int CFrameCmdSave::execute(const QStringList &arguments, CProgrammer *programmer)
{
    if (arguments.size() < 2) {
        Frame()->RunSaveAction();
        return CMD_DONE;
    }
    const auto first = uint32_t(ParseHexArgument(arguments[0]));
    const auto second = uint32_t(ParseHexArgument(arguments[1]));
    const QString path = arguments.size() > 2
                             ? arguments[2]
                             : Frame()->GetSaveFileName(Text(TEXT_SAVE_BINARY_FILE), Frame()->WorkDir(),
                                                        QString::fromLatin1(BINARY_FILE_FILTER));
    if (!path.isEmpty())
        programmer->saveBlocks(first, second, path);
    return CMD_DONE;
}

CFrameCmdLdram::CFrameCmdLdram() : CCmd(QStringLiteral("LOAD"), 89) {}

int CFrameCmdLdram::execute(const QStringList &arguments, CProgrammer *programmer)
{
    if (!Frame()->HasTarget()) {
        logUsage();
        return CMD_ERROR;
    }
    // Only the first word: a path typed in the console cannot hold spaces.
    const QString path = !arguments.isEmpty()
                             ? arguments[0]
                             : Frame()->GetOpenFileName(Text(TEXT_LOAD_BINARY_FILE), Frame()->WorkDir(),
                                                        QString::fromLatin1(BINARY_FILE_FILTER));
    if (path.isEmpty())
        return CMD_ERROR;
    Frame()->AddRecentFile(path);
    // A file that could not be loaded must stop a script: otherwise it would
    // go on to program whatever the buffer held before.
    return programmer->loadFile(path) ? CMD_DONE : CMD_ERROR;
}

CFrameCmdCmpMemory::CFrameCmdCmpMemory() : CCmd(QStringLiteral("VERIFY"), 86) {}

int CFrameCmdCmpMemory::execute(const QStringList &arguments, CProgrammer *programmer)
{
    return RunRangeOperation(*this, arguments, *programmer, RangeOperation::Verify);
}

CFrameCmdBlankCheck::CFrameCmdBlankCheck() : CCmd(QStringLiteral("BLKCHK"), 94) {}

int CFrameCmdBlankCheck::execute(const QStringList &arguments, CProgrammer *programmer)
{
    return RunRangeOperation(*this, arguments, *programmer, RangeOperation::BlankCheck);
}

CFrameCmdSetMemory::CFrameCmdSetMemory() : CCmd(QStringLiteral("WRITE"), 87) {}

int CFrameCmdSetMemory::execute(const QStringList &, CProgrammer *)
{
    // Kept as an accepted word so that existing scripts using it still run;
    // programming is done by PROGRAM.
    return CMD_DONE;
}

CFrameCmdNandNewChip::CFrameCmdNandNewChip() : CCmd(QStringLiteral("NEWCHIP"), 153) {}

int CFrameCmdNandNewChip::execute(const QStringList &, CProgrammer *programmer)
{
    programmer->newChip();
    Frame()->RefreshBadBlockView(BOTH_BAD_BLOCK_VIEWS);
    return CMD_DONE;
}

CFrameCmdNandMFC::CFrameCmdNandMFC() : CCmd(QStringLiteral("MFC"), 166) {}

int CFrameCmdNandMFC::execute(const QStringList &arguments, CProgrammer *programmer)
{
    // One word after the command asks the engine to refuse the correction
    // (as ever); two or more name the reads to compare, so no dialog asks.
    if (arguments.size() == 1) {
        programmer->correctFromFiles(true);
        return CMD_DONE;
    }
    int result = CProgrammer::CorrectionFailed;
    if (arguments.size() >= 2) {
        QStringList paths;
        for (const QString &path : arguments)
            paths << QDir(Frame()->WorkDir()).absoluteFilePath(path);
        result = programmer->correctFromFileList(paths);
    } else if (Frame()->Unattended()) {
        // Nobody would answer the file dialog.
        LogString(Text(ProductionText::NoFileName).arg(m_name));
    } else {
        result = programmer->correctFromFiles(false);
    }
    // A synchronous operation: its outcome is known when the command returns.
    COperationOutcome outcome;
    outcome.operation = m_name;
    outcome.result = result == CProgrammer::CorrectionDone ? COperationOutcome::EResult::Done
                                                           : COperationOutcome::EResult::Failed;
    if (result == CProgrammer::CorrectionCancelled && !Frame()->Unattended())
        return CMD_DONE;  // the operator chose to correct nothing
    outcome.reason = Text(ProductionText::CorrectionFailed);
    g_cmdProcessor.NoteOutcome(outcome);
    return outcome.done() ? CMD_DONE : CMD_FAILED;
}

CFrameCmdNandSmartcopy::CFrameCmdNandSmartcopy() : CCmd(QStringLiteral("SMTCPY"), 177) {}

int CFrameCmdNandSmartcopy::execute(const QStringList &, CProgrammer *programmer)
{
    // Waits, as any chip operation, for the program that ends the copy.
    return programmer->smartCopy();
}

CFrameCmdErase::CFrameCmdErase() : CCmd(QStringLiteral("ERASE"), 93) {}

int CFrameCmdErase::execute(const QStringList &arguments, CProgrammer *programmer)
{
    return RunRangeOperation(*this, arguments, *programmer, RangeOperation::Erase);
}

CFrameCmdRandomFile::CFrameCmdRandomFile() : CCmd(QStringLiteral("RANDOMFILE"), -1) {}

int CFrameCmdRandomFile::execute(const QStringList &, CProgrammer *programmer)
{
    programmer->fillRandom();
    return CMD_DONE;
}
