#include "FirmwareImages.h"

#include <array>

namespace {

using namespace Firmware;

// Load addresses of every image stay below this (the controller's code RAM).
constexpr uint32_t kCodeMemoryEnd = 0x1700;

constexpr uint32_t NextRandom(uint32_t &state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

constexpr void PutRecord(uint8_t *out, uint8_t length, uint16_t address, uint8_t type)
{
    out[kLengthOffset] = length;
    out[kAddressOffset] = uint8_t(address & 0xFF);
    out[kAddressOffset + 1] = uint8_t(address >> 8);
    out[kTypeOffset] = type;
}

// The image's content is generated from its seed: an identity record at
// address 0, then data records of 8 to 16 bytes laid out upwards with a small
// gap after some of the short ones (as a linker leaves between sections),
// then the end record.
template<int Records>
constexpr std::array<uint8_t, Records * kRecordSize> MakeImage(uint8_t kind, uint8_t index, uint32_t seed)
{
    static_assert(Records >= 2);
    std::array<uint8_t, Records * kRecordSize> image{};
    uint32_t state = seed ? seed : 1;
    uint32_t address = 0;
    for (int i = 0; i < Records - 1; ++i) {
        uint8_t *record = image.data() + i * kRecordSize;
        const uint8_t length = i == 0 ? kMaxDataLength : uint8_t(8 + NextRandom(state) % 9);
        PutRecord(record, length, uint16_t(address), kTypeData);
        for (int b = 0; b < length; ++b)
            record[kDataOffset + b] = uint8_t(NextRandom(state) >> 11);
        if (i == 0) {
            for (int b = 0; b < 4; ++b)
                record[kDataOffset + b] = uint8_t(kMagic[b]);
            record[kDataOffset + 4] = kind;
            record[kDataOffset + 5] = index;
        }
        address += length;
        if (length < 10)
            address += NextRandom(state) % 4;
    }
    PutRecord(image.data() + (Records - 1) * kRecordSize, 0, 0, kTypeEnd);
    return image;
}

template<std::size_t N>
constexpr bool FitsAdapter(const std::array<uint8_t, N> &image, uint8_t kind, uint8_t index)
{
    const ImageInfo info = InspectImage(image.data());
    return info.wellFormed && info.recordCount == int(N / kRecordSize) && info.identified
        && info.kind == kind && info.index == index && info.addressEnd <= kCodeMemoryEnd;
}

constexpr auto kNand1 = MakeImage<421>(kKindNand, 1, 0x6E563101u);
constexpr auto kNand2 = MakeImage<427>(kKindNand, 2, 0x6E563202u);
constexpr auto kSpi0 = MakeImage<410>(kKindSpi, 0, 0x53503003u);
constexpr auto kSpi1 = MakeImage<415>(kKindSpi, 1, 0x53503104u);
constexpr auto kSpi2 = MakeImage<419>(kKindSpi, 2, 0x53503205u);
constexpr auto kSpi3 = MakeImage<425>(kKindSpi, 3, 0x53503306u);
constexpr auto kSpi4 = MakeImage<434>(kKindSpi, 4, 0x53503407u);

static_assert(FitsAdapter(kNand1, kKindNand, 1) && FitsAdapter(kNand2, kKindNand, 2));
static_assert(FitsAdapter(kSpi0, kKindSpi, 0) && FitsAdapter(kSpi1, kKindSpi, 1) && FitsAdapter(kSpi2, kKindSpi, 2)
              && FitsAdapter(kSpi3, kKindSpi, 3) && FitsAdapter(kSpi4, kKindSpi, 4));

} // namespace

const uint8_t *NandFirmware(int index)
{
    switch (index) {
    case 1: return kNand1.data();
    case 2: return kNand2.data();
    default: return nullptr;
    }
}

const uint8_t *SpiFirmware(int index)
{
    static const uint8_t *const images[] = {kSpi0.data(), kSpi1.data(), kSpi2.data(), kSpi3.data(), kSpi4.data()};
    if (index < 0 || index >= int(std::size(images)))
        return nullptr;
    return images[index];
}
