// Feeds arbitrary bytes to the serial programmer bridge as everything a
// firmware answers: the handshake (sync, interface, command map, bus type,
// length limits, name, clock) and then a few SPI operations (an ID, a read,
// a page program). Nothing the firmware says may overrun a buffer, hang the
// bridge or make a transfer report bytes it did not get.

#include "SerialPort.h"
#include "SerprogBus.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The firmware's side as a script: reads take the next bytes, draining drops
// as many as the next byte says, writes always go through.
class CScriptedLink : public xrbridge::ISerialLink
{
public:
    CScriptedLink(const uint8_t *data, size_t size) : m_data(data, data + size) {}

    const std::string &Path() const override { return m_path; }
    bool Write(const uint8_t *, size_t, int) override { return true; }
    size_t Read(uint8_t *data, size_t count, int) override
    {
        const size_t n = std::min(count, m_data.size() - m_at);
        std::memcpy(data, m_data.data() + m_at, n);
        m_at += n;
        return n;
    }
    void DrainInput() override
    {
        if (m_at < m_data.size()) {
            const size_t drop = m_data[m_at++] % 4;
            m_at = std::min(m_data.size(), m_at + drop);
        }
    }
    bool Gone() const override { return m_at >= m_data.size(); }

private:
    std::vector<uint8_t> m_data;
    size_t m_at = 0;
    std::string m_path = "/dev/fuzz";
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    xrbridge::CSerprogOptions options;
    options.syncTimeoutMs = 0;
    options.replyTimeoutMs = 0;
    options.flushWaitMs = 0;
    options.clockHz = size > 0 && (data[0] & 1) ? 12000000 : 0;
    std::string error;
    auto bus = xrbridge::CSerprogBus::Start(std::make_unique<CScriptedLink>(data, size), options, error);
    if (!bus) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    const uint8_t rdid = 0x9F;
    uint8_t id[3];
    bus->Transfer(&rdid, 1, id, sizeof id);
    std::vector<uint8_t> page(4096, 0xA5);
    const uint8_t read[] = {0x03, 0, 0, 0};
    const size_t readCount = std::min<size_t>(page.size(), bus->MaxRead() ? bus->MaxRead() : page.size());
    bus->Transfer(read, sizeof read, page.data(), readCount);
    std::vector<uint8_t> program(4 + 256, 0x5A);
    program[0] = 0x02;
    bus->Transfer(program.data(), std::min(program.size(), bus->MaxWrite()), nullptr, 0);
    return 0;
}
