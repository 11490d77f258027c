#include "Ch341aBus.h"

#include "Ch341aProtocol.h"

#include <algorithm>

namespace xrbridge {

using namespace ch341a;

namespace {

// Every command starts a 32-byte USB packet; a short packet would make the
// next command's bytes part of this one.
void PadToPacket(std::vector<uint8_t> &out)
{
    out.resize((out.size() + PacketBytes - 1) / PacketBytes * PacketBytes, 0x00);
}

} // namespace

std::unique_ptr<CCh341aBus> CCh341aBus::Open(IUsbOpener &opener, std::string &error)
{
    std::unique_ptr<IUsbBulkPipe> pipe = opener.Open(VendorId, ProductId, error);
    if (!pipe)
        return nullptr;
    auto bus = std::make_unique<CCh341aBus>(std::move(pipe));
    const std::vector<uint8_t> mode = {I2cStream, uint8_t(I2cSet | ModeStandard), I2cEnd};
    if (!bus->Send(mode, nullptr, 0, "setting the SPI mode") || !bus->EnablePins()) {
        error = bus->m_error;
        return nullptr;
    }
    return bus;
}

CCh341aBus::CCh341aBus(std::unique_ptr<IUsbBulkPipe> pipe) : m_pipe(std::move(pipe)) {}

CCh341aBus::~CCh341aBus()
{
    if (!m_gone) {
        // Chip select high, then every pin an input: the socket is left alone.
        const std::vector<uint8_t> off = {UioStream, uint8_t(UioOut | PinsCsHigh), UioDirection, UioEnd};
        Send(off, nullptr, 0, "releasing the pins");
    }
}

size_t CCh341aBus::MaxWrite() const
{
    return MaxTransferBytes;
}

size_t CCh341aBus::MaxRead() const
{
    return MaxTransferBytes;
}

bool CCh341aBus::EnablePins()
{
    const std::vector<uint8_t> on = {UioStream, uint8_t(UioOut | PinsCsHigh), uint8_t(UioDirection | PinsAllOutputs),
                                     UioEnd};
    if (!Send(on, nullptr, 0, "driving the pins"))
        return false;
    m_pinsUnknown = false;
    return true;
}

bool CCh341aBus::Send(const std::vector<uint8_t> &out, uint8_t *in, size_t inCount, const char *what)
{
    switch (m_pipe->Exchange(out.data(), out.size(), in, inCount, TimeoutMs)) {
    case EUsbResult::Ok:
        return true;
    case EUsbResult::TimedOut:
        // Where chip select stands is unknown now: the pins are driven
        // afresh before the next transaction.
        m_pinsUnknown = true;
        m_error = m_pipe->Describe() + ": time-out " + what + " (no answer within " + std::to_string(TimeoutMs) +
                  " ms)";
        return false;
    case EUsbResult::Gone:
        m_gone = true;
        m_error = m_pipe->Describe() + " disconnected while " + what;
        return false;
    case EUsbResult::Failed:
        break;
    }
    m_pinsUnknown = true;
    m_error = m_pipe->Describe() + ": USB transfer failed while " + what;
    return false;
}

bool CCh341aBus::Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount)
{
    if (m_gone)
        return false;
    if (writeCount > MaxWrite() || readCount > MaxRead()) {
        m_error = m_pipe->Describe() + ": a transfer of " + std::to_string(writeCount) + "+" +
                  std::to_string(readCount) + " bytes exceeds its limit of " + std::to_string(MaxTransferBytes);
        return false;
    }
    if (m_pinsUnknown && !EnablePins())
        return false;

    // Chip select high for a moment, then low; the SPI stream follows, the
    // bytes to write and then idle bytes clocking the answer in.
    std::vector<uint8_t> packets = {UioStream,
                                    uint8_t(UioOut | PinsCsHigh),
                                    uint8_t(UioOut | PinsCsHigh),
                                    uint8_t(UioOut | PinsCsHigh),
                                    uint8_t(UioOut | PinsCsLow),
                                    UioEnd};
    PadToPacket(packets);
    const size_t total = writeCount + readCount;
    for (size_t done = 0; done < total;) {
        const size_t n = std::min(SpiBytesPerPacket, total - done);
        packets.push_back(SpiStream);
        for (size_t i = 0; i < n; ++i, ++done)
            packets.push_back(done < writeCount ? Reversed(out[done]) : 0xFF);
    }
    std::vector<uint8_t> answer(total);
    const bool moved = Send(packets, answer.data(), total, "moving SPI data");
    const std::string moveError = m_error;
    // Chip select rises whatever happened: a program or erase starts on
    // the rising edge, and a half-sent one must not be left pending.
    const std::vector<uint8_t> release = {UioStream, uint8_t(UioOut | PinsCsHigh), UioEnd};
    const bool released = !m_gone && Send(release, nullptr, 0, "raising chip select");
    if (!moved) {
        m_error = moveError;
        return false;
    }
    if (!released)
        return false;
    for (size_t i = 0; i < readCount; ++i)
        in[i] = Reversed(answer[writeCount + i]);
    return true;
}

} // namespace xrbridge
