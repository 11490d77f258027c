#include "SimAdapter.h"
#include "AdapterReplies.h"
#include "NandChip.h"
#include "SimLog.h"
#include "SpiChip.h"
#include "SpiFirmware.h"

#include <cstdlib>

namespace xrsim {

namespace {

// The simulated chip answers at once and is busy for a few polls; one that
// never reads ready is given up after this many.
constexpr uint64_t SimulatedPollBudget = 10000;

std::string TempDir()
{
    const char *dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// Named after the geometry, so a chip of another shape never inherits a
// blank chip's file.
std::string DefaultImagePath(const CSimConfig &config)
{
    if (config.adapter.module == EModule::Spi) {
        const char *kind = config.spi.kind == ESpiKind::Flash ? "flash"
                           : config.spi.kind == ESpiKind::At45 ? "at45"
                                                                : "eeprom";
        return TempDir() + "/xrusb-sim-spi-" + kind + "-" + std::to_string(config.spi.size) + "-" +
               std::to_string(config.spi.pageSize) + ".bin";
    }
    const CNandConfig &n = config.nand;
    return TempDir() + "/xrusb-sim-nand-" + std::to_string(n.pageSize) + "x" + std::to_string(n.pagesPerBlock) + "x" +
           std::to_string(n.blocks) + "x" + std::to_string(n.chipEnables) + ".bin";
}

std::unique_ptr<CImageFile> OpenImage(const std::string &configured, const std::string &fallback, uint64_t size)
{
    std::string error;
    if (!configured.empty()) {
        auto image = std::make_unique<CImageFile>();
        if (image->Open(configured, size, error))
            return image;
        Warn("cannot open the chip image " + configured + " (" + error + "); using " + fallback);
    }
    auto image = std::make_unique<CImageFile>();
    if (image->Open(fallback, size, error))
        return image;
    Warn("cannot open the chip image " + fallback + " (" + error + "); the socket stays empty");
    return nullptr;
}

} // namespace

CSimAdapter::CSimAdapter(const CSimConfig &config)
    : m_config(config), m_trace(config.adapter.trace), m_link(config.adapter), m_socket(config.adapter.socket),
      m_pullAtProgram(config.adapter.pullAtProgram), m_chip(MakeChip())
{
    FollowSocket();
}

CSimAdapter::~CSimAdapter()
{
    DropPending();
    m_stats.WriteTo(m_config.adapter.stats);
}

std::unique_ptr<CChip> CSimAdapter::MakeChip()
{
    const EModule module = m_config.adapter.module;
    if (module == EModule::None || m_socketEmpty)
        return std::make_unique<CEmptySocket>(m_stats);
    const bool nand = module == EModule::Nand;
    const uint64_t size = nand ? NandChipBytes(m_config.nand) : m_config.spi.size;
    auto image = OpenImage(nand ? m_config.nand.image : m_config.spi.image, DefaultImagePath(m_config), size);
    if (!image)
        return std::make_unique<CEmptySocket>(m_stats);
    if (image->FileSize() > size)
        Warn("the chip image " + image->Path() + " is larger than the chip; only its first " + std::to_string(size) +
             " bytes are used");
    else if (!image->Writable())
        Warn("the chip image " + image->Path() + " is read-only; programs and erases of this chip fail");
    if (nand)
        return std::make_unique<CNandChip>(m_config.nand, std::move(image), m_stats, m_config.adapter.packetSize);
    // The simulated SPI module: the firmware layer over a chip on its bus,
    // as a real programmer runs the same layer over its bridge.
    auto chip = std::make_unique<CSpiChip>(m_config.spi, std::move(image), m_stats);
    xrspi::CPollLimits limits;
    limits.maxPolls = SimulatedPollBudget;
    return xrspi::MakeSpiFirmware(std::move(chip), m_stats, limits);
}

void CSimAdapter::FollowSocket()
{
    const std::optional<std::string> text = m_socket.Changed();
    if (!text)
        return;
    m_socketEmpty = CSocketFile::Blank(*text);
    if (!m_socketEmpty) {
        const CSimConfig seated = ParseConfig(m_config.text + "\n" + *text, m_socket.Path(), m_config.baseDir);
        m_config.nand = seated.nand;
        m_config.spi = seated.spi;
        m_pullAtProgram = seated.adapter.pullAtProgram;
    }
    m_programsSinceSeat = 0;
    // A transfer of the chip that left ends with it.
    DropPending();
    m_chip = MakeChip();
    if (m_algorithm)
        m_chip->SelectAlgorithm(*m_algorithm);
}

int32_t CSimAdapter::Open()
{
    const int32_t result = m_link.Visible() ? 1 : 0;
    m_open = result != 0;
    m_trace.Open(result);
    return result;
}

void CSimAdapter::Close()
{
    m_trace.Close();
    DropPending();
    m_chip->Release();
    m_open = false;
    m_stats.WriteTo(m_config.adapter.stats);
}

int32_t CSimAdapter::LoadFirmware(const uint8_t *data, uint8_t mode)
{
    const CFirmwareImage image = ReadFirmwareImage(data);
    int32_t result = 0;
    if (!m_config.adapter.present || m_link.Unplugged() || m_config.adapter.failFirmware || !image.wellFormed) {
        result = 0;
    } else if (m_firmware && m_firmware->identity == image.identity) {
        result = 2;
    } else {
        // The controller restarts with the new image and comes back as a
        // new device: every open handle is gone.
        DropPending();
        m_firmware = image;
        if (image.tagged && image.kind == fwrecord::KindSpi) {
            m_chip->SelectAlgorithm(image.index);
            m_algorithm = image.index;
        }
        m_open = false;
        m_link.StartReenumeration();
        ++m_stats.firmwareLoads;
        result = 1;
    }
    m_trace.Firmware(image.tagged ? image.kind : -1, image.tagged ? image.index : -1, mode, result);
    return result;
}

bool CSimAdapter::LinkUp()
{
    if (m_open && m_link.Unplugged())
        m_open = false;
    return m_open && m_firmware.has_value();
}

// The cable is gone: the adapter loses power and its firmware with it.
void CSimAdapter::PullPlug()
{
    DropPending();
    m_open = false;
    m_firmware.reset();
    // The chip loses power too: write latch, address mode and busy state
    // start afresh; its contents stay in the image.
    if (m_config.adapter.module == EModule::Spi)
        m_chip = MakeChip();
}

void CSimAdapter::DropPending()
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

int32_t CSimAdapter::Send(int32_t pipeNumber, const uint8_t *data, int32_t length)
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
    if (!LinkUp()) {
        ++m_stats.rejectedTransfers;
        return -1;
    }
    if (pipeNumber == pipe::BulkOut) {
        m_link.Throttle(uint64_t(length));
        if (m_sink)
            m_sink->Write(data, size_t(length));
        else
            m_stats.strayDataBytes += uint64_t(length);
        return length;
    }
    if (m_link.CountCommand()) {
        PullPlug();
        ++m_stats.rejectedTransfers;
        return -1;
    }
    DropPending();
    FollowSocket();
    ++m_stats.commands;
    const CPacket packet(data, size_t(length));
    PullChipAtProgram(packet);
    HandleCommand(packet);
    return length;
}

void CSimAdapter::PullChipAtProgram(const CPacket &packet)
{
    if (packet.Code() != cmd::Program || m_pullAtProgram == 0 || m_socketEmpty)
        return;
    if (++m_programsSinceSeat < m_pullAtProgram)
        return;
    // The socket file still names the chip; it is out until the file changes.
    m_socketEmpty = true;
    m_chip = MakeChip();
}

int32_t CSimAdapter::Receive(int32_t pipeNumber, uint8_t *buffer, int32_t length)
{
    const bool valid = buffer && length > 0 && (pipeNumber == pipe::ShortReply || pipeNumber == pipe::LongReply);
    if (!valid) {
        ++m_stats.invalidCalls;
        return -1;
    }
    m_trace.Read(pipeNumber, length);
    if (!LinkUp()) {
        ++m_stats.rejectedTransfers;
        return -1;
    }
    if (m_link.CountReplyRead()) {
        // The transfer is lost on the wire: its bytes are gone too.
        ++m_stats.replyFailures;
        if (m_reply && m_reply->Skip(size_t(length)) && m_reply->Remaining() == 0)
            m_reply.reset();
        return -1;
    }
    if (!m_reply) {
        ++m_stats.emptyReads;
        return -1;
    }
    const size_t n = m_reply->Take(buffer, size_t(length));
    if (m_reply->Remaining() == 0)
        m_reply.reset();
    m_link.Throttle(n);
    m_stats.bytesRead += n;
    return int32_t(n);
}

void CSimAdapter::HandleCommand(const CPacket &packet)
{
    switch (packet.Code()) {
    case cmd::SetTarget:
        m_reply = std::make_unique<CBytesReply>(SetTargetReply(m_config.adapter, m_config.adapter.module, packet));
        if (packet.At(settarget::Family) == settarget::FamilySpi) {
            m_chip->SelectAlgorithm(packet.At(settarget::Algorithm));
            m_algorithm = packet.At(settarget::Algorithm);
        }
        return;
    case cmd::Status:
        m_reply = std::make_unique<CBytesReply>(std::vector<uint8_t>{uint8_t(m_chip->Seated() ? 1 : 0), 0});
        return;
    case cmd::Identify:
        m_reply = std::make_unique<CBytesReply>(IdentifyReply(m_config.adapter, m_config.adapter.module, m_firmware));
        return;
    case cmd::Timing: {
        // No reply; the SPI firmware sets its bus clock from it.
        CCommandResult ignored;
        m_chip->Command(packet, ignored);
        return;
    }
    case cmd::EndOperation:
    case cmd::Parameter:
        return;
    default:
        break;
    }
    CCommandResult result;
    if (!m_chip->Command(packet, result)) {
        ++m_stats.unknownCommands;
        return;
    }
    m_reply = std::move(result.reply);
    m_sink = std::move(result.sink);
}

} // namespace xrsim
