#include "SpiOpcodes.h"

namespace xrsim {

std::optional<int> FlashReadMode(uint8_t opcode)
{
    switch (opcode) {
    case 0x03: case 0x0B: case 0x13: case 0x0C:  // read, fast read, their four-byte forms
        return SingleLine;
    case 0x3B: case 0xBB: case 0x3C: case 0xBC:  // dual output, dual I/O
        return DualLines;
    case 0x6B: case 0xEB: case 0x6C: case 0xEC:  // quad output, quad I/O
        return QuadLines;
    default:
        return std::nullopt;
    }
}

std::optional<int> FlashProgramMode(uint8_t opcode)
{
    switch (opcode) {
    case 0x02: case 0x12:  // page program, four-byte form
        return SingleLine;
    case 0xA2:             // dual input page program
        return DualLines;
    case 0x32: case 0x38: case 0x34: case 0x3E:  // quad input / quad I/O page program
        return QuadLines;
    default:
        return std::nullopt;
    }
}

uint64_t FlashEraseBytes(uint8_t opcode, uint64_t chipSize)
{
    switch (opcode) {
    case 0x20: case 0x21:
        return 4 * 1024;
    case 0x52: case 0x5C:
        return 32 * 1024;
    case 0xD8: case 0xDC:
        return 64 * 1024;
    case 0x60: case 0xC7:
        return chipSize;
    default:
        return 0;
    }
}

bool At45ReadOpcode(uint8_t opcode)
{
    // Continuous array reads: legacy, low power, low and high frequency.
    return opcode == 0xE8 || opcode == 0x01 || opcode == 0x03 || opcode == 0x0B || opcode == 0x1B;
}

uint32_t At45DensityMbit(uint8_t status)
{
    const int code = (status >> 2) & 0x0F;  // 0011 1 Mbit, 0101 2 Mbit ... 1111 64 Mbit
    return code >= 3 ? 1u << ((code - 3) / 2) : 1u;
}

uint8_t At45DensityCode(uint32_t mbit)
{
    int code = 3;
    for (uint32_t m = 1; m < mbit && code < 15; m *= 2)
        code += 2;
    return uint8_t(code);
}

uint32_t At45PageOfDensity(uint32_t mbit, bool binary)
{
    const uint32_t extended = mbit <= 8 ? 264 : mbit <= 32 ? 528 : 1056;
    return binary ? extended / 264 * 256 : extended;
}

int ReadDummyBytes(uint8_t opcode, bool at45)
{
    switch (opcode) {
    case 0x0B:
    case 0x0C:
        return 1;
    case 0x1B:
        return at45 ? 2 : 0;
    case 0xE8:
        return at45 ? 4 : 0;
    default:
        return 0;
    }
}

uint8_t SingleLineRead(uint8_t opcode)
{
    switch (opcode) {
    case 0x3B: case 0xBB: case 0x6B: case 0xEB:
        return spiop::FastRead;
    case 0x3C: case 0xBC: case 0x6C: case 0xEC:
        return spiop::FastRead4;
    default:
        return opcode;
    }
}

uint8_t SingleLineProgram(uint8_t opcode)
{
    switch (opcode) {
    case 0xA2: case 0x32: case 0x38:
        return spiop::PageProgram;
    case 0x34: case 0x3E:
        return spiop::PageProgram4;
    default:
        return opcode;
    }
}

bool FourByteOpcode(uint8_t opcode)
{
    switch (opcode) {
    case 0x13: case 0x0C: case 0x3C: case 0xBC: case 0x6C: case 0xEC:
    case 0x12: case 0x34: case 0x3E:
    case 0x21: case 0x5C: case 0xDC:
        return true;
    default:
        return false;
    }
}

std::optional<EAt45Erase> At45EraseKind(uint8_t opcode)
{
    switch (opcode) {
    case 0x81:
        return EAt45Erase::Page;
    case 0x50:
        return EAt45Erase::Block;
    case 0x7C:
        return EAt45Erase::Sector;
    case 0xC7:  // first byte of the chip erase sequence
        return EAt45Erase::Chip;
    default:
        return std::nullopt;
    }
}

} // namespace xrsim
