#include "OnfiInfo.h"

#include <QtEndian>

#include <array>

namespace {

// Byte offsets inside the parameter page; every number is little-endian.
constexpr size_t OFS_SIGNATURE = 0;
constexpr size_t OFS_REVISION = 4;
constexpr size_t OFS_MANUFACTURER = 32;
constexpr size_t MANUFACTURER_LEN = 12;
constexpr size_t OFS_MODEL = 44;
constexpr size_t MODEL_LEN = 20;
constexpr size_t OFS_DATA_BYTES = 80;
constexpr size_t OFS_SPARE_BYTES = 84;
constexpr size_t OFS_PAGES_PER_BLOCK = 92;
constexpr size_t OFS_BLOCKS_PER_UNIT = 96;
constexpr size_t OFS_UNITS = 100;
constexpr size_t OFS_ADDRESS_CYCLES = 101;

// Revision bits 1 to 9 of the revision word, lowest first.
const std::array<const char *, 9> g_revisions = {"1.0", "2.0", "2.1", "2.2", "2.3", "3.0", "3.1", "3.2", "4.0"};

QString TrimmedText(const uint8_t *bytes, size_t length)
{
    // Chips pad with blanks; a zero byte is treated the same so that no
    // control character ends up in a device name or a list line.
    while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == 0))
        --length;
    return QString::fromLatin1(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(length));
}

QString HighestRevision(uint16_t word)
{
    for (size_t i = g_revisions.size(); i > 0; --i) {
        if (word & (1u << i))
            return QString::fromLatin1(g_revisions[i - 1]);
    }
    return {};
}

// a * b in 64 bits; false on overflow.
bool MultiplyInto(uint64_t &a, uint64_t b)
{
    return !__builtin_mul_overflow(a, b, &a);
}

} // namespace

COnfiInfo DecodeOnfi(const uint8_t *page, size_t length, int chipEnables)
{
    COnfiInfo info;
    if (!page || length < ONFI_PAGE_MIN_BYTES)
        return info;
    if (page[OFS_SIGNATURE] != 'O' || page[OFS_SIGNATURE + 1] != 'N' || page[OFS_SIGNATURE + 2] != 'F'
        || page[OFS_SIGNATURE + 3] != 'I')
        return info;

    info.version = HighestRevision(qFromLittleEndian<quint16>(page + OFS_REVISION));
    info.manufacturer = TrimmedText(page + OFS_MANUFACTURER, MANUFACTURER_LEN);
    info.model = TrimmedText(page + OFS_MODEL, MODEL_LEN);
    info.dataBytesPerPage = qFromLittleEndian<quint32>(page + OFS_DATA_BYTES);
    info.spareBytesPerPage = qFromLittleEndian<quint16>(page + OFS_SPARE_BYTES);
    info.pagesPerBlock = qFromLittleEndian<quint32>(page + OFS_PAGES_PER_BLOCK);
    info.blocksPerUnit = qFromLittleEndian<quint32>(page + OFS_BLOCKS_PER_UNIT);
    info.units = page[OFS_UNITS];
    info.columnCycles = page[OFS_ADDRESS_CYCLES] >> 4;
    info.rowCycles = page[OFS_ADDRESS_CYCLES] & 0x0F;
    info.chipEnables = chipEnables;

    const uint64_t pageBytes = uint64_t(info.dataBytesPerPage) + info.spareBytesPerPage;
    if (chipEnables <= 0 || pageBytes > UINT32_MAX)
        return info;
    // A page of garbage can multiply past 64 bits; such a size is no size.
    uint64_t size = info.units;
    if (!MultiplyInto(size, info.blocksPerUnit) || !MultiplyInto(size, uint64_t(chipEnables))
        || !MultiplyInto(size, info.pagesPerBlock) || !MultiplyInto(size, pageBytes))
        return info;
    info.size = size;
    info.valid = size != 0;
    return info;
}
