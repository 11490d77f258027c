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
