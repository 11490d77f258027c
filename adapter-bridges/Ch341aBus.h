#pragma once

// An SPI bus on a CH341A board in SPI mode (USB 1a86:5512). Its SPI clock is
// fixed by the chip (about 1.5 MHz), so it offers no speed setting.

#include "SpiBus.h"
#include "UsbBulkPipe.h"

#include <memory>
#include <string>
#include <vector>

namespace xrbridge {

class CCh341aBus : public xrbus::ISpiBus
{
public:
    // Opens the first CH341A through `opener` and drives its pins; null with
    // `error` set otherwise.
    static std::unique_ptr<CCh341aBus> Open(IUsbOpener &opener, std::string &error);
    explicit CCh341aBus(std::unique_ptr<IUsbBulkPipe> pipe);
    ~CCh341aBus() override;

    bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) override;
    size_t MaxWrite() const override;
    size_t MaxRead() const override;
    std::string LastError() const override { return m_error; }

    bool EnablePins();

private:
    bool Send(const std::vector<uint8_t> &out, uint8_t *in, size_t inCount, const char *what);

    std::unique_ptr<IUsbBulkPipe> m_pipe;
    std::string m_error;
    bool m_gone = false;
    bool m_pinsUnknown = false;
};

} // namespace xrbridge
