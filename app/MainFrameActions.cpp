// The window's actions, menus, tool bars and status bar, built once.

#include "MainFrame.h"

#include "AppSettings.h"
#include "StatusLabel.h"
#include "UiText.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>

namespace {
enum ActionTextIndex : int {
    UI_FILE = 0,
    UI_TOOLS = 9,
    UI_HELP = 27,
    UI_SPEED = 32,
    UI_RECENT_FILES = 116,
    UI_RECENT_TARGETS = 117,
    UI_NEW_FLASH = 151,
};

constexpr int NO_TEXT = -1;
constexpr QSize TOOL_ICON_SIZE(32, 32);
constexpr int SPEED_SLIDER_WIDTH = 100;
constexpr int SPEED_MIN = 1;
constexpr int SPEED_MAX = 10;
constexpr int PROGRESS_WIDTH = 160;
constexpr int INFO_WIDTH = 70;

const char *const PROGRESS_STYLE = "QProgressBar {border: 1px solid grey; border-radius: 0px;height: 12px;}"
                                   "QProgressBar::chunk {background-color: #05B8CC;width: 8px}";
const char *const INFO_STYLE = "QLabel {border: 1px solid grey; border-radius: 0px;height: 12px;}";

// One row of the action table.
struct SActionRow
{
    CMainFrame::ActionId id;
    int textIndex;           // UI text, or NO_TEXT for fixedText
    int tipIndex;            // UI text of the status tip, or NO_TEXT
    const char *fixedText;   // text that no language replaces
    const char *icon;        // resource path, or null
    QKeySequence::StandardKey standardKey;
    const char *keys;        // shortcut text when there is no standard key
    void (CMainFrame::*handler)();
};

const SActionRow ACTION_TABLE[] = {
    {CMainFrame::ActClear, 43, 120, nullptr, ":/images/empty.png", QKeySequence::New, nullptr, &CMainFrame::OnClear},
    {CMainFrame::ActOpen, 5, 6, nullptr, ":/images/open.png", QKeySequence::Open, nullptr, &CMainFrame::OnOpen},
    {CMainFrame::ActSave, 7, 8, nullptr, ":/images/save.png", QKeySequence::Save, nullptr, &CMainFrame::OnSave},
    {CMainFrame::ActExit, 1, 2, nullptr, nullptr, QKeySequence::Quit, nullptr, nullptr},
    {CMainFrame::ActDevice, 124, 10, nullptr, ":/images/device.png", QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnSelectDevice},
    {CMainFrame::ActDetect, 13, 14, nullptr, ":/images/chipid.png", QKeySequence::UnknownKey, "F1",
     &CMainFrame::OnDetect},
    {CMainFrame::ActRead, 15, 16, nullptr, ":/images/chipread.png", QKeySequence::UnknownKey, "F2",
     &CMainFrame::OnRead},
    {CMainFrame::ActVerify, 17, 18, nullptr, ":/images/verify.png", QKeySequence::UnknownKey, "F3",
     &CMainFrame::OnVerify},
    {CMainFrame::ActBlankCheck, 19, 20, nullptr, ":/images/blank.png", QKeySequence::UnknownKey, "F5",
     &CMainFrame::OnBlankCheck},
    {CMainFrame::ActErase, 21, 22, nullptr, ":/images/chiperase.png", QKeySequence::UnknownKey, "F4",
     &CMainFrame::OnErase},
    {CMainFrame::ActWrite, 23, 24, nullptr, ":/images/chipwrite.png", QKeySequence::UnknownKey, "CTRL+W",
     &CMainFrame::OnProgram},
    {CMainFrame::ActSmartCopy, 176, 177, nullptr, ":/images/duplicate.png", QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnSmartCopy},
    {CMainFrame::ActStop, 133, 134, nullptr, ":/images/stop.png", QKeySequence::UnknownKey, "Esc",
     &CMainFrame::OnStop},
    {CMainFrame::ActNandFlash, NO_TEXT, NO_TEXT, "Nand Flash", nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnNewFlash},
    {CMainFrame::ActSpiFlash, NO_TEXT, NO_TEXT, "SPI Flash", nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnNewFlash},
    {CMainFrame::ActLanguage, 108, 109, nullptr, nullptr, QKeySequence::UnknownKey, nullptr, &CMainFrame::OnLanguage},
    {CMainFrame::ActEditDeviceFile, 146, 146, nullptr, nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnEditDeviceFile},
    {CMainFrame::ActNewChip, 152, 153, nullptr, nullptr, QKeySequence::UnknownKey, nullptr, &CMainFrame::OnNewChip},
    {CMainFrame::ActMultiFileCorrection, 167, 168, nullptr, nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnMultiFileCorrection},
    {CMainFrame::ActGotoConfigFolder, 30, 31, nullptr, nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnGotoConfigFolder},
    {CMainFrame::ActAbout, 28, 29, nullptr, ":/images/about.png", QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnAbout},
    {CMainFrame::ActProgrammer, 240, 241, nullptr, nullptr, QKeySequence::UnknownKey, nullptr,
     &CMainFrame::OnChooseProgrammer},
};
static_assert(std::size(ACTION_TABLE) == CMainFrame::ActionCount, "one row per action");

QMenu *AddRegisteredMenu(QMenuBar *bar, int textIndex)
{
    QMenu *menu = bar->addMenu(QString());
    menu->setObjectName(QStringLiteral("menu%1").arg(textIndex));
    g_uiText.RegisterMenu(menu, textIndex);
    return menu;
}

QMenu *AddRegisteredSubmenu(QMenu *parent, int textIndex)
{
    QMenu *menu = parent->addMenu(QString());
    g_uiText.RegisterMenu(menu, textIndex);
    return menu;
}
} // namespace

