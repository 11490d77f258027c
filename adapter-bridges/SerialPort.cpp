#include "SerialPort.h"

#include "BridgeErrors.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace xrbridge {

namespace {

speed_t BaudConstant(uint32_t baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 3000000: return B3000000;
    case 4000000: return B4000000;
    default: return B115200;
    }
}

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

CSerialPort::~CSerialPort()
{
    Close();
}

bool CSerialPort::Open(const std::string &path, uint32_t baud, std::string &error)
{
    Close();
    m_path = path;
    m_gone = false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT || code == ENODEV || code == ENXIO)
            error = "no serial port " + path + " (is the programmer plugged in?)";
        else if (code == EACCES || code == EPERM)
            error = PermissionDeniedText(path, "dialout");
        else
            error = "cannot open " + path + ": " + ErrnoText(code);
        return false;
    }
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        error = path + " is not a serial port: " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    // Raw bytes both ways: no line editing, echo, signals, CR/NL mapping or
    // software flow control, which would eat or change protocol bytes.
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | ICRNL);
    tio.c_oflag &= ~OPOST;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, BaudConstant(baud));
    ::cfsetospeed(&tio, BaudConstant(baud));
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = "cannot configure " + path + ": " + ErrnoText(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CSerialPort::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool CSerialPort::Write(const uint8_t *data, size_t count, int timeoutMs)
{
    if (m_fd < 0 || m_gone)
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_gone = true;
            return false;
        }
        struct pollfd p {m_fd, POLLOUT, 0};
        const int left = RemainingMs(deadline);
        if (left == 0)
            return false;
        if (::poll(&p, 1, left) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            m_gone = true;
            return false;
        }
    }
    return true;
}

size_t CSerialPort::Read(uint8_t *data, size_t count, int timeoutMs)
{
    if (m_fd < 0 || m_gone)
        return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: the USB device went away (or the other end of a pty closed).
            m_gone = true;
            break;
        }
        const int left = RemainingMs(deadline);
        if (left == 0)
            break;
        struct pollfd p {m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, left);
        if (ready > 0 && !(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            m_gone = true;
            break;
        }
    }
    return done;
}

void CSerialPort::DrainInput()
{
    if (m_fd < 0)
        return;
    ::tcflush(m_fd, TCIFLUSH);
    uint8_t scratch[256];
    while (::read(m_fd, scratch, sizeof scratch) > 0) {
    }
}

} // namespace xrbridge
