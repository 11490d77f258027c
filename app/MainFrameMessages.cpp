// The programmer's replies that the window handles itself, and the hand-over
// of every other one to the engine.

#include "MainFrame.h"

#include "AdapterProtocol.h"
#include "CmdProcessor.h"
#include "OperationOutcome.h"
#include "OutcomeTexts.h"
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
        if (!message->lost)
            NotifyConsole(tag);
        break;
    case Adapter::Tag::ProgramDone:
        HandleProgramDone(*message);
        break;
    case TAG_BLANK_RESULT:
        HandleBlankResult(*message);
        NotifyConsole(tag);
        break;
    case Adapter::Tag::AdapterId:
        // Asked for again by the worker already; a reply that stayed lost
        // is not taken for an adapter of unknown type.
        if (!message->lost)
            HandleAdapterId(*message);
        break;
    case Adapter::Tag::TargetSet:
        if (!message->lost)
            HandleTargetReply(*message);
        break;
    case TAG_REVISION:
        HandleRevision(*message);
        NotifyConsole(tag);
        break;
    case TAG_UNUSED:
        break;
    case Adapter::Tag::ChipProbe:
        g_cmdProcessor.OnChipProbe(message->data && !message->lost
                                       ? QByteArray(reinterpret_cast<const char *>(message->data.get()),
                                                    qsizetype(message->size))
                                       : QByteArray(),
                                   message->lost || !message->data);
        break;
    default:
        // The engine may end the message's operation under another code
        // (a detection finished by the chip's self-description).
        if (m_programmer && m_programmer->handleMessage(message))
            NotifyDone(message->tag);
        break;
    }
}

void CMainFrame::NotifyConsole(int code)
{
    g_cmdProcessor.NotifyConsole(code);
}

void CMainFrame::NotifyDone(uint8_t code)
{
    COperationOutcome outcome;
    outcome.result = COperationOutcome::EResult::Done;
    outcome.code = code;
    outcome.operation = OperationName(code);
    g_cmdProcessor.NotifyOutcome(outcome);
}

void CMainFrame::HandleProgramDone(const CProgMessage &message)
{
    const uint32_t unit = m_programmer ? static_cast<uint32_t>(std::max(0, m_programmer->packetSize())) : 0;
    const uint64_t end = static_cast<uint64_t>(static_cast<uint32_t>(message.address)) * unit;
    if (message.lost || !message.data || message.size < 1) {
        FailOperation(message.tag, TextAtAddress(OutcomeText::ProgramStatusLost, end), true, end);
        return;
    }
    if (message.data[0] != 0) {
        // The adapter reports that a page did not take its data; the engine
        // that knows where has said so already when it could.
        FailOperation(message.tag, TextAtAddress(OutcomeText::ProgramFailed, end), true, end);
        return;
    }
    // The data may end short of the range (bad blocks at its end were
    // stepped over): the final status ends the program all the same.
    if (m_opEnd != 0)
        EndDataProgress();
    PrintElapsed(Text(UI_PROGRAM_TIME));
    NotifyDone(message.tag);
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
