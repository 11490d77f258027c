#pragma once

// The application's one window: menus, two tool bars, the status bar, and a
// central widget (file panel, buffer tabs with the message log, console)
// rebuilt for every target device. It owns the programmer of the target,
// follows its operations through the worker's three signals, and offers the
// lower layers its services through CFrameServices.
//
// Everything here runs on the GUI thread.

#include "FrameServices.h"
#include "OperationClock.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

class CBadBlockView;
class CConsoleView;
class CDeviceItem;
class CFileBrowserPanel;
class CProgMessage;
class CProgrammer;
class CStatusLabel;
class QAction;
class QFile;
class QLabel;
class QMenu;
class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QSlider;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;

class CMainFrame : public QMainWindow, public CFrameServices
{
    Q_OBJECT

public:
    // The actions of the window, in the order of its action table.
    enum ActionId {
        ActClear,
        ActOpen,
        ActSave,
        ActExit,
        ActDevice,
        ActDetect,
        ActRead,
        ActVerify,
        ActBlankCheck,
        ActErase,
        ActWrite,
        ActSmartCopy,
        ActStop,
        ActNandFlash,
        ActSpiFlash,
        ActLanguage,
        ActEditDeviceFile,
        ActNewChip,
        ActMultiFileCorrection,
        ActGotoConfigFolder,
        ActAbout,
        ActProgrammer,
        ActionCount
    };
    static constexpr int RecentActionCount = 20;

    // Runs the whole start-up: library, language, settings, font, actions,
    // menus, tool bars, status bar, device lists, then the stored target or
    // the device selection.
    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    // The next window is that of a run without a window: it sets up target
    // (never asking for another one), takes workDir as its working folder,
    // runs no auto script, writes every log line to standard output and
    // answers no dialog.
    // logStream: where the log lines go (standard error when standard
    // output carries the progress).
    static void StartHeadless(const QString &target, const QString &workDir, FILE *logStream);
    bool IsHeadless() const { return m_headless; }
    QLabel *CountersLabel() const { return m_countersLabel; }

    // --- target
    void SetupTarget();
    // Stores the settings of the old target, records the new one and sets it
    // up (m_targetName already names it).
    void ChangeTarget();
    void RefreshTitle();
    const QString &TargetName() const { return m_targetName; }
    CProgrammer *Programmer() const { return m_programmer.get(); }
    bool IsNandTarget() const;

    // --- message log
    void SetLogFile(bool enable, const QString &name);
    bool IsLogFileOpen() const;

    // --- parts, for the console's commands and for tests
    QAction *Action(ActionId id) const { return m_actions[id]; }
    QMenu *RecentFilesMenu() const { return m_recentFilesMenu; }
    QMenu *RecentTargetsMenu() const { return m_recentTargetsMenu; }
    QMenu *FamilyMenu() const { return m_familyMenu; }
    QToolBar *ToolBar1() const { return m_toolBar1; }
    QToolBar *ToolBar2() const { return m_toolBar2; }
    QSlider *SpeedSlider() const { return m_speedSlider; }
    QLabel *SpeedLabel() const { return m_speedLabel; }
    QProgressBar *ProgressBar() const { return m_progressBar; }
    QLabel *InfoLabel() const { return m_infoLabel; }
    CStatusLabel *ConnectionLabel() const { return m_connectionLabel; }
    QPlainTextEdit *LogPanel() const { return m_logPanel; }
    QTabWidget *Tabs() const { return m_tabs; }
    QSplitter *MainSplitter() const { return m_mainSplitter; }
    QSplitter *VerticalSplitter() const { return m_vSplitter; }
    CFileBrowserPanel *FilePanel() const { return m_filePanel; }
    CConsoleView *Console() const { return m_console; }
    QMessageBox *WaitBox() const { return m_waitBox; }
    QTimer *ScriptTimer() const { return m_scriptTimer; }
    COperationClock &OperationClock() { return m_opClock; }
    uint32_t OperationStart() const { return m_opStart; }
    uint32_t OperationEnd() const { return m_opEnd; }
    bool IsKeepAliveRunning() const { return m_keepAliveTimer != 0; }
    bool AutoScript() const { return m_autoScript; }

