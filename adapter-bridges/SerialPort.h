#pragma once

// A serial port (USB CDC-ACM, a USB serial adapter or a pseudo-terminal) in
// raw 8N1 mode without flow control, with time-outs on every read and write.

#include <cstddef>
#include <cstdint>
#include <string>

namespace xrbridge {

// The byte stream a serial programmer answers on, as its bridge uses it.
class ISerialLink
{
public:
    virtual ~ISerialLink() = default;
    virtual const std::string &Path() const = 0;
    // Writes everything or fails (time-out, port gone).
    virtual bool Write(const uint8_t *data, size_t count, int timeoutMs) = 0;
    // Reads up to `count` bytes, waiting at most `timeoutMs` in total; returns
    // how many arrived. Gone() tells a vanished port from a silent one.
    virtual size_t Read(uint8_t *data, size_t count, int timeoutMs) = 0;
    // Drops whatever is waiting in the input.
    virtual void DrainInput() = 0;
    virtual bool Gone() const = 0;
};

class CSerialPort : public ISerialLink
{
public:
    CSerialPort() = default;
    ~CSerialPort() override;
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Opens and configures the port; false with `error` set (no such port,
    // permission denied with the fix, not a serial port).
    bool Open(const std::string &path, uint32_t baud, std::string &error);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string &Path() const override { return m_path; }

    bool Write(const uint8_t *data, size_t count, int timeoutMs) override;
    size_t Read(uint8_t *data, size_t count, int timeoutMs) override;
    void DrainInput() override;
    bool Gone() const override { return m_gone; }

private:
    int m_fd = -1;
    bool m_gone = false;
    std::string m_path;
};

} // namespace xrbridge
