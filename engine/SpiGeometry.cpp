#include "SpiGeometry.h"

#include "DeviceItemSPIFlash.h"
#include "SpiProtocol.h"

#include <algorithm>

namespace {

constexpr int32_t DefaultTransferUnit = 512;
constexpr uint32_t At45Page528 = 528;
constexpr uint32_t At45Page512 = 512;
constexpr uint64_t SmallEepromMax = 256;     // one address byte, nothing in the instruction
constexpr uint64_t NineBitEepromMax = 512;   // one address byte plus A8 in the instruction
constexpr uint32_t EepromPageMax = 256;
// Serial flash and DataFlash take three address bytes at least, whatever
// their size: a 64 KiB part reads a two-byte address as the first two of
// three. Serial EEPROMs take what their highest address needs.
constexpr int FlashMinAddressBytes = 3;
constexpr uint8_t EepromA8 = 0x08;
constexpr int EepromA8Shift = 8;

// Bytes needed to write value, at least one.
int BytesFor(uint64_t value)
{
    int count = 1;
    while (value >>= 8)
        ++count;
    return count;
}

// Bits of the byte-in-page part of an AT45 address: 9 for 264-byte pages,
// 10 for 528, 11 for 1056; 0 for the power-of-two pages, addressed linearly.
int At45ByteBits(uint32_t pageBytes)
{
    if ((pageBytes & (pageBytes - 1)) == 0)
        return 0;
    int bits = 0;
    while ((1u << bits) < pageBytes)
        ++bits;
    return bits;
}

} // namespace

CSpiGeometry::CSpiGeometry(const CDeviceItemSPIFlash &device, int32_t transferUnit)
    : m_chipSize(device.m_size),
      m_sectorSize(std::max<uint32_t>(device.m_sectorSize, 1)),
      m_algo(device.m_algo),
      m_transferUnit(uint32_t(transferUnit > 0 ? transferUnit : DefaultTransferUnit)),
      m_pageSize(device.m_pageSize)
{
    if (IsAt45()) {
        m_at45Page = At45Page(device);
        m_at45ByteBits = At45ByteBits(m_at45Page);
    }
    if (HasNoErase() && m_chipSize <= NineBitEepromMax) {
        m_addressBytes = 1;
    } else {
        // Enough bytes for the highest address as sent (an AT45 page number
        // shifted into place counts with its shift).
        const uint64_t highest = m_chipSize > 0 ? m_chipSize - 1 : 0;
        m_addressBytes = std::min(BytesFor(AddressField(highest)), Adapter::Spi::MaxAddressBytes);
        if (!HasNoErase())
            m_addressBytes = std::max(m_addressBytes, FlashMinAddressBytes);
    }
}

// The bundled lists mark 528-byte parts by their 0x21000-byte sectors and
// leave 512-byte parts with the default page size; other organisations
// (264/256, 1056/1024) name their page size, which then decides.
uint32_t CSpiGeometry::At45Page(const CDeviceItemSPIFlash &device)
{
    switch (device.m_pageSize) {
    case 256:
    case 264:
    case 528:
    case 1024:
    case 1056:
        return device.m_pageSize;
    default:
        return device.m_sectorSize == At45Sector528 ? At45Page528 : At45Page512;
    }
}

uint32_t CSpiGeometry::EepromPageBytes() const
{
    return m_pageSize >= 1 && m_pageSize <= EepromPageMax ? m_pageSize : EepromPageMax;
}

bool CSpiGeometry::IsNineBitEeprom() const
{
    return HasNoErase() && m_chipSize > SmallEepromMax && m_chipSize <= NineBitEepromMax;
}

uint32_t CSpiGeometry::AddressField(uint64_t byteAddress) const
{
    if (m_at45ByteBits != 0) {
        const uint64_t page = byteAddress / m_at45Page;
        const uint64_t byte = byteAddress % m_at45Page;
        return uint32_t((page << m_at45ByteBits) | byte);
    }
    if (IsNineBitEeprom())
        return uint32_t(byteAddress & 0xFF);
    return uint32_t(byteAddress);
}

uint8_t CSpiGeometry::Opcode(uint8_t instruction, uint64_t byteAddress) const
{
    if (!IsNineBitEeprom())
        return instruction;
    return uint8_t(instruction | (((byteAddress >> EepromA8Shift) & 1) ? EepromA8 : 0));
}