    // --- CFrameServices
    void LogMessage(const QString &line) override;
    void ShowStatusMessage(const QString &text) override;
    bool AskYesNo(const QString &title, const QString &text) override;
    void ShowError(const QString &title, const QString &text) override;
    QString GetSaveFileName(const QString &caption, const QString &dir, const QString &filter) override;
    QString GetOpenFileName(const QString &caption, const QString &dir, const QString &filter) override;
    QString WorkDir() const override { return m_workDir; }
    void AddRecentFile(const QString &path) override;
    void StartProgress(uint32_t start, uint32_t count) override;
    void SetProgressRange(uint32_t start, uint32_t count) override;
    void SetProgressValue(uint32_t value) override;
    void ReadProgress(uint32_t position) override;
    void BlockReadProgress(uint32_t position, uint32_t count, CMemoryNode *buffer) override;
    void VerifyProgress(uint32_t position, uint32_t count, const uint8_t *chipData, CMemoryNode *buffer,
                        const uint32_t *badBlocks, CDeviceItem *device) override;
    void VerifyProgressAt(uint32_t position, uint32_t count, uint64_t chipAddress, uint32_t chipBytes,
                          const uint8_t *chipData, CMemoryNode *buffer, const uint32_t *badBlocks,
                          CDeviceItem *device) override;
    void BlankProgress(uint32_t position, uint32_t count, bool ok) override;
    void EraseValue(uint32_t value) override;
    void BbtProgress(uint32_t value) override;
    void PrintElapsed(const QString &text) override;
    void FailOperation(uint8_t code, const QString &reason, bool hasAddress = false, uint64_t address = 0) override;
    // The reason of the last failure, as the status bar shows it.
    QString StatusText() const;
    void ShowSpeed(const QString &label, uint32_t units) override;
    bool RequestTargetChange(const QString &deviceName) override;
    void SetSaveAllowed(bool allowed) override;
    void BufferChanged(CMemoryNode *buffer) override;
    void RefreshBadBlockView(int view) override;
    void ShowAddressRange(uint64_t start, uint64_t length, const void *askingView = nullptr) override;
    bool LoadFileIntoTarget(const QString &path) override;
    QAction *SaveAction() const override;
    bool IsAdapterReady() const override { return m_adapterReady; }
    bool Unattended() const override;
    void ShowProductionCounters(int passed, int failed) override;
    bool IsOperationRunning() const override { return m_opEnd != 0; }
    bool HasTarget() const override;
    int RunIfIdle(uint64_t address, uint64_t length, int opCode) override;
    bool CompareFlag() const override { return m_compareFlag; }
    void RunSaveAction() override { OnSave(); }
    void RunDeviceSelection() override { OnSelectDevice(); }
    void RunAboutBox() override { OnAbout(); }
    void ReinitUsb() override;
    void ClearLog() override;
    void SetLogFileEnabled(bool enable, const QString &fileName) override { SetLogFile(enable, fileName); }
    void SetLogBackground(const QString &colorHex) override;
    void ApplySpeed(int n) override;
    void StartScriptTimer(int milliseconds) override;
    void StopScriptTimer() override;
    void ExitApplication(int code) override;

public slots:
    void OnAbout();
    void OnChooseProgrammer();
    void OnSelectDevice();
    void OnSave();
    void OnOpen();
    void OnDetect();
    void OnRead();
    void OnVerify();
    void OnProgram();
    void OnErase();
    void OnAdapterState(bool connected);
    void OnProgMessage(CProgMessage *message);
    void OnProgress(unsigned int position, unsigned int count);
    void OnScriptTimer();
    void OnSelectWorkDir();
    void OnGotoConfigFolder();
    void OnLanguage();
    void OnRecentFile();
    void OnRecentTarget();
    void OnClear();
    void OnStop();
    void OnBlankCheck();
    void OnSpeedChanged(int value);
    void OnEditDeviceFile();
    void OnNewFlash();
    void OnMultiFileCorrection();
    void OnSmartCopy();
    void OnNewChip();

    // No menu of tool bars to hide: the window shows and hides them itself.
    QMenu *createPopupMenu() override;

protected:
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // --- start-up (MainFrame.cpp)
    void ReadStartupSettings();
    void CreateWaitBox();
    void SaveLayout();
    void ApplyGeometry();

    // --- actions, menus, bars (MainFrameActions.cpp)
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void UpdateRecentFileActions();
    void UpdateRecentTargetActions();
    void UpdateSpeedLabel(int value);

    // --- central widget (MainFrameCentral.cpp)
    void BuildCentralWidget();
    void AddBufferTabs();
    void AddBadBlockTab();
    int BadBlockTabIndex() const;

    // --- the window without a target (MainFrameNoTarget.cpp)
    void ShowNoTargetPage();
    // Chip and buffer actions need a target; Save keeps what the engine set.
    void EnableTargetActions(bool enabled);
    void TellSettingsFolderProblem();
    // Qt's own texts in the language of the loaded language file.
    void FollowLanguageInQt(const QString &languageFile);

