#pragma once

// What the main window asks of a NAND engine beyond the common programmer
// slots. CNandProgrammer implements it next to CProgrammer; the window finds
// it with dynamic_cast, so an engine without bad-block tables needs nothing.
//
// How the scans report to the window, so that a waiting script can rely on
// the window being idle when they end:
// - the source scan (after a read, after loading a file) runs outside any
//   operation: it reports its range with SetProgressRange, which leaves the
//   window idle, moves the bar itself and ends by resetting the bar and
//   refreshing both maps;
// - the target scan (after an erase) continues the erase: it reports its
//   range with StartProgress and each block with BbtProgress, whose last call
//   ends the operation and reports the completion code.

class CBadBlockTable;
class QWidget;

class CNandWindowLink
{
public:
    virtual ~CNandWindowLink() = default;

    // The tables the two bad-block maps show (owned by the engine).
    virtual const CBadBlockTable *sourceBbt() const = 0;
    virtual const CBadBlockTable *targetBbt() const = 0;
    // The maps of the "BadBlock" tab, source first; they live as long as the
    // engine (the window rebuilds both together).
    virtual void setBadBlockViews(QWidget *sourceView, QWidget *targetView) = 0;

    // The check after a whole read has arrived: rebuilds the source table
    // from the markers in the image; false when the scan was not queued.
    virtual bool buildSourceBbt() = 0;
    // The scan after an erase, over the erased range: rebuilds the target table.
    virtual void buildTargetBbt() = 0;
};
