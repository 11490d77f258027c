// Setting up a target device with its programmer, choosing another one, and
// following the adapter as it comes and goes.

#include "MainFrame.h"

#include "AdapterProtocol.h"
#include "CmdProcessor.h"
#include "OutcomeTexts.h"
#include "DeviceDatabase.h"
#include "DeviceSelectDialog.h"
#include "ProductInfo.h"
#include "Programmer.h"
#include "ProgrammerDialog.h"
#include "ProgrammerFactory.h"
#include "ProgrammerLine.h"
#include "Script.h"
#include "ScriptRunner.h"
#include "SignalReceiver.h"
#include "StatusLabel.h"
#include "UiText.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QSlider>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>

namespace {
enum TargetTextIndex : int {
    UI_USB_NOT_CONNECTED = 52,
    UI_USB_FULL_SPEED = 53,
    UI_USB_HIGH_SPEED = 54,
    UI_TARGET = 55,
    UI_BUSY = 74,
    UI_RECENT_TARGET_GONE = 281,
    UI_PROGRAMMER_CHOSEN = 244,
    UI_PROGRAMMER_FROM_CONFIG = 245,
};

enum ConnectionState : int { StateNotConnected = 0, StateFullSpeed = 1, StateHighSpeed = 2 };

constexpr int KEEP_ALIVE_MS = 500;
constexpr int TARGET_CHANGE_DELAY_MS = 10;
constexpr int HIGH_SPEED_PACKET = 512;

// Capability bits that enable the window's actions.
constexpr uint32_t CAP_DETECT = 0x01;
constexpr uint32_t CAP_ERASE = 0x02;
constexpr uint32_t CAP_BLANK_CHECK = 0x04;
} // namespace

bool CMainFrame::IsNandTarget() const
{
    const CDeviceItem *device = m_programmer ? m_programmer->device() : FindByName(m_targetName);
    return device && device->m_type == DEVICE_NAND;
}

void CMainFrame::SetupTarget()
{
    CDeviceItem *device = FindByName(m_targetName);
    if (!device)
        return;
    SetCurrentDevice(device);
    m_targetSetUp = true;
    g_cmdProcessor.ResetScript();

    m_adapterReady = false;
    m_compareFlag = false;
    m_opStart = 0;
    m_opEnd = 0;
    DeleteProgrammer();

    m_connectionLabel->Clear();
    for (int text : {UI_USB_NOT_CONNECTED, UI_USB_FULL_SPEED, UI_USB_HIGH_SPEED})
        m_connectionLabel->AddText(Text(text));
    m_familyMenu->setTitle(QString());

    StartProgrammer(device);
    const bool nand = device->m_type == DEVICE_NAND;
    if (nand)
        m_familyMenu->setTitle(QStringLiteral("Nand"));
    // A menu without a title would leave a blank gap in the menu bar.
    m_familyMenu->menuAction()->setVisible(!m_familyMenu->title().isEmpty());
    m_actions[ActSmartCopy]->setVisible(nand);

    g_cmdProcessor.BuildCommands(m_programmer.get());
    EnableActionsFromCapabilities();
    if (m_programmer)
        m_programmer->start(QThread::InheritPriority);

    BuildCentralWidget();
    RefreshTitle();
    LogMessage(QString::fromLatin1(g_productName) + QStringLiteral("   ") + QString::fromLatin1(g_productVersion));
    LogMessage(Text(UI_TARGET) + device->m_name);
    ReportUnservableDevices();
    if (m_programmer)
        m_programmer->logChipSelects();
    ShowOptionsPanel();
}

void CMainFrame::StartProgrammer(CDeviceItem *device)
{
    m_programmer.reset(CreateProgrammer(device));
    if (!m_programmer)
        return;
    // Replies of a programmer that has been replaced may still wait in the
    // event queue; they are dropped rather than handed to its successor.
    const quint64 generation = ++m_programmerGeneration;
    // The signals are received in a context object of this programmer's
    // own, so that its replies still queued when it goes can be found and
    // freed (see DeleteProgrammer).
    m_programmerContext = std::make_unique<CSignalReceiver>();
    connect(m_programmer.get(), &CProgrammer::connectionChanged, m_programmerContext.get(),
            [this, generation](bool connected) {
        if (generation == m_programmerGeneration)
            OnAdapterState(connected);
    });
    // Within one programmer, replies and reports of an earlier epoch (an
    // operation that was stopped, a connection that was lost) are dropped
    // the same way: they must not move the operation under way.
    connect(m_programmer.get(), &CProgrammer::messageReady, m_programmerContext.get(),
            [this, generation](const CProgMessageParcel &parcel) {
        CProgMessage *message = parcel.Take();
        if (!message)
            return;
        if (generation == m_programmerGeneration && m_programmer && m_programmer->isCurrent(message->epoch))
            OnProgMessage(message);
        else
            delete message;
    });
    connect(m_programmer.get(), &CProgrammer::adapterTrouble, m_programmerContext.get(),
            [this, generation](int trouble, qint64 lastUnit) {
                if (generation == m_programmerGeneration)
                    OnAdapterTrouble(trouble, lastUnit);
            });
    connect(m_programmer.get(), &CProgrammer::dataSent, m_programmerContext.get(),
            [this, generation](unsigned int position, unsigned int count, unsigned int epoch) {
                if (generation == m_programmerGeneration && m_programmer && m_programmer->isCurrent(epoch))
                    OnProgress(position, count);
            });
}

