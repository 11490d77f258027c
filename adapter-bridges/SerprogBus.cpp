#include "SerprogBus.h"

#include <chrono>
#include <thread>
#include <vector>

namespace xrbridge {

using namespace serprog;

namespace {

using Clock = std::chrono::steady_clock;

// The largest count the 24-bit length fields carry.
constexpr size_t Max24 = 0xFFFFFF;

} // namespace

CSerprogBus::CSerprogBus(std::unique_ptr<ISerialLink> link, const CSerprogOptions &options)
    : m_link(std::move(link)), m_port(*m_link), m_options(options)
{
}

CSerprogBus::~CSerprogBus()
{
    if (!m_broken && Has(SetPinState)) {
        // Leave the chip alone: output drivers off, so the board can stay
        // on a powered target.
        const uint8_t off[] = {SetPinState, 0};
        Command(off, sizeof off, nullptr, 0);
    }
}

std::unique_ptr<CSerprogBus> CSerprogBus::Open(const std::string &path, const CSerprogOptions &options,
                                               std::string &error)
{
    auto port = std::make_unique<CSerialPort>();
    if (!port->Open(path, options.baud, error))
        return nullptr;
    return Start(std::move(port), options, error);
}

std::unique_ptr<CSerprogBus> CSerprogBus::Start(std::unique_ptr<ISerialLink> link, const CSerprogOptions &options,
                                                std::string &error)
{
    std::unique_ptr<CSerprogBus> bus(new CSerprogBus(std::move(link), options));
    if (!bus->Synchronise() || !bus->Handshake()) {
        error = bus->m_error;
        bus->m_broken = true;
        return nullptr;
    }
    return bus;
}

void CSerprogBus::Fail(const std::string &what)
{
    if (m_port.Gone())
        m_error = "serial programmer on " + m_port.Path() + " disconnected (" + what + ")";
    else
        m_error = "serial programmer on " + m_port.Path() + ": " + what;
}

bool CSerprogBus::Synchronise()
{
    if (m_options.settleMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_options.settleMs));
    // A firmware left in the middle of a command takes the NOPs as its
    // parameters and then answers them; whatever it says is dropped.
    const std::vector<uint8_t> nops(8, Nop);
    if (!m_port.Write(nops.data(), nops.size(), m_options.replyTimeoutMs)) {
        Fail("cannot write to the port");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(m_options.flushWaitMs));
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_options.syncTimeoutMs);
    do {
        m_port.DrainInput();
        const uint8_t sync = SyncNop;
        if (!m_port.Write(&sync, 1, m_options.replyTimeoutMs))
            break;
        // Look for NAK ACK in what comes back within a short window.
        uint8_t previous = 0;
        bool seen = false;
        for (int window = 0; window < 10 && !seen && !m_port.Gone(); ++window) {
            uint8_t byte = 0;
            while (!seen && m_port.Read(&byte, 1, 50) == 1) {
                seen = previous == Nak && byte == Ack;
                previous = byte;
            }
        }
        if (!seen)
            continue;
        // Confirm: exactly NAK ACK for one more sync, nothing stale before it.
        m_port.DrainInput();
        uint8_t answer[2] = {};
        if (m_port.Write(&sync, 1, m_options.replyTimeoutMs) &&
            m_port.Read(answer, 2, m_options.replyTimeoutMs) == 2 && answer[0] == Nak && answer[1] == Ack)
            return true;
    } while (Clock::now() < deadline && !m_port.Gone());
    Fail(m_port.Gone() ? "port closed during the handshake"
                       : "no answer to the serprog handshake (is it a serprog firmware? wrong port?)");
    return false;
}

bool CSerprogBus::Command(const uint8_t *command, size_t count, uint8_t *reply, size_t replyCount, bool *nak)
{
    if (nak)
        *nak = false;
    if (!m_port.Write(command, count, m_options.replyTimeoutMs + int(count / 8))) {
        Fail("time-out sending command " + std::to_string(command[0]));
        return false;
    }
    uint8_t status = 0;
    if (m_port.Read(&status, 1, m_options.replyTimeoutMs) != 1) {
        Fail("no answer to command " + std::to_string(command[0]) + " (time-out)");
        return false;
    }
    if (status == Nak) {
        if (nak)
            *nak = true;
        Fail("command " + std::to_string(command[0]) + " refused (NAK)");
        return false;
    }
    if (status != Ack) {
        Fail("unexpected answer " + std::to_string(status) + " to command " + std::to_string(command[0]));
        return false;
    }
    size_t done = 0;
    while (done < replyCount) {
        const size_t got = m_port.Read(reply + done, replyCount - done, m_options.replyTimeoutMs);
        if (got == 0) {
            Fail("time-out after " + std::to_string(done) + " of " + std::to_string(replyCount) + " reply bytes");
            return false;
        }
        done += got;
    }
    return true;
}

