// The window before a target is chosen: an empty page that points to the
// device button, chip actions disabled; and the start-up notices that need
// the window (settings folder, Qt's own language).

#include "MainFrame.h"

#include "AppSettings.h"
#include "QtTranslations.h"
#include "UiText.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
enum NoTargetTextIndex : int {
    UI_ERROR = 3,
    UI_CHOOSE_DEVICE = 280,
    UI_SETTINGS_FOLDER_UNUSABLE = 282,
    UI_SETTINGS_FOLDER_INSTEAD = 283,
    UI_SETTINGS_NOT_KEPT = 284,
};

constexpr QSize DEVICE_BUTTON_ICON(32, 32);
} // namespace

void CMainFrame::ShowNoTargetPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("noTargetPage"));
    auto *layout = new QVBoxLayout(page);
    layout->addStretch();
    auto *line = new QLabel(Text(UI_CHOOSE_DEVICE), page);
    line->setObjectName(QStringLiteral("noTargetText"));
    line->setAlignment(Qt::AlignCenter);
    layout->addWidget(line);
    auto *button = new QToolButton(page);
    button->setObjectName(QStringLiteral("noTargetDevice"));
    button->setDefaultAction(m_actions[ActDevice]);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(DEVICE_BUTTON_ICON);
    layout->addWidget(button, 0, Qt::AlignHCenter);
    layout->addStretch();
    delete takeCentralWidget();
    setCentralWidget(page);
}

void CMainFrame::EnableTargetActions(bool enabled)
{
    for (ActionId id : {ActOpen, ActDetect, ActRead, ActVerify, ActBlankCheck, ActErase, ActWrite, ActSmartCopy, ActStop,
                        ActEditDeviceFile, ActNewChip, ActMultiFileCorrection})
        m_actions[id]->setEnabled(enabled);
    // The engine decides about Save when it is created.
    if (!enabled)
        m_actions[ActSave]->setEnabled(false);
}

QMenu *CMainFrame::createPopupMenu()
{
    return nullptr;
}

void CMainFrame::TellSettingsFolderProblem()
{
    static bool told = false;
    const CAppSettings &settings = AppSettings();
    if (told || settings.UnusableFolder().isEmpty())
        return;
    told = true;
    QString text = Text(UI_SETTINGS_FOLDER_UNUSABLE) + QLatin1Char('\n') + settings.UnusableFolder() + QLatin1String("\n\n");
    if (settings.Folder().isEmpty())
        text += Text(UI_SETTINGS_NOT_KEPT);
    else
        text += Text(UI_SETTINGS_FOLDER_INSTEAD) + QLatin1Char('\n') + settings.Folder();
    QMessageBox::warning(this, Text(UI_ERROR), text, QMessageBox::Ok);
}

void CMainFrame::FollowLanguageInQt(const QString &languageFile)
{
    InstallQtTranslations(languageFile);
}
