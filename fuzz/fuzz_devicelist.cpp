// Feeds arbitrary bytes to both device list readers as the content of a list
// file, then uses every entry they accepted the way the program does: its
// title, its details, its list line, the lookups by name and by ID bytes.

#include "DeviceFamily.h"
#include "FrameServices.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

class CQuietFrame : public CFrameServices
{
public:
    void LogMessage(const QString &) override {}
};

void Exercise(CDeviceFamily &family, const QByteArray &bytes, std::span<const uint8_t> ids)
{
    family.AddLines(bytes);
    const DeviceOutput output = [](const QString &) {};
    for (const auto &item : family.m_items) {
        item->GetTitle();
        item->PrintDetails(output, false);
        item->PrintDetails(output, true);
        // The written line must read back without harm too.
        CDeviceFamilyNand nand;
        CDeviceFamilySPI spi;
        nand.AddLine(item->ToText());
        spi.AddLine(item->ToText());
        family.FindByName(item->GetName());
    }
    family.FindById(family.Type(), ids, false);
    family.ReportDuplicates(output, family.Type(), ids);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static CQuietFrame frame;
    SetFrame(&frame);
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::span<const uint8_t> ids(data, size < 8 ? size : 8);
    CDeviceFamilyNand nand;
    Exercise(nand, bytes, ids);
    CDeviceFamilySPI spi;
    Exercise(spi, bytes, ids);
    return 0;
}
