// The operator's actions. Chip and buffer operations become console lines,
// so that the tool bar, the console and scripts share one road.

#include "MainFrame.h"

#include "AboutDialog.h"
#include "AppDirectory.h"
#include "AppSettings.h"
#include "CmdProcessor.h"
#include "ConsoleView.h"
#include "DeviceDatabase.h"
#include "DeviceEditorDialog.h"
#include "FileBrowserPanel.h"
#include "LanguageDialog.h"
#include "Programmer.h"
#include "StatusLabel.h"
#include "UiText.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QUrl>

namespace {
enum SlotTextIndex : int {
    UI_SELECT_SCRIPT_DIR = 37,
    UI_WARNING = 56,
    UI_SURE_PROGRAM = 57,
    UI_SURE_ERASE = 58,
    UI_SAVE_BINARY = 66,
};

const char *const BINARY_FILTER = "Binary files (*.bin);;All files (*.*)";

void OpenLocalFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::toNativeSeparators(path)));
}
} // namespace

void CMainFrame::RunConsole(const QString &line)
{
    g_cmdProcessor.RunCommand(line);
}

bool CMainFrame::Confirm(int textIndex)
{
    return AskYesNo(Text(UI_WARNING), Text(textIndex));
}

void CMainFrame::OnDetect() { RunConsole(QStringLiteral("detect")); }
void CMainFrame::OnRead() { RunConsole(QStringLiteral("read ")); }
void CMainFrame::OnVerify() { RunConsole(QStringLiteral("verify ")); }
void CMainFrame::OnBlankCheck() { RunConsole(QStringLiteral("blkchk ")); }
void CMainFrame::OnOpen() { RunConsole(QStringLiteral("load")); }
void CMainFrame::OnMultiFileCorrection() { RunConsole(QStringLiteral("mfc")); }
void CMainFrame::OnNewChip() { RunConsole(QStringLiteral("newchip")); }

void CMainFrame::OnProgram()
{
    if (Confirm(UI_SURE_PROGRAM))
        RunConsole(QStringLiteral("program "));
}

void CMainFrame::OnErase()
{
    if (Confirm(UI_SURE_ERASE))
        RunConsole(QStringLiteral("erase "));
}

void CMainFrame::OnSmartCopy()
{
    if (Confirm(UI_SURE_PROGRAM))
        RunConsole(QStringLiteral("smtcpy"));
}

void CMainFrame::OnClear()
{
    RunConsole(QStringLiteral("cls"));
    if (m_console)
        m_console->Clear();
}

void CMainFrame::OnSpeedChanged(int value)
{
    UpdateSpeedLabel(value);
    if (m_programmer)
        m_programmer->setSpeed(value);
}

void CMainFrame::OnSave()
{
    if (!m_tabs || !m_programmer)
        return;
    const int tab = m_tabs->currentIndex() == 0 ? 1 : m_tabs->currentIndex();
    if (tab >= m_tabs->count())
        return;
    const QString bufferName = m_tabs->tabText(tab);
    const QString path = GetSaveFileName(Text(UI_SAVE_BINARY), m_workDir, QString::fromLatin1(BINARY_FILTER));
    if (path.isEmpty())
        return;
    m_programmer->saveNamedBuffer(bufferName, path);
    AddRecentFile(path);
}

void CMainFrame::OnRecentFile()
{
    const auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    const QString path = action->data().toString();
    AddRecentFile(path);
    if (m_programmer)
        m_programmer->loadFile(path);
}

void CMainFrame::OnSelectWorkDir()
{
    const QString dir = QFileDialog::getExistingDirectory(this, Text(UI_SELECT_SCRIPT_DIR), m_workDir,
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return;
    if (m_filePanel)
        m_filePanel->ShowDirectory(dir);
    m_workDir = dir + QLatin1Char('/');
}

void CMainFrame::OnGotoConfigFolder()
{
    OpenLocalFile(AppDirectory(DIR_CONFIG));
}

void CMainFrame::OpenDeviceFile(int family)
{
    const DeviceFamilyList &families = DeviceFamilies();
    if (family < 0 || family >= int(families.size()))
        return;
    OpenLocalFile(AppDirectory(DIR_CONFIG) + families[family]->m_name + QStringLiteral(".txt"));
}

void CMainFrame::OnEditDeviceFile()
{
    const CDeviceItem *device = FindByName(m_targetName);
    if (device)
        OpenDeviceFile(device->m_type);
}

void CMainFrame::OnNewFlash()
{
    const auto *action = qobject_cast<QAction *>(sender());
    const QString text = action ? action->text() : QString();
    int family = DEVICE_NAND;
    if (!text.contains(QLatin1String("Nand")) && text.contains(QLatin1String("SPI")))
        family = DEVICE_SPI;
    CDeviceEditorDialog dialog(this, family, text);
    if (dialog.exec() != QDialog::Accepted)
        return;
    OpenDeviceFile(family);
    LogMessage(dialog.Entry()->ToText());
}

void CMainFrame::OnLanguage()
{
    const QString current = AppSettings().ReadString(SET_LANGUAGE_FILE);
    CLanguageDialog dialog(this, QString(), current);
    if (dialog.exec() != QDialog::Accepted)
        return;
    AppSettings().WriteString(SET_LANGUAGE_FILE, dialog.m_selectedPath);
    g_uiText.LoadLanguage(dialog.m_selectedPath);
    FollowLanguageInQt(dialog.m_selectedPath);
    // Texts the table does not re-label by itself.
    UpdateSpeedLabel(m_speedSlider->value());
    RefreshTitle();
}

void CMainFrame::OnAbout()
{
    CAboutDialog dialog(this);
    dialog.exec();
}