    // --- target and adapter (MainFrameTarget.cpp)
    void StartProgrammer(CDeviceItem *device);
    void DeleteProgrammer();
    void EnableActionsFromCapabilities();
    void ShowOptionsPanel();
    bool RefuseWhenBusy();
    void ShowAdapterGone();
    void ReconnectSequence();
    void SendStatusQuery();
    void ReleaseBusyLock();
    // The data of a program is all out (or its final status came): the
    // progress bar rests and the buffer lock is let go.
    void EndDataProgress();
    void RunAutoScript();

    // --- adapter trouble (MainFrameTrouble.cpp)
    // Logs why the adapter cannot be used, once until the reason changes or
    // the adapter is usable again; a lost link also logs where an operation
    // was cut off.
    void OnAdapterTrouble(int trouble, qint64 lastUnit);
    void LogAdapterMessages();
    void ReportTargetRejected();
    void ReportAdapterUsable();
    void LogTroubleOnce(int trouble, int textIndex);
    // One line for each NAND entry of the device lists whose geometry the
    // engine refuses, so that a broken list is seen before it is used.
    void ReportUnservableDevices();

    // --- messages (MainFrameMessages.cpp)
    void HandleAdapterId(const CProgMessage &message);
    void HandleTargetReply(const CProgMessage &message);
    void HandleBlankResult(const CProgMessage &message);
    void HandleRevision(const CProgMessage &message);
    void NotifyConsole(int code);
    // An operation ended as done: its outcome is kept and a script waiting
    // for its code resumes.
    void NotifyDone(uint8_t code);
    // The end-of-program reply: its status bytes tell whether every page
    // took its data.
    void HandleProgramDone(const CProgMessage &message);

    // --- progress (MainFrameProgress.cpp)
    bool ThrottledReadSpeed(uint32_t position);
    // A file name the running script gave for the next dialog, or an empty
    // one when it runs unattended without one; false when the operator is
    // to be asked.
    bool ScriptFileName(const QString &caption, QString &path);
    // Keeps a failed outcome and shows it; logged only when logIt (the
    // reason may be a line already in the log).
    void RecordFailure(uint8_t code, const QString &reason, bool hasAddress, uint64_t address, bool logIt);
    void CheckedPieceDone(uint32_t reached, int resultText, uint8_t code);
    void FinishTimedOperation();

    // --- operator slots (MainFrameSlots.cpp)
    void RunConsole(const QString &line);
    bool Confirm(int textIndex);
    void OpenDeviceFile(int family);

    std::array<QAction *, ActionCount> m_actions{};
    QList<QAction *> m_recentFileActions;
    QList<QAction *> m_recentTargetActions;
    QMenu *m_recentFilesMenu = nullptr;
    QMenu *m_recentTargetsMenu = nullptr;
    QMenu *m_familyMenu = nullptr;
    QToolBar *m_toolBar1 = nullptr;
    QToolBar *m_toolBar2 = nullptr;
    QAction *m_optionsPanelAction = nullptr;
    QLabel *m_speedLabel = nullptr;
    QSlider *m_speedSlider = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QLabel *m_infoLabel = nullptr;
    CStatusLabel *m_connectionLabel = nullptr;
    QLabel *m_countersLabel = nullptr; // production PASS / FAIL / total, hidden until the first chip

    QSplitter *m_mainSplitter = nullptr;
    QSplitter *m_vSplitter = nullptr;
    CFileBrowserPanel *m_filePanel = nullptr;
    QPlainTextEdit *m_logPanel = nullptr;
    QTabWidget *m_tabs = nullptr;
    CConsoleView *m_console = nullptr;

    QMessageBox *m_waitBox = nullptr;
    std::unique_ptr<CProgrammer> m_programmer;
    // Counts programmers, so that signals of a replaced one are recognised.
    quint64 m_programmerGeneration = 0;
    std::unique_ptr<QObject> m_programmerContext; // receives the programmer's signals
    QString m_targetName;
    QString m_workDir;
    bool m_autoScript = false;
    bool m_targetSetUp = false; // a device is set up as the target
    bool m_headless = false;
    FILE *m_logStream = nullptr; // a run without a window writes its log here

    uint32_t m_opStart = 0;
    uint32_t m_opEnd = 0;
    int64_t m_lastSpeedUpdate = 0;
    COperationClock m_opClock;
    bool m_adapterReady = false;
    bool m_compareFlag = false;
    int m_keepAliveTimer = 0;
    int m_targetChangeTimer = 0;
    int m_loggedTrouble = 0; // the adapter trouble last logged, 0 = none

    std::unique_ptr<QFile> m_logFile;
    QString m_lastLogLine;
    QTimer *m_scriptTimer = nullptr;
};

// The one window; null before it is constructed and after it is gone.
extern CMainFrame *g_pMainFrame;

// The adapter kind byte of the set-target command, from the identification's
// serial number: its top byte names the fitted top module (0x00 NAND).
uint8_t AdapterKindFromSerial(uint32_t serial);