void CMainFrame::CreateActions()
{
    for (const SActionRow &row : ACTION_TABLE) {
        auto *action = new QAction(this);
        if (row.icon)
            action->setIcon(QIcon(QString::fromLatin1(row.icon)));
        if (row.standardKey != QKeySequence::UnknownKey)
            action->setShortcuts(row.standardKey);
        else if (row.keys)
            action->setShortcut(QKeySequence(QString::fromLatin1(row.keys)));
        if (row.textIndex == NO_TEXT)
            action->setText(QString::fromLatin1(row.fixedText));
        else
            g_uiText.RegisterAction(action, row.textIndex, row.tipIndex);
        if (row.handler)
            connect(action, &QAction::triggered, this, row.handler);
        m_actions[row.id] = action;
    }
    connect(m_actions[ActExit], &QAction::triggered, this, &QWidget::close);

    for (int i = 0; i < RecentActionCount; ++i) {
        auto *file = new QAction(this);
        file->setVisible(false);
        connect(file, &QAction::triggered, this, &CMainFrame::OnRecentFile);
        m_recentFileActions << file;
        auto *target = new QAction(this);
        target->setVisible(false);
        connect(target, &QAction::triggered, this, &CMainFrame::OnRecentTarget);
        m_recentTargetActions << target;
    }
}

void CMainFrame::CreateMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = AddRegisteredMenu(bar, UI_FILE);
    file->addAction(m_actions[ActClear]);
    file->addAction(m_actions[ActOpen]);
    file->addAction(m_actions[ActSave]);
    file->addSeparator();
    m_recentFilesMenu = AddRegisteredSubmenu(file, UI_RECENT_FILES);
    m_recentFilesMenu->addActions(m_recentFileActions);
    file->addSeparator();
    file->addAction(m_actions[ActExit]);

    QMenu *tools = AddRegisteredMenu(bar, UI_TOOLS);
    tools->addAction(m_actions[ActDevice]);
    QMenu *newFlash = AddRegisteredSubmenu(tools, UI_NEW_FLASH);
    newFlash->addAction(m_actions[ActNandFlash]);
    newFlash->addAction(m_actions[ActSpiFlash]);
    tools->addAction(m_actions[ActLanguage]);
    tools->addAction(m_actions[ActProgrammer]);
    tools->addSeparator();
    tools->addAction(m_actions[ActEditDeviceFile]);
    m_recentTargetsMenu = AddRegisteredSubmenu(tools, UI_RECENT_TARGETS);
    m_recentTargetsMenu->addActions(m_recentTargetActions);

    m_familyMenu = bar->addMenu(QString());
    m_familyMenu->setObjectName(QStringLiteral("familyMenu"));
    m_familyMenu->addAction(m_actions[ActNewChip]);
    m_familyMenu->addAction(m_actions[ActMultiFileCorrection]);
    m_familyMenu->menuAction()->setVisible(false);

    QMenu *help = AddRegisteredMenu(bar, UI_HELP);
    help->addAction(m_actions[ActGotoConfigFolder]);
    help->addAction(m_actions[ActAbout]);
}

