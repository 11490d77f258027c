#include "Firmware.h"
#include "Packet.h"

#include <cstring>

namespace xrsim {

CFirmwareImage ReadFirmwareImage(const uint8_t *image)
{
    CFirmwareImage result;
    if (!image)
        return result;
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    bool seenData = false;
    for (int number = 0; number <= fwrecord::MaxRecords; ++number) {
        const uint8_t *record = image + size_t(number) * fwrecord::RecordBytes;
        for (int i = 0; i < fwrecord::RecordBytes; ++i)
            hash = (hash ^ record[i]) * 0x100000001B3ull;
        const uint8_t length = record[fwrecord::Length];
        const uint8_t type = record[fwrecord::Type];
        if (length > fwrecord::MaxData || (type != fwrecord::TypeData && type != fwrecord::TypeEnd))
            return result;
        if (type == fwrecord::TypeEnd) {
            result.wellFormed = true;
            result.identity = hash;
            return result;
        }
        if (!seenData) {
            seenData = true;
            const uint8_t *data = record + fwrecord::Data;
            if (length >= 6 && std::memcmp(data, "NVPX", 4) == 0) {
                result.tagged = true;
                result.kind = data[4];
                result.index = data[5];
            }
        }
    }
    return result;  // no end record within the limit
}

uint32_t FirmwareTypeCode(const CFirmwareImage &image, int nandImageNeeded)
{
    if (!image.tagged)
        return ident::TypeUnknown;
    if (image.kind == fwrecord::KindSpi && image.index >= 0 && image.index <= 4)
        return ident::TypeMatching;
    if (image.kind == fwrecord::KindNand && (image.index == 1 || image.index == 2))
        return image.index == nandImageNeeded ? ident::TypeMatching : ident::TypeOtherNandImage;
    return ident::TypeUnknown;
}

} // namespace xrsim
