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
constexpr uint8_t WriteDisable = 0x04;
constexpr uint8_t ReadStatus = 0x05;
constexpr uint8_t WriteStatus = 0x01;
constexpr uint8_t WriteStatus2 = 0x31;
constexpr uint8_t WriteStatus3 = 0x11;
constexpr uint8_t BankRegisterRead = 0x16;
constexpr uint8_t BankRegisterWrite = 0x17;  // bit 7: four-byte addresses
constexpr uint8_t BankRegisterFourByte = 0x80;
constexpr uint8_t Enter4ByteMode = 0xB7;
constexpr uint8_t Exit4ByteMode = 0xE9;
constexpr uint8_t ReadSfdp = 0x5A;
constexpr uint8_t Read = 0x03;
constexpr uint8_t FastRead = 0x0B;
constexpr uint8_t Read4 = 0x13;
constexpr uint8_t FastRead4 = 0x0C;
constexpr uint8_t PageProgram = 0x02;
constexpr uint8_t PageProgram4 = 0x12;
constexpr uint8_t ChipErase = 0xC7;
constexpr uint8_t ChipErase2 = 0x60;
// AT45: main memory page program through buffer 1 or 2 (with built-in erase)
// and the four bytes of the chip erase sequence.
constexpr uint8_t At45ProgramThroughBuffer1 = 0x82;
constexpr uint8_t At45ProgramThroughBuffer2 = 0x85;
constexpr uint8_t At45ChipErase[4] = {0xC7, 0x94, 0x80, 0x9A};
// AT45: compare a main memory page with buffer 1 or 2; a page that differs
// sets the mismatch bit of the status.
constexpr uint8_t At45CompareBuffer1 = 0x60;
constexpr uint8_t At45CompareBuffer2 = 0x61;
// Status register bits of serial flash and EEPROMs.
constexpr uint8_t StatusBusy = 0x01;
constexpr uint8_t StatusWriteEnabled = 0x02;
constexpr uint8_t StatusProtectBits = 0x3C;
constexpr uint8_t At45StatusReady = 0x80;
constexpr uint8_t At45StatusCompareMismatch = 0x40;
constexpr uint8_t At45StatusBinaryPages = 0x01;
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
// Dummy bytes between the address and the data of a single-line read.
int ReadDummyBytes(uint8_t opcode, bool at45);
// The one-line instruction a bridge sends for a read or program of any
// width: bridges clock one data line, so dual and quad transfers go out as
// fast read / page program of the same address width.
uint8_t SingleLineRead(uint8_t opcode);
uint8_t SingleLineProgram(uint8_t opcode);
bool FourByteOpcode(uint8_t opcode);
// AT45 status: the density in Mbit (bits 5-2), and the page of that density:
// 264, 528 or 1056 bytes, or 256, 512 or 1024 with binary pages (bit 0).
uint32_t At45DensityMbit(uint8_t status);
uint32_t At45PageOfDensity(uint32_t mbit, bool binary);
uint8_t At45DensityCode(uint32_t mbit);
enum class EAt45Erase { Page, Block, Sector, Chip };
std::optional<EAt45Erase> At45EraseKind(uint8_t opcode);

} // namespace xrsim
