// Feeds arbitrary bytes to the ONFI parameter page decoder as the page a
// chip answered (the first byte picks the chip enable count), then applies
// an accepted record to a device entry as detection does, and checks what
// the decoder promises about a valid record.

#include "DeviceItemNand.h"
#include "FrameServices.h"
#include "OnfiInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {
class CQuietFrame : public CFrameServices
{
public:
    void LogMessage(const QString &) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static CQuietFrame frame;
    SetFrame(&frame);
    if (size < 1)
        return 0;
    const int chipEnables = 1 << (data[0] % 3);
    // An exact copy, so that a read past the page is seen by the checker.
    const std::vector<uint8_t> page(data + 1, data + size);
    const COnfiInfo info = DecodeOnfi(page.data(), page.size(), chipEnables);
    if (!info.valid)
        return 0;
    if (info.size == 0 || page.size() < ONFI_PAGE_MIN_BYTES)
        __builtin_trap();
    CDeviceItemNand device;
    device.m_name = QStringLiteral("fuzz");
    if (device.SetFromOnfi(info)) {
        device.GetTitle();
        device.ToText();
        device.GeometryFault();
        device.PrintDetails([](const QString &) {}, false);
    }
    return 0;
}