uint32_t CSerprogBus::QueryMaxLength(uint8_t opcode)
{
    if (!Has(opcode))
        return Max24;
    uint8_t reply[3] = {};
    bool nak = false;
    if (!Command(&opcode, 1, reply, sizeof reply, &nak))
        return nak ? Max24 : 0;  // a firmware may NAK the query: no limit
    const uint32_t length = GetLe(reply, 3);
    return length == 0 ? uint32_t(Max24) : length;
}

bool CSerprogBus::Handshake()
{
    uint8_t reply[CommandMapBytes] = {};
    const uint8_t iface = QueryInterface;
    if (!Command(&iface, 1, reply, 2))
        return false;
    if (GetLe(reply, 2) != InterfaceVersion) {
        Fail("unsupported protocol version " + std::to_string(GetLe(reply, 2)));
        return false;
    }
    const uint8_t map = QueryCommandMap;
    if (!Command(&map, 1, m_map, CommandMapBytes))
        return false;
    if (!Has(SpiOperation)) {
        Fail("the firmware has no SPI operation command");
        return false;
    }
    if (Has(QueryBusType)) {
        const uint8_t busType = QueryBusType;
        if (!Command(&busType, 1, reply, 1))
            return false;
        if (!(reply[0] & BusSpi)) {
            Fail("the firmware does not drive an SPI bus");
            return false;
        }
    }
    if (Has(SetBusType)) {
        const uint8_t setBus[] = {SetBusType, BusSpi};
        if (!Command(setBus, sizeof setBus, nullptr, 0))
            return false;
    }
    const uint32_t maxWrite = QueryMaxLength(QueryMaxWrite);
    const uint32_t maxRead = QueryMaxLength(QueryMaxRead);
    if (maxWrite == 0 || maxRead == 0)
        return false;
    m_maxWrite = std::min<size_t>(maxWrite, Max24);
    m_maxRead = std::min<size_t>(maxRead, Max24);
    if (Has(QueryName)) {
        const uint8_t name = QueryName;
        uint8_t text[NameBytes + 1] = {};
        if (!Command(&name, 1, text, NameBytes))
            return false;
        m_name = reinterpret_cast<const char *>(text);
    }
    if (m_options.clockHz && Has(SetSpiFrequency) && SetClockHz(m_options.clockHz) == 0)
        return false;
    if (Has(SetPinState)) {
        const uint8_t on[] = {SetPinState, 1};
        if (!Command(on, sizeof on, nullptr, 0))
            return false;
    }
    m_error.clear();
    return true;
}

uint32_t CSerprogBus::SetClockHz(uint32_t hz)
{
    if (m_broken || hz == 0 || !Has(SetSpiFrequency))
        return 0;
    uint8_t command[5] = {SetSpiFrequency};
    PutLe(command + 1, hz, 4);
    uint8_t reply[4] = {};
    if (!Command(command, sizeof command, reply, sizeof reply))
        return 0;
    const uint32_t set = GetLe(reply, 4);
    if (set == 0)
        Fail("the firmware answered a clock of 0 Hz to " + std::to_string(hz) + " Hz");
    return set;
}

bool CSerprogBus::Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount)
{
    if (m_broken) {
        if (m_error.empty())
            Fail("the link is lost");
        return false;
    }
    if (writeCount > m_maxWrite || readCount > m_maxRead) {
        m_error = "serial programmer on " + m_port.Path() + ": a transfer of " + std::to_string(writeCount) +
                  "+" + std::to_string(readCount) + " bytes exceeds its limits (" + std::to_string(m_maxWrite) +
                  " written, " + std::to_string(m_maxRead) + " read)";
        return false;
    }
    std::vector<uint8_t> command(SpiOperationHeader + writeCount);
    command[0] = SpiOperation;
    PutLe(&command[1], uint32_t(writeCount), 3);
    PutLe(&command[4], uint32_t(readCount), 3);
    if (writeCount)
        std::copy(out, out + writeCount, command.begin() + SpiOperationHeader);
    bool nak = false;
    if (Command(command.data(), command.size(), in, readCount, &nak))
        return true;
    // A time-out or a lost port leaves the byte stream out of step: nothing
    // more goes to the chip until the programmer is opened again.
    if (!nak)
        m_broken = true;
    return false;
}

} // namespace xrbridge
