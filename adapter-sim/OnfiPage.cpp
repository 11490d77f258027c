#include "OnfiPage.h"
#include "ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

namespace onfi {
constexpr size_t Signature = 0;
constexpr size_t Revision = 4;          // bit n set: revision n supported
constexpr size_t Manufacturer = 32;     // 12 characters, blank padded
constexpr size_t ManufacturerLength = 12;
constexpr size_t Model = 44;            // 20 characters, blank padded
constexpr size_t ModelLength = 20;
constexpr size_t JedecId = 64;
constexpr size_t DataBytesPerPage = 80;
constexpr size_t SpareBytesPerPage = 84;
constexpr size_t PagesPerBlock = 92;
constexpr size_t BlocksPerUnit = 96;
constexpr size_t Units = 100;
constexpr size_t AddressCycles = 101;   // column cycles high nibble, row cycles low nibble
constexpr size_t BitsPerCell = 102;
constexpr size_t MaxBadBlocksPerUnit = 103;
constexpr size_t BlockEndurance = 105;  // value, power of ten
constexpr size_t GuaranteedBlocks = 107;
constexpr size_t ProgramsPerPage = 110;
constexpr size_t EccBits = 112;
constexpr size_t PinCapacitance = 128;
constexpr size_t TimingModes = 129;
constexpr size_t CacheTimingModes = 131;
constexpr size_t ProgramTimeUs = 133;
constexpr size_t EraseTimeUs = 135;
constexpr size_t ReadTimeUs = 137;
constexpr size_t ChangeColumnNs = 139;
constexpr size_t Crc = 254;
// Revisions 1.0, 2.0, 2.1, 2.2 and 2.3 (bits 1 to 5).
constexpr uint16_t RevisionsSupported = 0x003E;
} // namespace onfi

uint16_t OnfiCrc16(const uint8_t *data, size_t count)
{
    uint16_t crc = 0x4F4E;
    for (size_t i = 0; i < count; ++i) {
        crc ^= uint16_t(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x8005) : uint16_t(crc << 1);
    }
    return crc;
}

static void PutText(uint8_t *field, size_t length, const std::string &text)
{
    std::memset(field, ' ', length);
    std::memcpy(field, text.data(), std::min(length, text.size()));
}

std::vector<uint8_t> BuildOnfiParameterPage(const CNandGeometry &g, const CNandConfig &config)
{
    std::vector<uint8_t> page(OnfiPageBytes, 0);
    std::memcpy(page.data() + onfi::Signature, "ONFI", 4);
    PutLE16(&page[onfi::Revision], onfi::RevisionsSupported);
    PutText(&page[onfi::Manufacturer], onfi::ManufacturerLength, config.onfiManufacturer);
    PutText(&page[onfi::Model], onfi::ModelLength, config.onfiModel);
    page[onfi::JedecId] = config.id.empty() ? 0 : config.id[0];
    PutLE32(&page[onfi::DataBytesPerPage], g.dataSize);
    PutLE16(&page[onfi::SpareBytesPerPage], g.spareSize);
    PutLE32(&page[onfi::PagesPerBlock], g.pagesPerBlock);
    PutLE32(&page[onfi::BlocksPerUnit], g.blocksPerCe);
    page[onfi::Units] = 1;
    page[onfi::AddressCycles] = uint8_t((g.columnBytes << 4) | (g.rowBytes & 0x0F));
    page[onfi::BitsPerCell] = 1;
    PutLE16(&page[onfi::MaxBadBlocksPerUnit], std::max<uint32_t>(1, g.blocksPerCe / 50));
    page[onfi::BlockEndurance] = 1;
    page[onfi::BlockEndurance + 1] = 5;
    page[onfi::GuaranteedBlocks] = 1;
    page[onfi::ProgramsPerPage] = 4;
    page[onfi::EccBits] = 1;
    page[onfi::PinCapacitance] = 10;
    PutLE16(&page[onfi::TimingModes], 0x001F);
    PutLE16(&page[onfi::CacheTimingModes], 0x001F);
    PutLE16(&page[onfi::ProgramTimeUs], 700);
    PutLE16(&page[onfi::EraseTimeUs], 3000);
    PutLE16(&page[onfi::ReadTimeUs], 25);
    PutLE16(&page[onfi::ChangeColumnNs], 100);
    PutLE16(&page[onfi::Crc], OnfiCrc16(page.data(), onfi::Crc));
    return page;
}

} // namespace xrsim