void CMainFrame::DeleteProgrammer()
{
    if (m_toolBar2 && m_optionsPanelAction) {
        m_toolBar2->removeAction(m_optionsPanelAction);
        m_optionsPanelAction = nullptr;
    }
    ++m_programmerGeneration;
    m_programmer.reset();
    // The worker has ended: nothing more is queued. Replies it sent that
    // wait in the event queue are handed over now, and dropped as a former
    // programmer's; deleting the context unseen would leak each of them.
    if (m_programmerContext) {
        QCoreApplication::sendPostedEvents(m_programmerContext.get(), QEvent::MetaCall);
        m_programmerContext.reset();
    }
}

void CMainFrame::EnableActionsFromCapabilities()
{
    EnableTargetActions(true);
    const uint32_t capabilities = m_programmer ? m_programmer->capabilities() : 0;
    m_actions[ActErase]->setEnabled(capabilities & CAP_ERASE);
    m_actions[ActDetect]->setEnabled(capabilities & CAP_DETECT);
    m_actions[ActBlankCheck]->setEnabled(capabilities & CAP_BLANK_CHECK);
}

void CMainFrame::ShowOptionsPanel()
{
    QWidget *panel = m_programmer ? m_programmer->optionsPanel() : nullptr;
    if (panel) {
        m_optionsPanelAction = m_toolBar2->addWidget(panel);
        panel->show();
        m_toolBar2->show();
    } else {
        m_toolBar2->hide();
    }
}

bool CMainFrame::RefuseWhenBusy()
{
    if (!m_programmer)
        return false;
    if (!m_programmer->tryLockBuffer()) {
        LogMessage(Text(UI_BUSY));
        return true;
    }
    m_programmer->unlockBuffer();
    return false;
}

// Another programmer: the line is kept for the next start, and the target
// is set up again, so the new adapter gets a fresh connection. The worker
// goes first: the library reads the line on the worker's thread.
void CMainFrame::OnChooseProgrammer()
{
    if (RefuseWhenBusy())
        return;
    CProgrammerDialog dialog(ProgrammerLine::Current(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString line = dialog.Line();
    ProgrammerLine::Store(line);
    DeleteProgrammer();
    ProgrammerLine::Use(line);
    // After the set-up, which starts the log of the new target afresh.
    if (FindByName(m_targetName))
        SetupTarget();
    LogMessage(Text(UI_PROGRAMMER_CHOSEN).arg(line.isEmpty() ? Text(UI_PROGRAMMER_FROM_CONFIG) : line));
}

void CMainFrame::OnSelectDevice()
{
    if (RefuseWhenBusy())
        return;
    CDeviceSelectDialog dialog(this);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted && !dialog.SelectedName().isEmpty() && dialog.SelectedName() != m_targetName) {
        m_targetName = dialog.SelectedName();
        ChangeTarget();
        return;
    }
    // Highlighting in the dialog moved the current device; the engines and
    // commands of the running target must keep seeing their own device.
    if (CDeviceItem *device = FindByName(m_targetName))
        SetCurrentDevice(device);
}

void CMainFrame::OnRecentTarget()
{
    const auto *action = qobject_cast<QAction *>(sender());
    if (!action || RefuseWhenBusy())
        return;
    const QString name = action->data().toString();
    if (!FindByName(name)) {
        // Gone from the device lists since it was used: the settings and the
        // running target stay as they are, and the operator is told why.
        const QString line = Text(UI_RECENT_TARGET_GONE) + name;
        LogMessage(line);
        ShowStatusMessage(line);
        return;
    }
    m_targetName = name;
    ChangeTarget();
}

bool CMainFrame::RequestTargetChange(const QString &deviceName)
{
    if (deviceName == m_targetName)
        return false;
    m_targetName = deviceName;
    if (m_programmer)
        m_programmer->clearQueue();
    if (!m_targetChangeTimer)
        m_targetChangeTimer = startTimer(TARGET_CHANGE_DELAY_MS);
    return true;
}

void CMainFrame::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_targetChangeTimer) {
        killTimer(m_targetChangeTimer);
        m_targetChangeTimer = 0;
        ChangeTarget();
    } else if (event->timerId() == m_keepAliveTimer) {
        if (m_adapterReady)
            SendStatusQuery();
    } else {
        QMainWindow::timerEvent(event);
    }
}

