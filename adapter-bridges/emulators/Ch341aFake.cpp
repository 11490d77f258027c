#include "Ch341aFake.h"

#include "Ch341aProtocol.h"
#include "DuplexFrame.h"

#include <algorithm>
#include <cstring>

namespace xremu {

using namespace ch341a;
using xrbridge::EUsbResult;

namespace {

class CFakePipe : public xrbridge::IUsbBulkPipe
{
public:
    explicit CFakePipe(CCh341aFake &board) : m_board(board) {}
    EUsbResult Exchange(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount, unsigned) override
    {
        return m_board.Exchange(out, outCount, in, inCount);
    }
    std::string Describe() const override { return "CH341A at /dev/bus/usb/001/042"; }

private:
    CCh341aFake &m_board;
};

} // namespace

CCh341aFake::CCh341aFake(xrbus::ISpiBus &chip, CCh341aFakeOptions options) : m_chip(chip), m_options(options) {}

void CCh341aFake::SetOptions(const CCh341aFakeOptions &options)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_options = options;
}

std::unique_ptr<xrbridge::IUsbBulkPipe> CCh341aFake::Open(uint16_t vendor, uint16_t product, std::string &error)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_options.present || vendor != VendorId || product != ProductId ||
        m_exchanges == m_options.unplugAfterExchanges || (m_options.unplugAfterExchanges >= 0 &&
                                                          m_exchanges > m_options.unplugAfterExchanges)) {
        error = "no CH341A programmer found (USB 1a86:5512; is it plugged in, with the jumper in SPI mode?)";
        return nullptr;
    }
    if (m_options.permissionDenied) {
        error = "permission denied on /dev/bus/usb/001/042";
        return nullptr;
    }
    m_csLow = false;
    m_mosi.clear();
    m_pendingPackets.clear();
    m_inPackets.clear();
    m_frameRan = false;
    return std::make_unique<CFakePipe>(*this);
}

EUsbResult CCh341aFake::Exchange(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const int number = m_exchanges++;
    if (m_options.unplugAfterExchanges >= 0 && number >= m_options.unplugAfterExchanges)
        return EUsbResult::Gone;
    if (m_options.timeOutAfterExchanges >= 0 && number >= m_options.timeOutAfterExchanges)
        return EUsbResult::TimedOut;
    // The host's OUT transfer arrives in USB packets of at most 32 bytes;
    // each one is a command.
    for (size_t at = 0; at < outCount; at += PacketBytes)
        Packet(out + at, std::min(PacketBytes, outCount - at));
    // A frame whose answer is being collected runs now; its chip select
    // may rise in a later transfer.
    if (!m_pendingPackets.empty()) {
        const std::vector<uint8_t> miso = RunDuplexFrame(m_chip, m_mosi);
        size_t at = miso.size();
        for (auto it = m_pendingPackets.rbegin(); it != m_pendingPackets.rend(); ++it)
            at -= *it;
        for (size_t size : m_pendingPackets) {
            std::vector<uint8_t> packet;
            for (size_t i = 0; i < size; ++i)
                packet.push_back(Reversed(miso[at++]));
            m_inPackets.push_back(std::move(packet));
        }
        m_pendingPackets.clear();
        m_frameRan = true;
    }
    // Each IN transfer takes one packet: a short packet ends it.
    size_t got = 0;
    while (got < inCount) {
        if (m_inPackets.empty())
            return EUsbResult::TimedOut;
        std::vector<uint8_t> &packet = m_inPackets.front();
        const size_t n = std::min(packet.size(), inCount - got);
        std::memcpy(in + got, packet.data(), n);
        got += n;
        packet.erase(packet.begin(), packet.begin() + long(n));
        if (packet.empty())
            m_inPackets.pop_front();
    }
    return EUsbResult::Ok;
}

void CCh341aFake::Packet(const uint8_t *packet, size_t count)
{
    switch (packet[0]) {
    case UioStream:
        Uio(packet + 1, count - 1);
        return;
    case SpiStream: {
        if (!m_csLow || count < 2)
            ++m_protocolErrors;  // clocking with nothing selected
        if (m_frameRan)
            ++m_protocolErrors;  // the fake answers a frame once, when its answer is collected
        for (size_t i = 1; i < count; ++i)
            m_mosi.push_back(Reversed(packet[i]));
        m_pendingPackets.push_back(count - 1);
        return;
    }
    case I2cStream:
        return;  // mode setting: the fake clocks at any speed
    default:
        ++m_protocolErrors;
    }
}

void CCh341aFake::Uio(const uint8_t *bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == UioEnd)
            return;
        if ((b & 0xC0) == UioOut) {
            const bool low = !(b & ChipSelectBit);
            if (m_csLow && !low)
                EndFrame();
            m_csLow = low;
        } else if ((b & 0xC0) == UioDirection) {
            m_pinsDriven = (b & 0x3F) == PinsAllOutputs;
        } else {
            ++m_protocolErrors;
        }
    }
}

void CCh341aFake::EndFrame()
{
    if (!m_pendingPackets.empty()) {
        // Nobody collected the answer: the frame still reaches the chip.
        RunDuplexFrame(m_chip, m_mosi);
        m_pendingPackets.clear();
    }
    if (!m_mosi.empty())
        ++m_frames;
    m_longestFrame = std::max(m_longestFrame, m_mosi.size());
    m_mosi.clear();
    m_frameRan = false;
}

} // namespace xremu
