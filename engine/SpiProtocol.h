#pragma once

// The packets of the SPI engine: identification, the AT45 status read, the
// self-description read, read 0x27, erase 0x1B, program 0x1C, interface
// timing 0x30 and device configuration 0x34. Lengths travel little-endian,
// chip addresses big-endian in the number of bytes the packet names.

#include "AdapterProtocol.h"

#include <cstdint>

class CDeviceItemSPIFlash;

namespace Adapter::Spi {

// Instructions the firmware passes on to the chip.
constexpr uint8_t OpReadJedecId = 0x9F;
constexpr uint8_t OpWriteEnable = 0x06;
constexpr uint8_t OpAt45Status = 0xD7;

// Data lines as the packets' mode byte counts them.
constexpr uint8_t ModeSingle = 0;
constexpr uint8_t ModeDual = 1;
constexpr uint8_t ModeQuad = 2;

// Packet and reply sizes.
constexpr int32_t ArrayPacketLength = 20; // 0x27, 0x1B, 0x1C
constexpr int32_t ShortPacketLength = 10; // ID before an operation, 0x30
constexpr int32_t LongPacketLength = 64;  // detection, 0x31, 0x34
constexpr uint32_t IdReplyLength = 3;
constexpr uint32_t At45StatusReplyLength = 1;
constexpr uint32_t SfdpReplyLength = 2048;
constexpr uint32_t EraseReplyLength = 2;
constexpr uint32_t ProgramDoneReplyLength = 2;
constexpr int MaxAddressBytes = 4;

// {0x29, 0x9F}: the JEDEC ID before an operation (short) or for detection (long).
CPacket ReadIdPacket(int32_t length);
// {0x29}: the ID with the firmware's default instruction.
CPacket PlainReadIdPacket();
// {0x31, 0x01, 0xD7, 0x01}: one byte of the AT45 status register.
CPacket At45StatusPacket();
// {0x2A, 0x00, 0, 0, 0, 0}: the chip's self-description (SFDP) table.
CPacket SfdpPacket();
// {0x32}: waits for the last program and answers its status.
CPacket ProgramDonePacket();

// Read 0x27: byte 1 opcode, 2 address bytes, 3.. address, 7-10 reply
// length (LE32), 15 mode.
CPacket ReadPacket(uint8_t opcode, int addressBytes, uint32_t address, uint32_t replyLength, uint8_t mode);

// The status poll after an erase or a program.
struct CStatusPoll
{
    uint8_t opcode = 0x05;
    uint8_t busyMask = 0x01;
    uint8_t readyValue = 0x00;
};
CStatusPoll StatusPollOf(const CDeviceItemSPIFlash &device);

// Erase 0x1B: byte 1 write enable, 2 opcode, 3 address bytes, 4.. address,
// 8-10 status poll.
CPacket ErasePacket(uint8_t opcode, int addressBytes, uint32_t address, const CStatusPoll &poll);

// Program 0x1C: byte 1 opcode, 2 address bytes, 3.. address, 10-11 count
// (low byte, then high byte plus one when the low byte is not zero), 15 mode
// or an EEPROM's page size, 16-18 status poll.
CPacket ProgramPacket(uint8_t opcode, int addressBytes, uint32_t address, uint32_t count, uint8_t modeOrPage,
                      const CStatusPoll &poll);
// The count field of 0x1C as the firmware reads it.
void PutCarriedCount(uint8_t *destination, uint32_t count);
// The largest count the field can carry.
constexpr uint32_t MaxCarriedCount = 0xFEFF;

// Interface timing 0x30: {0x30, 0x00, d + 1, 0x20, d + 1, 0x01, c, 0x21, c, m}.
struct CSpiTiming
{
    int divider = 0; // d
    int cycles = 0;  // c
    uint8_t mode = 0; // m
};
// The timing of a speed index (0 to 10; others are clamped) for the data
// lines in use; singleLine when the operator chose one line on a wider part.
CSpiTiming TimingFor(int speedIndex, int ioMode, bool singleLine);
CPacket TimingPacket(const CSpiTiming &timing);

// Device configuration 0x34: {0x34, 0x9F, n, then per init record: 0x06,
// command, data count, data bytes}.
CPacket ConfigurePacket(const CDeviceItemSPIFlash &device);

// Big-endian address of `count` bytes (1 to 4).
void PutAddress(uint8_t *destination, uint32_t address, int count);

} // namespace Adapter::Spi
