#pragma once

// The services of the main window that the lower layers (buffers, devices,
// engines, console) may use. CMainFrame implements them; tests install their
// own implementation, so an engine runs end to end without a window.
//
// Every call happens on the GUI thread. The default bodies are what a program
// without a window would do: log lines go to stderr, questions are answered
// "no", file dialogs are cancelled.

#include <QString>
#include <QStringList>

#include <cstdint>

class CMemoryNode;
class CDeviceItem;
class QAction;

class CFrameServices
{
public:
    virtual ~CFrameServices() = default;

    // --- message log and status bar
    virtual void LogMessage(const QString &line);
    virtual void ShowStatusMessage(const QString &text);

    // --- dialogs
    // Modal confirmation: warning icon, Yes/No; true only for Yes.
    virtual bool AskYesNo(const QString &title, const QString &text);
    // Modal error box with an OK button.
    virtual void ShowError(const QString &title, const QString &text);
    // Save dialog; an empty result means cancelled.
    virtual QString GetSaveFileName(const QString &caption, const QString &dir, const QString &filter);
    // Open dialog; an empty result means cancelled.
    virtual QString GetOpenFileName(const QString &caption, const QString &dir, const QString &filter);

    // --- working directory and recent files
    virtual QString WorkDir() const;
    virtual void AddRecentFile(const QString &path);

    // --- progress of the operation that is followed (units: transfer units or blocks)
    virtual void StartProgress(uint32_t start, uint32_t count);
    virtual void SetProgressRange(uint32_t start, uint32_t count);
    // Moves the progress bar alone, for a scan that runs outside any followed
    // operation (the source bad-block scan after a read or a load).
    virtual void SetProgressValue(uint32_t value);
    virtual void ReadProgress(uint32_t position);
    virtual void BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *buffer);
    virtual void VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData,
                                CMemoryNode *buffer, const uint32_t *badBlocks, CDeviceItem *device);
    // The same for a piece whose chip bytes do not lie at position times the
    // transfer unit: NAND blocks that are no whole number of units come back
    // padded, so the chip address and the count of chip bytes in the piece
    // are given. The default follows position and count alone.
    virtual void VerifyProgressAt(uint32_t position, uint32_t count, uint64_t chipAddress, uint32_t chipBytes,
                                  const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                                  CDeviceItem *device);
    virtual void BlankProgress(uint32_t position, uint32_t count, bool ok);
    virtual void EraseValue(uint32_t value);
    virtual void BbtProgress(uint32_t value);
    virtual void PrintElapsed(const QString &text);
    // The operation under way (completion code `code`) cannot end as done:
    // the reason, which names the chip address when there is one, is logged
    // and shown in the status bar, the failed outcome is kept for the console
    // and scripts, and the operation is stopped as Stop does. A script that
    // waits for the operation is not resumed.
    virtual void FailOperation(uint8_t code, const QString &reason, bool hasAddress = false, uint64_t address = 0);
    virtual void ShowSpeed(const QString &label, uint32_t units);
    // The production counters of the session, kept in sight in the status bar.
    virtual void ShowProductionCounters(int passed, int failed);

    // --- target and views
    // Select another device (deferred); true when a change was started.
    virtual bool RequestTargetChange(const QString &deviceName);
    virtual void SetSaveAllowed(bool allowed);
    // Opens a device list file with the desktop's default handler, so the
    // operator can paste a line defined for an unknown chip; a missing file
    // is the handler's to report.
    virtual void OpenDeviceListFile(const QString &path);
    // The buffer's content changed: refresh every view that shows it.
    virtual void BufferChanged(CMemoryNode *buffer);
    // Repaint bad-block view 1 (source) or 2 (target); 0 repaints both, and
    // only while the "BadBlock" tab is the current one.
    virtual void RefreshBadBlockView(int view);
    // Scroll the range [start, start + length) into sight in the hex views whose
    // buffer holds it; askingView is the bad-block view that asks, if any.
    virtual void ShowAddressRange(uint64_t start, uint64_t length, const void *askingView = nullptr);
    // Load a file into the current target's buffer (the programmer's loadFile);
    // false when there is no target to take it.
    virtual bool LoadFileIntoTarget(const QString &path);
    // The window's Save action, offered in the hex view's context menu while it
    // is enabled; null without a window.
    virtual QAction *SaveAction() const;

    // --- operation state, for the console and the engines
    // The adapter is connected and initialised.
    virtual bool IsAdapterReady() const;
    // An operation is being followed (progress end not 0).
    virtual bool IsOperationRunning() const;
    // A target device is set up.
    virtual bool HasTarget() const;
    // Starts a read-type operation when ready and idle, else logs "Busy" and
    // returns 128; otherwise the programmer's completion code.
    virtual int RunIfIdle(uint64_t address, uint64_t length, int opCode);
    // Value of the script condition CMPRAM.
    virtual bool CompareFlag() const;
    // Nobody answers dialogs now (a script that said how to answer, or a run
    // without a window): what would ask the operator fails instead.
    virtual bool Unattended() const;

    // --- window actions the console commands reach
    virtual void RunSaveAction();
    virtual void RunDeviceSelection();
    virtual void RunAboutBox();
    // Adapter-gone display, programmer reconnect, "Please wait..." box.
    virtual void ReinitUsb();
    virtual void ClearLog();
    // Closes the open log file; when enabled, opens fileName in the temporary
    // folder for appending and writes "Log Start" and a line end.
    virtual void SetLogFileEnabled(bool enable, const QString &fileName);
    // The log panel's style sheet becomes
    // "QPlainTextEdit{background-color:#" + colorHex + "}" (not validated).
    virtual void SetLogBackground(const QString &colorHex);
    // Speed label and slider follow n; the programmer gets setSpeed(n).
    virtual void ApplySpeed(int n);
    // Single-shot script timer; when it fires the window calls RunScript()
    // of the command processor if a script is loaded. 0 ms resumes the
    // script as soon as the events waiting now are handled.
    virtual void StartScriptTimer(int milliseconds);
    // Cancels a pending script timer: the script was resumed another way or
    // stopped, and a late timer would run its next line too early.
    virtual void StopScriptTimer();
    virtual void ExitApplication(int code);
};

// The window (or a test) installs itself here; null means the defaults above.
CFrameServices *Frame();
void SetFrame(CFrameServices *frame);

// The one way lower layers show a line to the operator.
void LogText(const char *text);
void LogString(const QString &text);
