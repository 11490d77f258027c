#include "MainFrame.h"

#include "AppDirectory.h"
#include "AppFont.h"
#include "AppSettings.h"
#include "BundledData.h"
#include "CmdProcessor.h"
#include "DeviceDatabase.h"
#include "FileBrowserPanel.h"
#include "ProductInfo.h"
#include "Programmer.h"
#include "RecentList.h"
#include "UiText.h"
#include "UsbLibrary.h"
#include "WaitBox.h"
#include "WindowLayout.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QTimer>

#include <utility>

CMainFrame *g_pMainFrame = nullptr;

namespace {
enum FrameTextIndex : int {
    UI_TARGET = 55,
    UI_PLEASE_WAIT = 148,
};

QSize PrimaryScreenSize()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}
} // namespace

namespace {
// Set by StartHeadless for the next window only.
bool s_startHeadless = false;
QString s_headlessTarget;
QString s_headlessWorkDir;
FILE *s_headlessLog = nullptr;
} // namespace

void CMainFrame::StartHeadless(const QString &target, const QString &workDir, FILE *logStream)
{
    s_headlessLog = logStream;
    s_startHeadless = true;
    s_headlessTarget = target;
    s_headlessWorkDir = workDir;
}

CMainFrame::CMainFrame(QWidget *parent)
    : QMainWindow(parent), m_headless(std::exchange(s_startHeadless, false))
{
    Q_INIT_RESOURCE(images);

    m_scriptTimer = new QTimer(this);
    m_scriptTimer->setSingleShot(true);
    m_opClock.Invalidate();

    Usb::LoadLibrary();
    const QString languageFile = AppSettings().ReadString(SET_LANGUAGE_FILE);
    if (!languageFile.isEmpty())
        g_uiText.LoadLanguage(languageFile);
    FollowLanguageInQt(languageFile);

    g_pMainFrame = this;
    SetFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/usbprog.png")));

    ReadStartupSettings();
    if (m_headless) {
        m_targetName = s_headlessTarget;
        m_workDir = s_headlessWorkDir;
        m_autoScript = false;
        m_logStream = s_headlessLog ? s_headlessLog : stdout;
    }
    ChooseAppFont();

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();
    UpdateRecentFileActions();
    UpdateRecentTargetActions();
    EnableTargetActions(false);
    TellSettingsFolderProblem();

    // A fresh account gets the bundled device lists, scripts and languages;
    // files the operator already has are never overwritten.
    InstallMissingBundledFiles();
    if (DeviceFamilies().empty())
        LoadDeviceDatabase();
    CDeviceItem *device = FindByName(m_targetName);

    connect(m_scriptTimer, &QTimer::timeout, this, &CMainFrame::OnScriptTimer);
    // The box exists before the first target is set up: a modal dialog of the
    // set-up runs the event loop, and an adapter reply may need the box.
    CreateWaitBox();
    RefreshTitle();
    // The window opens in its stored size even before a target is chosen.
    ApplyGeometry();

    if (device) {
        SetupTarget();
    } else {
        ShowNoTargetPage();
        if (!m_headless)
            OnSelectDevice();
    }
}

CMainFrame::~CMainFrame()
{
    for (QAction *&action : m_actions) {
        delete action;
        action = nullptr;
    }
    qDeleteAll(m_recentFileActions);
    m_recentFileActions.clear();
    qDeleteAll(m_recentTargetActions);
    m_recentTargetActions.clear();

    SaveLayout();
    AppSettings().WriteString(CAppSettings::TargetDirKey(m_targetName), m_workDir);

    g_cmdProcessor.BuildCommands(nullptr);
    DeleteProgrammer();
    SetLogFile(false, QString());

    delete m_scriptTimer;
    m_scriptTimer = nullptr;
    if (g_pMainFrame == this)
        g_pMainFrame = nullptr;
    if (Frame() == this)
        SetFrame(nullptr);
    Usb::UnloadLibrary();
}

void CMainFrame::ReadStartupSettings()
{
    CAppSettings &settings = AppSettings();
    m_autoScript = settings.ReadBool(SET_AUTO_SCRIPT, false);
    m_targetName = settings.ReadString(SET_TEST_NAME);
    g_scriptDirOverride = settings.ReadString(SET_SCRIPT_DIR);
    m_workDir = settings.ReadString(CAppSettings::TargetDirKey(m_targetName));
    if (m_workDir.isEmpty()) {
        const QStringList recent = settings.ReadStringList(SET_RECENT_FILES);
        if (!recent.isEmpty())
            m_workDir = WorkDirOfFile(recent.front());
    }
}

void CMainFrame::CreateWaitBox()
{
    m_waitBox = new CWaitBox(QString::fromLatin1(g_productName), Text(UI_PLEASE_WAIT), this);
}

void CMainFrame::RefreshTitle()
{
    QString title = QString::fromLatin1(g_productName) + QLatin1Char(' ') + QString::fromLatin1(g_productVersion)
                    + QStringLiteral("  ");
    if (m_targetSetUp)
        title += Text(UI_TARGET) + m_targetName + QLatin1Char(' ');
    setWindowTitle(title);
}

bool CMainFrame::HasTarget() const
{
    return m_targetSetUp;
}

void CMainFrame::ApplyGeometry()
{
    setGeometry(MainWindowGeometry(AppSettings().ReadWindowSize(), PrimaryScreenSize()));
}

void CMainFrame::SaveLayout()
{
    CAppSettings &settings = AppSettings();
    if (m_mainSplitter && m_vSplitter) {
        settings.WriteStringList(SET_WINDOWS_2, SplitterSizesToSetting(m_vSplitter->sizes()));
        settings.WriteStringList(SET_WINDOWS_1, SplitterSizesToSetting(m_mainSplitter->sizes()));
    }
    settings.WriteWindowSize(size());
}

void CMainFrame::AddRecentFile(const QString &path)
{
    m_workDir = path;
    CAppSettings &settings = AppSettings();
    settings.WriteStringList(SET_RECENT_FILES, WithRecentEntry(settings.ReadStringList(SET_RECENT_FILES), path));
    UpdateRecentFileActions();
    m_workDir = CutAfterLastSlash(m_workDir);
    if (m_filePanel)
        m_filePanel->ShowDirectory(m_workDir);
}

void CMainFrame::ChangeTarget()
{
    CAppSettings &settings = AppSettings();
    const QString storedName = settings.ReadString(SET_TEST_NAME);
    if (storedName != m_targetName)
        settings.WriteString(CAppSettings::TargetDirKey(storedName), m_workDir);

    settings.WriteBool(SET_AUTO_SCRIPT, m_autoScript);
    settings.WriteString(SET_TEST_NAME, m_targetName);
    settings.WriteString(SET_SCRIPT_DIR, g_scriptDirOverride);

    const QString targetDir = settings.ReadString(CAppSettings::TargetDirKey(m_targetName));
    if (!targetDir.isEmpty())
        m_workDir = targetDir;

    settings.WriteStringList(SET_RECENT_TARGETS,
                             WithRecentEntry(settings.ReadStringList(SET_RECENT_TARGETS), m_targetName));
    SaveLayout();
    UpdateRecentTargetActions();
    SetupTarget();
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    event->accept();
}

void CMainFrame::ExitApplication(int code)
{
    QCoreApplication::exit(code);
}
