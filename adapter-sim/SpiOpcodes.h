#pragma once

// What the opcodes inside the SPI packets mean on real parts: which read and
// program instructions a serial flash has and on how many data lines it
// answers them, and what each erase instruction clears.

#include <cstdint>
#include <optional>

namespace xrsim {

namespace spiop {
constexpr uint8_t ReadJedecId = 0x9F;
constexpr uint8_t WriteEnable = 0x06;
constexpr uint8_t ReadStatus = 0x05;
constexpr uint8_t ReadStatus2 = 0x35;
constexpr uint8_t ReadStatus3 = 0x15;
constexpr uint8_t ReadFlagStatus = 0x70;
constexpr uint8_t At45ReadStatus = 0xD7;
constexpr uint8_t EepromRead = 0x03;
constexpr uint8_t EepromWrite = 0x02;
// A nine-bit EEPROM carries address bit 8 in bit 3 of its instruction.
constexpr uint8_t EepromA8 = 0x08;
} // namespace spiop

// Data lines as the packet's mode byte counts them.
enum ELineMode { SingleLine = 0, DualLines = 1, QuadLines = 2 };

// The mode byte a serial flash read / program opcode needs, or nothing when
// the part has no such instruction.
std::optional<int> FlashReadMode(uint8_t opcode);
std::optional<int> FlashProgramMode(uint8_t opcode);
// Bytes a serial flash erase opcode clears (aligned down to that size);
// the chip size for a chip erase, 0 for no erase instruction.
uint64_t FlashEraseBytes(uint8_t opcode, uint64_t chipSize);

bool At45ReadOpcode(uint8_t opcode);
enum class EAt45Erase { Page, Block, Sector, Chip };
std::optional<EAt45Erase> At45EraseKind(uint8_t opcode);

} // namespace xrsim
