#pragma once

// The kernel's spidev driver as the bridge sees it through its seam: one
// node, mode/bits/speed ioctls, and SPI_IOC_MESSAGE decoded into one
// chip-select frame on a chip model. A message whose write or read total is
// above the buffer size fails with EMSGSIZE, as the driver does.

#include "SpiBus.h"
#include "SpidevIo.h"

#include <atomic>
#include <mutex>
#include <string>

namespace xremu {

struct CSpidevFakeOptions
{
    std::string node = "/dev/spidev0.0";
    uint32_t bufferSize = 4096;
    bool permissionDenied = false;
    uint32_t maxClockHz = 50000000;
    int timeOutAfterMessages = -1;  // this message and later ones fail with ETIMEDOUT
    int unplugAfterMessages = -1;   // this message and later ones fail with ENODEV; the node is gone
};

class CSpidevFake : public xrbridge::ISpidevIo
{
public:
    CSpidevFake(xrbus::ISpiBus &chip, CSpidevFakeOptions options = {});
    void SetOptions(const CSpidevFakeOptions &options);

    int Open(const char *path, int flags) override;
    int Ioctl(int fd, unsigned long request, void *argument) override;
    int Close(int fd) override;
    uint32_t BufferSize() override;

    int Messages() const { return m_messages; }
    int OpenHandles() const { return m_open; }
    uint8_t Mode() const { return m_mode; }
    uint32_t ClockHz() const { return m_clockHz; }

private:
    int Message(unsigned count, void *argument);
    bool Gone() const;

    xrbus::ISpiBus &m_chip;
    mutable std::mutex m_lock;
    CSpidevFakeOptions m_options;
    std::atomic<int> m_messages{0};
    std::atomic<int> m_open{0};
    uint8_t m_mode = 0xFF;
    uint8_t m_bits = 0;
    uint32_t m_clockHz = 0;
};

} // namespace xremu
