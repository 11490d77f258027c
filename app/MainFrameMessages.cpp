// The programmer's replies that the window handles itself, and the hand-over
// of every other one to the engine.

#include "MainFrame.h"

#include "AdapterProtocol.h"
#include "CmdProcessor.h"
#include "Programmer.h"
#include "StatusLabel.h"
#include "UiText.h"

#include <QLabel>
#include <QMessageBox>

namespace {
enum MessageTextIndex : int {
    UI_ERROR = 3,
    UI_PROGRAM_TIME = 60,
    UI_FLASH_BLANKED = 71,
    UI_NOT_BLANK_AT = 72,
    UI_INCOMPATIBLE_MODULE = 73,
};

constexpr uint8_t TAG_UNUSED = 'U';
constexpr uint8_t TAG_REVISION = 'S';
constexpr uint8_t TAG_BLANK_RESULT = 'F';
constexpr int ECO_BYTES_PER_LINE = 16;

// The top byte of the adapter's serial number names the fitted top module.
constexpr int MODULE_SHIFT = 24;
constexpr uint32_t MODULE_NAND = 0x00;
constexpr uint32_t MODULE_SPI = 0x01;
// Adapter kind byte of the set-target command.
constexpr uint8_t ADAPTER_KIND_NAND = 0;
constexpr uint8_t ADAPTER_KIND_OTHER = 1;

// Set-target reply bytes.
constexpr int REPLY_FITS = 0;
constexpr int REPLY_ACCEPTED = 1;

QString ModuleText(uint32_t module)
{
    switch (module) {
    case MODULE_NAND:
        return QStringLiteral("NAND");
    case MODULE_SPI:
        return QStringLiteral("SPI");
    default:
        return QStringLiteral("-");
    }
}
} // namespace

uint8_t AdapterKindFromSerial(uint32_t serial)
{
    return (serial >> MODULE_SHIFT) == MODULE_NAND ? ADAPTER_KIND_NAND : ADAPTER_KIND_OTHER;
}

void CMainFrame::OnProgMessage(CProgMessage *message)
{
    if (!message)
        return;
    const std::unique_ptr<CProgMessage> owned(message);
    const uint8_t tag = message->tag;
    switch (tag) {
    case Adapter::Tag::Status:
        NotifyConsole(tag);
        break;
    case Adapter::Tag::ProgramDone:
        PrintElapsed(Text(UI_PROGRAM_TIME));
        NotifyConsole(tag);
        break;
    case TAG_BLANK_RESULT:
        HandleBlankResult(*message);
        NotifyConsole(tag);
        break;
    case Adapter::Tag::AdapterId:
        HandleAdapterId(*message);
        break;
    case Adapter::Tag::TargetSet:
        HandleTargetReply(*message);
        break;
    case TAG_REVISION:
        HandleRevision(*message);
        NotifyConsole(tag);
        break;
    case TAG_UNUSED:
        break;
    default:
        if (m_programmer && m_programmer->handleMessage(message))
            NotifyConsole(tag);
        break;
    }
}

void CMainFrame::NotifyConsole(int code)
{
    g_cmdProcessor.NotifyConsole(code);
}

void CMainFrame::HandleBlankResult(const CProgMessage &message)
{
    if (!m_programmer || !message.data || message.size < 4)
        return;
    const uint32_t value = m_programmer->getLE(message.data.get(), 4);
    if (value == static_cast<uint32_t>(message.address))
        LogMessage(Text(UI_FLASH_BLANKED));
    else
        LogMessage(Text(UI_NOT_BLANK_AT) + QString::asprintf(" 0x%08x", value));
}

void CMainFrame::HandleAdapterId(const CProgMessage &message)
{
    const bool complete = message.data && message.size >= Adapter::AdapterIdReplyLength;
    const uint32_t serial = complete ? Adapter::GetLE(message.data.get(), 4) : 0;
    const uint32_t type = complete ? Adapter::GetLE(message.data.get() + 4, 4) : 0;

    if (type == Adapter::OtherNandFirmware && m_programmer) {
        m_programmer->switchFirmware();
        ReconnectSequence();
        return;
    }
    if (type == Adapter::MatchingFirmware && m_programmer) {
        m_infoLabel->setText(ModuleText(serial >> MODULE_SHIFT));
        m_programmer->setTarget(AdapterKindFromSerial(serial));
        return;
    }
    ShowAdapterGone();
    if (m_keepAliveTimer) {
        killTimer(m_keepAliveTimer);
        m_keepAliveTimer = 0;
    }
    QMessageBox::warning(nullptr, Text(UI_ERROR), QStringLiteral("Missing adapter or incompatible adapter"),
                         QMessageBox::Ok);
}

void CMainFrame::HandleTargetReply(const CProgMessage &message)
{
    const bool complete = message.data && message.size >= Adapter::SetTargetReplyLength;
    const uint8_t accepted = complete ? message.data[REPLY_ACCEPTED] : 0;
    const uint8_t fits = complete ? message.data[REPLY_FITS] : 0;
    if (accepted != 1) {
        ReportTargetRejected();
        ReconnectSequence();
        return;
    }
    ReportAdapterUsable();
    if (fits == 1)
        return;
    QMessageBox::warning(nullptr, Text(UI_ERROR), Text(UI_INCOMPATIBLE_MODULE), QMessageBox::Ok);
    OnSelectDevice();
}

void CMainFrame::HandleRevision(const CProgMessage &message)
{
    const uint8_t *data = message.data.get();
    const uint32_t size = data ? message.size : 0;
    if (size == 1) {
        LogMessage(QString::asprintf("Eco %02X", data[0]));
        return;
    }
    if (size == 4) {
        LogMessage(QString::asprintf("Eco :%08X", Adapter::GetLE(data, 4)));
        return;
    }
    QString line = QStringLiteral("Eco :");
    for (uint32_t i = 0; i < size; ++i) {
        line += QString::asprintf("%02X", data[i]);
        if ((i + 1) % ECO_BYTES_PER_LINE == 0) {
            LogMessage(line);
            line = QStringLiteral("Eco :");
        }
    }
    LogMessage(line);
}
