#include "SpidevFake.h"

#include <cerrno>
#include <cstring>
#include <linux/spi/spidev.h>
#include <vector>

namespace xremu {

namespace {
constexpr int FakeFd = 4242;
}

CSpidevFake::CSpidevFake(xrbus::ISpiBus &chip, CSpidevFakeOptions options) : m_chip(chip), m_options(options) {}

void CSpidevFake::SetOptions(const CSpidevFakeOptions &options)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_options = options;
}

bool CSpidevFake::Gone() const
{
    return m_options.unplugAfterMessages >= 0 && m_messages >= m_options.unplugAfterMessages;
}

int CSpidevFake::Open(const char *path, int)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_options.node != path || Gone()) {
        errno = ENOENT;
        return -1;
    }
    if (m_options.permissionDenied) {
        errno = EACCES;
        return -1;
    }
    ++m_open;
    return FakeFd;
}

int CSpidevFake::Close(int fd)
{
    if (fd != FakeFd) {
        errno = EBADF;
        return -1;
    }
    --m_open;
    return 0;
}

uint32_t CSpidevFake::BufferSize()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_options.bufferSize;
}

int CSpidevFake::Ioctl(int fd, unsigned long request, void *argument)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (fd != FakeFd) {
        errno = EBADF;
        return -1;
    }
    if (Gone()) {
        errno = ENODEV;
        return -1;
    }
    switch (request) {
    case SPI_IOC_WR_MODE:
        m_mode = *static_cast<uint8_t *>(argument);
        return 0;
    case SPI_IOC_RD_MODE:
        *static_cast<uint8_t *>(argument) = m_mode;
        return 0;
    case SPI_IOC_WR_BITS_PER_WORD:
        m_bits = *static_cast<uint8_t *>(argument);
        return m_bits == 8 ? 0 : (errno = EINVAL, -1);
    case SPI_IOC_WR_MAX_SPEED_HZ:
        m_clockHz = std::min(*static_cast<uint32_t *>(argument), m_options.maxClockHz);
        return 0;
    case SPI_IOC_RD_MAX_SPEED_HZ:
        *static_cast<uint32_t *>(argument) = m_clockHz;
        return 0;
    }
    if (_IOC_TYPE(request) == SPI_IOC_MAGIC && _IOC_NR(request) == 0 && _IOC_DIR(request) == _IOC_WRITE &&
        _IOC_SIZE(request) % sizeof(spi_ioc_transfer) == 0)
        return Message(unsigned(_IOC_SIZE(request) / sizeof(spi_ioc_transfer)), argument);
    errno = ENOTTY;
    return -1;
}

int CSpidevFake::Message(unsigned count, void *argument)
{
    const int number = m_messages++;
    if (m_options.timeOutAfterMessages >= 0 && number >= m_options.timeOutAfterMessages) {
        errno = ETIMEDOUT;
        return -1;
    }
    if (m_options.unplugAfterMessages >= 0 && number >= m_options.unplugAfterMessages) {
        errno = ENODEV;
        return -1;
    }
    auto *parts = static_cast<spi_ioc_transfer *>(argument);
    size_t txTotal = 0, rxTotal = 0, total = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (parts[i].tx_buf)
            txTotal += parts[i].len;
        if (parts[i].rx_buf)
            rxTotal += parts[i].len;
        total += parts[i].len;
        if (parts[i].bits_per_word && parts[i].bits_per_word != 8) {
            errno = EINVAL;
            return -1;
        }
        if (parts[i].cs_change && i + 1 < count) {
            errno = EINVAL;  // one message is one frame here
            return -1;
        }
    }
    if (txTotal > m_options.bufferSize || rxTotal > m_options.bufferSize) {
        errno = EMSGSIZE;
        return -1;
    }
    // The whole message is one frame: chip select stays low throughout. A
    // part without a transmit buffer shifts zeros out.
    std::vector<uint8_t> mosi;
    mosi.reserve(total);
    for (unsigned i = 0; i < count; ++i) {
        const auto *tx = reinterpret_cast<const uint8_t *>(uintptr_t(parts[i].tx_buf));
        for (uint32_t k = 0; k < parts[i].len; ++k)
            mosi.push_back(tx ? tx[k] : 0x00);
    }
    // The chip model is half duplex: the write part runs up to the first
    // transfer that reads.
    size_t written = 0;
    for (unsigned i = 0; i < count && !parts[i].rx_buf; ++i)
        written += parts[i].len;
    std::vector<uint8_t> miso(total, 0xFF);
    m_chip.Transfer(mosi.data(), written, miso.data() + written, total - written);
    size_t at = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (auto *rx = reinterpret_cast<uint8_t *>(uintptr_t(parts[i].rx_buf)))
            std::memcpy(rx, miso.data() + at, parts[i].len);
        at += parts[i].len;
    }
    return int(total);
}

} // namespace xremu
