#include "BridgeAdapter.h"

#include "AdapterReplies.h"
#include "SimLog.h"

namespace xrsim {

std::string ChoiceText(const xrbridge::CProgrammerChoice &choice)
{
    const std::string name = xrbridge::ProgrammerName(choice.kind);
    return choice.node.empty() ? name : name + ":" + choice.node;
}

CBridgeAdapter::CBridgeAdapter(const xrbridge::CProgrammerChoice &choice, const std::string &choiceError,
                               const CAdapterConfig &config, const xrbridge::CBridgeSeams &seams)
    : m_choice(choice), m_choiceError(choiceError), m_config(config), m_seams(seams), m_trace(config.trace)
{
}

CBridgeAdapter::~CBridgeAdapter()
{
    DropPending();
    m_spi.reset();  // the bridge leaves the chip alone as it closes
    m_stats.WriteTo(m_config.stats);
}

void CBridgeAdapter::Problem(const std::string &line)
{
    if (line == m_lastProblem)
        return;
    m_lastProblem = line;
    Warn(line);
}

bool CBridgeAdapter::Connect()
{
    if (!m_choiceError.empty()) {
        Problem(m_choiceError);
        return false;
    }
    std::string error;
    std::unique_ptr<xrbus::ISpiBus> bus = xrbridge::OpenBridge(m_choice, m_seams, error);
    if (!bus) {
        Problem(error.empty() ? "cannot open the programmer " + ChoiceText(m_choice) : error);
        return false;
    }
    // A real part: time-outs of a real part, no poll budget.
    m_spi = xrspi::MakeSpiFirmware(std::move(bus), m_stats, xrspi::CPollLimits());
    if (!m_announced)
        Warn("programmer " + ChoiceText(m_choice) + " ready");
    m_announced = true;
    return true;
}

int32_t CBridgeAdapter::Open()
{
    const int32_t result = m_spi || Connect() ? 1 : 0;
    m_open = result != 0;
    m_trace.Open(result);
    return result;
}

void CBridgeAdapter::Close()
{
    m_trace.Close();
    DropPending();
    if (m_spi)
        m_spi->Release();
    m_open = false;
    m_stats.WriteTo(m_config.stats);
}

int32_t CBridgeAdapter::LoadFirmware(const uint8_t *data, uint8_t mode)
{
    const CFirmwareImage image = ReadFirmwareImage(data);
    int32_t result = 0;
    if (m_spi && image.wellFormed) {
        if (!m_firmware || m_firmware->identity != image.identity) {
            DropPending();
            m_firmware = image;
            if (image.tagged && image.kind == fwrecord::KindSpi)
                m_spi->SelectAlgorithm(image.index);
            ++m_stats.firmwareLoads;
        }
        result = 2;
    }
    m_trace.Firmware(image.tagged ? image.kind : -1, image.tagged ? image.index : -1, mode, result);
    return result;
}

bool CBridgeAdapter::LinkLost()
{
    if (!m_spi || !m_spi->BusFailed())
        return false;
    Problem(m_spi->BusError().empty() ? "the programmer " + ChoiceText(m_choice) + " stopped answering"
                                  : m_spi->BusError());
    PullPlug();
    return true;
}

// The programmer is gone or out of step: nothing more reaches the chip
// through this bus; the next open starts afresh.
void CBridgeAdapter::PullPlug()
{
    DropPending();
    m_open = false;
    m_firmware.reset();
    m_spi.reset();
}

void CBridgeAdapter::DropPending()
{
    if (m_sink) {
        m_sink->Finish();
        m_sink.reset();
    }
    if (m_reply) {
        m_stats.discardedReplyBytes += m_reply->Remaining();
        m_reply.reset();
    }
}

int32_t CBridgeAdapter::Send(int32_t pipeNumber, const uint8_t *data, int32_t length)
{
    const bool valid = data && length > 0 && (pipeNumber == pipe::Command || pipeNumber == pipe::BulkOut);
    if (!valid) {
        ++m_stats.invalidCalls;
        return -1;
    }
    if (pipeNumber == pipe::Command)
        m_trace.Command(data, size_t(length));
    else
        m_trace.Data(length);
    if (!m_open || !m_spi || !m_firmware) {
        ++m_stats.rejectedTransfers;
        return -1;
    }
    if (pipeNumber == pipe::BulkOut) {
        if (m_sink)
            m_sink->Write(data, size_t(length));
        else
            m_stats.strayDataBytes += uint64_t(length);
        return LinkLost() ? -1 : length;
    }
    DropPending();
    ++m_stats.commands;
    HandleCommand(CPacket(data, size_t(length)));
    return LinkLost() ? -1 : length;
}

int32_t CBridgeAdapter::Receive(int32_t pipeNumber, uint8_t *buffer, int32_t length)
{
    const bool valid = buffer && length > 0 && (pipeNumber == pipe::ShortReply || pipeNumber == pipe::LongReply);
    if (!valid) {
        ++m_stats.invalidCalls;
        return -1;
    }
    m_trace.Read(pipeNumber, length);
    if (!m_open || !m_spi || !m_firmware) {
        ++m_stats.rejectedTransfers;
        return -1;
    }
    if (!m_reply) {
        ++m_stats.emptyReads;
        return -1;
    }
    const size_t n = m_reply->Take(buffer, size_t(length));
    // A piece the bus failed in the middle of is no data: it never reaches the host.
    if (LinkLost())
        return -1;
    if (m_reply->Remaining() == 0)
        m_reply.reset();
    if (m_replyFromChip)
        m_lastProblem.clear();
    m_stats.bytesRead += n;
    return int32_t(n);
}

void CBridgeAdapter::HandleCommand(const CPacket &packet)
{
    m_replyFromChip = false;
    switch (packet.Code()) {
    case cmd::SetTarget:
        m_reply = std::make_unique<CBytesReply>(SetTargetReply(m_config, EModule::Spi, packet));
        if (packet.At(settarget::Family) == settarget::FamilySpi)
            m_spi->SelectAlgorithm(packet.At(settarget::Algorithm));
        return;
    case cmd::Status:
        m_reply = std::make_unique<CBytesReply>(std::vector<uint8_t>{1, 0});
        return;
    case cmd::Identify:
        m_reply = std::make_unique<CBytesReply>(IdentifyReply(m_config, EModule::Spi, m_firmware));
        return;
    case cmd::EndOperation:
    case cmd::Parameter:
        return;
    default:
        break;
    }
    CCommandResult result;
    if (!m_spi->Command(packet, result)) {
        ++m_stats.unknownCommands;
        return;
    }
    m_reply = std::move(result.reply);
    m_sink = std::move(result.sink);
    m_replyFromChip = true;
}

} // namespace xrsim
