// Feeds arbitrary USB transfers to the CH341A bridge as what the board
// answers: the outcome of every exchange (done, timed out, gone, failed) and
// the IN bytes it brings back, for opening the board and then an ID read, a
// long read and a page program. Nothing the board sends may overrun a
// buffer or make a failed transfer look like a good one.

#include "Ch341aBus.h"
#include "UsbBulkPipe.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class CScriptedPipe : public xrbridge::IUsbBulkPipe
{
public:
    CScriptedPipe(const uint8_t *data, size_t size) : m_data(data, data + size) {}

    xrbridge::EUsbResult Exchange(const uint8_t *, size_t, uint8_t *in, size_t inCount, unsigned) override
    {
        if (m_at >= m_data.size())
            return xrbridge::EUsbResult::TimedOut;
        const uint8_t outcome = m_data[m_at++];
        // Mostly good exchanges, so the fuzzer gets past the opening.
        const xrbridge::EUsbResult result = outcome < 0xF0   ? xrbridge::EUsbResult::Ok
                                            : outcome < 0xF8 ? xrbridge::EUsbResult::TimedOut
                                            : outcome < 0xFC ? xrbridge::EUsbResult::Gone
                                                             : xrbridge::EUsbResult::Failed;
        const size_t n = std::min(inCount, m_data.size() - m_at);
        if (in) {
            std::memset(in, 0, inCount);
            std::memcpy(in, m_data.data() + m_at, n);
        }
        m_at += n;
        return result;
    }
    std::string Describe() const override { return "CH341A under the fuzzer"; }

private:
    std::vector<uint8_t> m_data;
    size_t m_at = 0;
};

class CScriptedOpener : public xrbridge::IUsbOpener
{
public:
    CScriptedOpener(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    std::unique_ptr<xrbridge::IUsbBulkPipe> Open(uint16_t, uint16_t, std::string &) override
    {
        return std::make_unique<CScriptedPipe>(m_data, m_size);
    }

private:
    const uint8_t *m_data;
    size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CScriptedOpener opener(data, size);
    std::string error;
    auto bus = xrbridge::CCh341aBus::Open(opener, error);
    if (!bus) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    const uint8_t rdid = 0x9F;
    uint8_t id[3];
    bus->Transfer(&rdid, 1, id, sizeof id);
    std::vector<uint8_t> block(std::min<size_t>(bus->MaxRead(), 4096));
    const uint8_t read[] = {0x03, 0, 0, 0};
    if (!bus->Transfer(read, sizeof read, block.data(), block.size()) && bus->LastError().empty())
        __builtin_trap();
    std::vector<uint8_t> program(4 + 256, 0x5A);
    program[0] = 0x02;
    bus->Transfer(program.data(), std::min(program.size(), bus->MaxWrite()), nullptr, 0);
    return 0;
}
