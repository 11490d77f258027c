#pragma once

// The system calls the spidev bridge makes, behind one seam so tests can
// stand in for the kernel's SPI driver.

#include <cstdint>
#include <string>

namespace xrbridge {

class ISpidevIo
{
public:
    virtual ~ISpidevIo() = default;
    // As open(2)/ioctl(2)/close(2): -1 with errno set on failure.
    virtual int Open(const char *path, int flags) = 0;
    virtual int Ioctl(int fd, unsigned long request, void *argument) = 0;
    virtual int Close(int fd) = 0;
    // The kernel's per-message buffer size (spidev's bufsiz module parameter);
    // 0 when it cannot be read.
    virtual uint32_t BufferSize() = 0;
};

// The kernel itself.
ISpidevIo &SystemSpidevIo();

} // namespace xrbridge
