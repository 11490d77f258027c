#pragma once

// The two bulk endpoints of a USB programmer, as the CH341A bridge uses them.
// libusb sits behind it on a real board; tests put a fake of the device here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace xrbridge {

enum class EUsbResult { Ok, TimedOut, Gone, Failed };

class IUsbBulkPipe
{
public:
    virtual ~IUsbBulkPipe() = default;
    // Sends `out` on the OUT endpoint while collecting exactly `inCount`
    // bytes from the IN endpoint, where every packet the device sends back
    // is a transfer of its own (a short packet ends an IN transfer).
    virtual EUsbResult Exchange(const uint8_t *out, size_t outCount, uint8_t *in, size_t inCount,
                                unsigned timeoutMs) = 0;
    // What the bridge names in its messages ("CH341A on bus 1 device 7").
    virtual std::string Describe() const = 0;
};

// Finds and opens a USB device with the given IDs.
class IUsbOpener
{
public:
    virtual ~IUsbOpener() = default;
    // Null with `error` set: no such device, permission denied (naming the
    // node and the fix), interface busy.
    virtual std::unique_ptr<IUsbBulkPipe> Open(uint16_t vendor, uint16_t product, std::string &error) = 0;
};

// The opener over libusb-1.0.
IUsbOpener &LibusbOpener();

} // namespace xrbridge
