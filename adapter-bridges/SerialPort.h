#pragma once

// A serial port (USB CDC-ACM, a USB serial adapter or a pseudo-terminal) in
// raw 8N1 mode without flow control, with time-outs on every read and write.

#include <cstddef>
#include <cstdint>
#include <string>

namespace xrbridge {

class CSerialPort
{
public:
    CSerialPort() = default;
    ~CSerialPort();
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Opens and configures the port; false with `error` set (no such port,
    // permission denied with the fix, not a serial port).
    bool Open(const std::string &path, uint32_t baud, std::string &error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string &Path() const { return m_path; }

    // Writes everything or fails (time-out, port gone).
    bool Write(const uint8_t *data, size_t count, int timeoutMs);
    // Reads up to `count` bytes, waiting at most `timeoutMs` in total; returns
    // how many arrived. Gone() tells a vanished port from a silent one.
    size_t Read(uint8_t *data, size_t count, int timeoutMs);
    // Drops whatever is waiting in the input.
    void DrainInput();
    bool Gone() const { return m_gone; }

private:
    int m_fd = -1;
    bool m_gone = false;
    std::string m_path;
};

} // namespace xrbridge
