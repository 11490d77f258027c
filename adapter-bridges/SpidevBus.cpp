#include "SpidevBus.h"

#include "BridgeErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <linux/spi/spidev.h>
#include <unistd.h>

namespace xrbridge {

namespace {

class CSystemSpidevIo : public ISpidevIo
{
public:
    int Open(const char *path, int flags) override { return ::open(path, flags); }
    int Ioctl(int fd, unsigned long request, void *argument) override { return ::ioctl(fd, request, argument); }
    int Close(int fd) override { return ::close(fd); }
    uint32_t BufferSize() override
    {
        std::ifstream file("/sys/module/spidev/parameters/bufsiz");
        uint32_t size = 0;
        return file >> size ? size : 0;
    }
};

} // namespace

ISpidevIo &SystemSpidevIo()
{
    static CSystemSpidevIo io;
    return io;
}

std::unique_ptr<CSpidevBus> CSpidevBus::Open(ISpidevIo &io, const std::string &node, uint32_t clockHz,
                                             std::string &error)
{
    const int fd = io.Open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENODEV || code == ENXIO)
            error = "no spidev node " + node +
                    " (enable the SPI controller and bind spidev to the chip select, see the README)";
        else if (code == EACCES || code == EPERM)
            error = PermissionDeniedText(node, "spi");
        else
            error = "cannot open " + node + ": " + ErrnoText(code);
        return nullptr;
    }
    uint32_t bufferSize = io.BufferSize();
    if (bufferSize <= ReadHeadroom)
        bufferSize = DefaultBufferSize;
    std::unique_ptr<CSpidevBus> bus(new CSpidevBus(io, fd, node, bufferSize));
    uint8_t mode = SPI_MODE_0;
    uint8_t bits = 8;
    if (io.Ioctl(fd, SPI_IOC_WR_MODE, &mode) < 0 || io.Ioctl(fd, SPI_IOC_WR_BITS_PER_WORD, &bits) < 0) {
        error = node + " refuses SPI mode 0 with 8-bit words: " + ErrnoText(errno);
        return nullptr;
    }
    if (bus->SetClockHz(clockHz ? clockHz : DefaultClockHz) == 0) {
        error = bus->m_error;
        return nullptr;
    }
    return bus;
}

CSpidevBus::~CSpidevBus()
{
    m_io.Close(m_fd);
}

void CSpidevBus::FailWith(int code, const char *what)
{
    switch (code) {
    case ENODEV:
    case ESHUTDOWN:
    case EIO:
        m_gone = true;
        m_error = m_node + " went away while " + what + " (" + ErrnoText(code) + ")";
        break;
    case ETIMEDOUT:
        m_error = m_node + ": time-out while " + what;
        break;
    case EMSGSIZE:
        m_error = m_node + ": the transfer is larger than the driver's buffer of " + std::to_string(m_bufferSize) +
                  " bytes (raise it with spidev.bufsiz=N)";
        break;
    default:
        m_error = m_node + ": " + what + " failed: " + ErrnoText(code);
    }
}

uint32_t CSpidevBus::SetClockHz(uint32_t hz)
{
    if (hz == 0)
        return 0;
    if (m_io.Ioctl(m_fd, SPI_IOC_WR_MAX_SPEED_HZ, &hz) < 0) {
        FailWith(errno, "setting the clock");
        return 0;
    }
    uint32_t actual = hz;
    if (m_io.Ioctl(m_fd, SPI_IOC_RD_MAX_SPEED_HZ, &actual) < 0)
        actual = hz;
    m_clockHz = actual;
    return actual;
}

bool CSpidevBus::Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount)
{
    if (m_gone)
        return false;
    if (writeCount > MaxWrite() || readCount > MaxRead()) {
        m_error = m_node + ": a transfer of " + std::to_string(writeCount) + "+" + std::to_string(readCount) +
                  " bytes exceeds the driver's buffer of " + std::to_string(m_bufferSize) + " bytes";
        return false;
    }
    spi_ioc_transfer parts[2] = {};
    unsigned count = 0;
    if (writeCount) {
        parts[count].tx_buf = reinterpret_cast<uintptr_t>(out);
        parts[count].len = uint32_t(writeCount);
        parts[count].speed_hz = m_clockHz;
        parts[count].bits_per_word = 8;
        ++count;
    }
    if (readCount) {
        parts[count].rx_buf = reinterpret_cast<uintptr_t>(in);
        parts[count].len = uint32_t(readCount);
        parts[count].speed_hz = m_clockHz;
        parts[count].bits_per_word = 8;
        ++count;
    }
    if (count == 0)
        return true;
    const unsigned long request = count == 1 ? SPI_IOC_MESSAGE(1) : SPI_IOC_MESSAGE(2);
    if (m_io.Ioctl(m_fd, request, parts) < 0) {
        FailWith(errno, "moving SPI data");
        return false;
    }
    return true;
}

} // namespace xrbridge