void CMainFrame::OnAdapterState(bool connected)
{
    LogAdapterMessages();
    if (!connected) {
        // An operation that was followed, or one a script waits for, cannot
        // end any more: it failed.
        if (m_opEnd != 0 || g_cmdProcessor.awaitCode() != 0)
            FailOperation(g_cmdProcessor.awaitCode(), Text(OutcomeText::LinkLost));
        // Until the adapter answers again nothing is started on it: the
        // commands of an operation queued now would belong to the lost
        // connection and be dropped, leaving the operation without an end.
        m_adapterReady = false;
        // The worker lost the adapter and keeps looking for it; the status
        // bar says so. The wait box belongs to the reconnect sequence alone.
        ShowAdapterGone();
        return;
    }
    const bool highSpeed = m_programmer && m_programmer->packetSize() == HIGH_SPEED_PACKET;
    m_connectionLabel->SetState(highSpeed ? StateHighSpeed : StateFullSpeed);
    m_adapterReady = true;
    if (!m_keepAliveTimer)
        m_keepAliveTimer = startTimer(KEEP_ALIVE_MS);
    m_waitBox->hide();
    if (!m_programmer)
        return;

    SendStatusQuery();
    m_programmer->readAdapterId();

    const CDeviceItem *device = m_programmer->device();
    const int speed = device ? device->m_speed : m_speedSlider->maximum();
    {
        const QSignalBlocker blocker(m_speedSlider);
        m_speedSlider->setValue(speed);
    }
    UpdateSpeedLabel(m_speedSlider->value());
    m_programmer->setSpeed(m_speedSlider->value());

    ReleaseBusyLock();
    m_opEnd = 0;
    m_programmer->configurePins();
    RunAutoScript();
}

void CMainFrame::RunAutoScript()
{
    // A connection made while a script still runs, or while a dialog waits
    // for the operator (a command's nested event loop delivers the adapter's
    // signals too), must not start the auto script over it: that would
    // replace the running script and stack its dialogs on the open one.
    if (!m_autoScript || g_cmdProcessor.script().IsLoaded() || QApplication::activeModalWidget())
        return;
    // The file is the whole device name plus ".usp", also for names with a
    // space ("SPI SFDP"), which a typed start line would split into a script
    // name and an argument.
    ::RunAutoScript(m_targetName);
}

void CMainFrame::SendStatusQuery()
{
    if (m_programmer && m_programmer->isConnected())
        m_programmer->queueCommand(Adapter::StatusPacket(), -1, Adapter::Tag::Status, Adapter::StatusReplyLength);
}

void CMainFrame::ReleaseBusyLock()
{
    if (!m_programmer)
        return;
    m_programmer->tryLockBuffer();
    m_programmer->unlockBuffer();
}

void CMainFrame::ShowAdapterGone()
{
    m_connectionLabel->SetState(StateNotConnected);
    m_infoLabel->clear();
    RefreshTitle();
}

void CMainFrame::ReconnectSequence()
{
    if (m_programmer)
        m_programmer->reconnect();
    ShowAdapterGone();
    m_waitBox->show();
}

void CMainFrame::ReinitUsb()
{
    OnAdapterState(false);
    if (m_programmer)
        m_programmer->reconnect();
    m_waitBox->show();
}

int CMainFrame::RunIfIdle(uint64_t address, uint64_t length, int opCode)
{
    if (m_adapterReady && m_opEnd == 0 && m_programmer)
        return m_programmer->startReadOp(address, length, opCode);
    LogMessage(Text(UI_BUSY));
    return 128;
}

bool CMainFrame::LoadFileIntoTarget(const QString &path)
{
    if (!m_programmer)
        return false;
    m_programmer->loadFile(path);
    return true;
}

void CMainFrame::ApplySpeed(int n)
{
    OnSpeedChanged(n);
    m_speedSlider->setValue(n);
}

void CMainFrame::StartScriptTimer(int milliseconds)
{
    m_scriptTimer->start(milliseconds);
}

void CMainFrame::StopScriptTimer()
{
    m_scriptTimer->stop();
}

void CMainFrame::OnScriptTimer()
{
    m_scriptTimer->stop();
    if (g_cmdProcessor.script().IsLoaded())
        g_cmdProcessor.RunScript();
}