void CMainFrame::CreateToolBars()
{
    m_toolBar1 = addToolBar(QString());
    m_toolBar1->setObjectName(QStringLiteral("toolBar1"));
    m_toolBar1->setMovable(false);
    m_toolBar1->setIconSize(TOOL_ICON_SIZE);
    m_toolBar1->addAction(m_actions[ActClear]);
    m_toolBar1->addAction(m_actions[ActOpen]);
    m_toolBar1->addAction(m_actions[ActSave]);
    m_toolBar1->addAction(m_actions[ActDevice]);
    m_toolBar1->addSeparator();
    for (ActionId id : {ActDetect, ActRead, ActVerify, ActBlankCheck})
        m_toolBar1->addAction(m_actions[id]);
    m_toolBar1->addSeparator();
    for (ActionId id : {ActErase, ActWrite, ActStop})
        m_toolBar1->addAction(m_actions[id]);
    m_toolBar1->addSeparator();
    m_toolBar1->addAction(m_actions[ActAbout]);
    m_toolBar1->addSeparator();

    m_speedLabel = new QLabel(this);
    m_speedSlider = new QSlider(Qt::Horizontal, this);
    m_speedSlider->setFixedWidth(SPEED_SLIDER_WIDTH);
    m_speedSlider->setRange(SPEED_MIN, SPEED_MAX);
    m_speedSlider->setSingleStep(1);
    m_speedSlider->setPageStep(1);
    m_speedSlider->setValue(SPEED_MAX);
    UpdateSpeedLabel(SPEED_MAX);
    connect(m_speedSlider, &QSlider::valueChanged, this, &CMainFrame::OnSpeedChanged);
    m_toolBar1->addWidget(m_speedLabel);
    m_toolBar1->addWidget(m_speedSlider);
    m_toolBar1->addSeparator();

    addToolBarBreak(Qt::TopToolBarArea);
    m_toolBar2 = addToolBar(QString());
    m_toolBar2->setObjectName(QStringLiteral("toolBar2"));
    m_toolBar2->setMovable(false);
    m_toolBar2->setIconSize(TOOL_ICON_SIZE);
    m_toolBar2->addAction(m_actions[ActSmartCopy]);
    m_toolBar2->hide();
}

void CMainFrame::CreateStatusBar()
{
    m_progressBar = new QProgressBar(this);
    m_progressBar->setFixedWidth(PROGRESS_WIDTH);
    m_progressBar->setTextVisible(false);
    m_progressBar->setStyleSheet(QString::fromLatin1(PROGRESS_STYLE));
    m_progressBar->setValue(0);

    m_infoLabel = new QLabel(this);
    m_infoLabel->setFixedWidth(INFO_WIDTH);
    m_infoLabel->setStyleSheet(QString::fromLatin1(INFO_STYLE));

    m_connectionLabel = new CStatusLabel(this);

    statusBar()->addPermanentWidget(m_progressBar);
    statusBar()->addPermanentWidget(m_infoLabel);
    statusBar()->addPermanentWidget(m_connectionLabel);
}

void CMainFrame::UpdateRecentFileActions()
{
    const QStringList files = AppSettings().ReadStringList(SET_RECENT_FILES);
    for (int i = 0; i < RecentActionCount; ++i) {
        QAction *action = m_recentFileActions[i];
        if (i < files.size()) {
            action->setText(tr("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
            action->setData(files[i]);
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::UpdateRecentTargetActions()
{
    const QStringList targets = AppSettings().ReadStringList(SET_RECENT_TARGETS);
    for (int i = 0; i < RecentActionCount; ++i) {
        QAction *action = m_recentTargetActions[i];
        if (i < targets.size()) {
            action->setText(targets[i]);
            action->setData(targets[i]);
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void CMainFrame::UpdateSpeedLabel(int value)
{
    m_speedLabel->setText(QStringLiteral("%1(%2)  ").arg(Text(UI_SPEED)).arg(value));
}

void CMainFrame::SetSaveAllowed(bool allowed)
{
    m_actions[ActSave]->setEnabled(allowed);
    m_actions[ActSave]->setVisible(allowed);
}

QAction *CMainFrame::SaveAction() const
{
    return m_actions[ActSave];
}
