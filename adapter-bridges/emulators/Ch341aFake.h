#pragma once

// A CH341A in SPI mode at the level of its USB transfers: it takes 32-byte
// command packets, follows chip select from the UIO stream, feeds the
// bit-reversed SPI stream of each frame to a chip model and hands the
// answer back at most 31 bytes per IN packet. Faults: no board, permission
// denied, a time-out or an unplug after so many transfers.

#include "SpiBus.h"
#include "UsbBulkPipe.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace xremu {

struct CCh341aFakeOptions
{
    bool present = true;
    bool permissionDenied = false;
    int timeOutAfterExchanges = -1;  // this exchange and every later one time out, until RecoverFromTimeOut
    int unplugAfterExchanges = -1;   // this exchange and every later one find the board gone
};

class CCh341aFake : public xrbridge::IUsbOpener
{
public:
    CCh341aFake(xrbus::ISpiBus &chip, CCh341aFakeOptions options = {});

    std::unique_ptr<xrbridge::IUsbBulkPipe> Open(uint16_t vendor, uint16_t product, std::string &error) override;

    // What the board saw.
    int Frames() const { return m_frames; }
    int Exchanges() const { return m_exchanges; }
    int ProtocolErrors() const { return m_protocolErrors; }
    bool ChipSelectLow() const { return m_csLow; }
    bool PinsDriven() const { return m_pinsDriven; }
    size_t LongestFrame() const { return m_longestFrame; }
    void SetOptions(const CCh341aFakeOptions &options);

    xrbridge::EUsbResult Exchange(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount);

private:
    void Packet(const uint8_t *packet, size_t count);
    void Uio(const uint8_t *bytes, size_t count);
    void EndFrame();

    xrbus::ISpiBus &m_chip;
    std::mutex m_lock;
    CCh341aFakeOptions m_options;
    std::atomic<int> m_frames{0};
    std::atomic<int> m_exchanges{0};
    std::atomic<int> m_protocolErrors{0};
    std::atomic<bool> m_csLow{false};
    std::atomic<bool> m_pinsDriven{false};
    size_t m_longestFrame = 0;
    bool m_frameRan = false;
    std::vector<uint8_t> m_mosi;           // the frame so far, MSB first
    std::vector<size_t> m_pendingPackets;  // IN packet sizes owed for the frame
    std::deque<std::vector<uint8_t>> m_inPackets;
};

} // namespace xremu
