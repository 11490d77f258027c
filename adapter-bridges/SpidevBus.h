#pragma once

// An SPI bus through the kernel's spidev driver (/dev/spidevB.C on
// single-board computers). One transaction is one SPI_IOC_MESSAGE: chip
// select stays low across its write and read parts.

#include "SpiBus.h"
#include "SpidevIo.h"

#include <memory>
#include <string>

namespace xrbridge {

class CSpidevBus : public xrbus::ISpiBus
{
public:
    static constexpr uint32_t DefaultClockHz = 2000000;
    static constexpr uint32_t DefaultBufferSize = 4096;

    // Opens the node in SPI mode 0, 8 bits per word; null with `error` set.
    static std::unique_ptr<CSpidevBus> Open(ISpidevIo &io, const std::string &node, uint32_t clockHz,
                                            std::string &error);
    ~CSpidevBus() override;

    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override;
    // Older kernels count the write and read parts of a message together
    // against the buffer size: a read leaves room for its instruction.
    size_t MaxWrite() const override { return m_bufferSize; }
    size_t MaxRead() const override { return m_bufferSize - ReadHeadroom; }
    uint32_t SetClockHz(uint32_t hz) override;
    std::string LastError() const override { return m_error; }

private:
    static constexpr size_t ReadHeadroom = 8;

    CSpidevBus(ISpidevIo &io, int fd, std::string node, uint32_t bufferSize)
        : m_io(io), m_fd(fd), m_node(std::move(node)), m_bufferSize(bufferSize) {}
    void FailWith(int code, const char *what);

    ISpidevIo &m_io;
    int m_fd;
    std::string m_node;
    uint32_t m_bufferSize;
    uint32_t m_clockHz = DefaultClockHz;
    std::string m_error;
    bool m_gone = false;
};

} // namespace xrbridge
