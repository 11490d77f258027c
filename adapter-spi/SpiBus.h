#pragma once

// One SPI bus with one memory chip on it, as the adapter's SPI firmware layer
// sees it. A simulated chip and every bridge to a real programmer implement
// it, so the layer that turns command packets into SPI transactions is the
// same for both.

#include <cstddef>
#include <cstdint>
#include <string>

namespace xrbus {

class ISpiBus
{
public:
    virtual ~ISpiBus() = default;

    // One transaction: chip select goes low, `writeCount` bytes are clocked
    // out, then `readCount` bytes are clocked in (half duplex, as SPI memories
    // talk), and chip select rises. False when the bus is gone or timed out;
    // LastError() then says why.
    virtual bool Transfer(const uint8_t *out, size_t writeCount, uint8_t *in, size_t readCount) = 0;

    // The most bytes one transaction may write or read; 0 means no limit.
    // Longer reads are split by the caller into several read commands.
    virtual size_t MaxWrite() const { return 0; }
    virtual size_t MaxRead() const { return 0; }

    // Asks for a clock; returns the clock the bus runs at, 0 when unknown or fixed.
    virtual uint32_t SetClockHz(uint32_t hz) { (void)hz; return 0; }

    virtual std::string LastError() const { return {}; }
};

} // namespace xrbus
